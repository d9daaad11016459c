// The Windows build has no libsndfile: it must say so rather than fail oddly.
#include "Error.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace rampart {
namespace {

TEST(WindowsAudioFiles, WritesWavOnly) {
    try {
        output_format_for("out.flac");
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(test::contains(e.what(), "the Windows build writes WAV only")) << e.what();
    }
}

TEST(WindowsAudioFiles, ReadsWavOnly) {
    std::string path = test::scratch_dir() + "/x.flac";
    std::ofstream(path) << "fLaC and then nothing";
    try {
        open_audio_reader(path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(test::contains(e.what(), "not a WAV file (the Windows build reads WAV only)"))
            << e.what();
    }
}

} // namespace
} // namespace rampart
