// The native build's formats beyond WAV, through libsndfile.
#include "Error.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace rampart {
namespace {

TEST(NativeAudioFiles, FlacHolds24BitSamplesExactly) {
    std::string path = test::scratch_dir() + "/x.flac";
    std::vector<float> in;
    for (int i = 0; i < 2 * 777; ++i)
        in.push_back(static_cast<float>(std::ldexp((i * 7919) % 16777216 - 8388608, -23)));
    in[0] = 1.0f; // clipped to the largest 24-bit value
    {
        auto w = open_audio_writer(path, output_format_for(path), 44100, 2);
        w->write(in.data(), 777);
        w->finish();
    }
    test::Audio a = test::read_audio(path);
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.channels, 2);
    ASSERT_EQ(a.samples.size(), in.size());
    EXPECT_EQ(a.samples[0], 8388607.0f / 8388608.0f);
    for (size_t i = 1; i < in.size(); ++i)
        ASSERT_EQ(a.samples[i], in[i]) << "sample " << i;
}

TEST(NativeAudioFiles, RefusesWhatNoReaderKnows) {
    std::string path = test::scratch_dir() + "/x.ogg";
    std::ofstream(path) << "this is no audio file at all";
    try {
        open_audio_reader(path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(test::contains(e.what(), path + ": not an audio file this build reads"))
            << e.what();
    }
}

} // namespace
} // namespace rampart
