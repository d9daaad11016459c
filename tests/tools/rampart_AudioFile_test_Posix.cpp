// The native build's formats beyond WAV, through libsndfile.
#include "Error.h"
#include "Wav.h"
#include "rampart_TestSupport.h"

#include <sndfile.h>

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

TEST(NativeAudioFiles, ReadsRf64AsLibsndfileWritesIt) {
    std::string path = test::scratch_dir() + "/x.wav";
    std::vector<float> in(3 * 1001);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(static_cast<int>(i % 301) - 150) / 151.0f;
    SF_INFO info{};
    info.samplerate = 96000;
    info.channels = 3;
    info.format = SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_float(f, in.data(), 1001), 1001);
    sf_close(f);
    auto r = open_audio_reader(path);
    auto* wav = dynamic_cast<WavReader*>(r.get());
    ASSERT_NE(wav, nullptr) << "not read by rampart's own reader";
    EXPECT_TRUE(wav->rf64());
    EXPECT_EQ(r->rate(), 96000);
    EXPECT_EQ(r->channels(), 3);
    EXPECT_EQ(r->frames(), 1001);
    EXPECT_EQ(test::read_audio(path).samples, in);
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
