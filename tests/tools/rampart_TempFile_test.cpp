// The clean-up a signal runs, in-process: it removes a temporary file while
// it is still open (on Windows only a file opened for shared deletion goes),
// and never a committed one.
#include "TempFile.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace rampart {
namespace {

TEST(TempFiles, GoWhenNotCommittedAndWhenASignalCleansUp) {
    const std::string dir = test::scratch_dir();
    {
        TempFile t(dir + "/x.wav");
        std::fputs("half", t.file());
    }
    EXPECT_TRUE(test::names_in(dir).empty());
    {
        TempFile t(dir + "/x.wav");
        std::fputs("half", t.file());
        std::fflush(t.file());
        // Still open, as when a signal comes during a render.
        remove_temporary_files();
        std::ofstream(dir + "/x.wav") << "made again"; // the name is free for others
    }
    EXPECT_EQ(test::names_in(dir), std::vector<std::string>{"x.wav"});
    TempFile committed(dir + "/y.wav");
    ASSERT_GE(std::fputs("kept", committed.file()), 0);
    committed.commit();
    remove_temporary_files(); // a committed file is the user's
    EXPECT_EQ(test::file_bytes(dir + "/y.wav"), "kept");
    EXPECT_EQ(test::names_in(dir), (std::vector<std::string>{"x.wav", "y.wav"}));
}

} // namespace
} // namespace rampart
