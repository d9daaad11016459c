// rampart.exe hosts the DLL only: the editor's picture is the native
// rampart's, and the Windows build says so.
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

namespace rampart {
namespace {

TEST(WindowsShot, SaysItIsForTheNativeBuild) {
    std::string out = test::scratch_dir() + "/out.png";
    test::Ran r = test::run_rampart({"shot", out, "--state", "off"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(test::contains(r.err, "available in the native build only")) << r.err;
    EXPECT_FALSE(test::file_exists(out));
}

} // namespace
} // namespace rampart
