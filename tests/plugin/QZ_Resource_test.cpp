// Resource lookup as the plug-in does it: by name without regard to case, in
// the real DLL's resources under wine and in the generated table natively.
// (What each image holds is checked with the artwork's own tests.)
#include "QZ_Library.h"
#include "QZ_TestSupport.h"
#include "QZ_cfuncs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Points the framework's module instance at the plug-in library while it lives.
class PluginResources {
public:
    PluginResources() : lib_(qz::test::plugin_library_path()), saved_(hInstance) {
        if (lib_.instance()) hInstance = lib_.instance();
    }
    ~PluginResources() { hInstance = saved_; }
    bool loaded() const { return lib_.loaded(); }

private:
    qz::test::Library lib_;
    void* saved_;
};

TEST(Resource, FindsNamesWithoutRegardToCaseAndReportsMissingOnes) {
    PluginResources module;
    ASSERT_TRUE(module.loaded()) << qz::test::plugin_library_path();
    qz::test::ReportCapture capture;
    const void* lower = QZ_resource("bgnd");
    ASSERT_NE(lower, nullptr);
    EXPECT_EQ(std::memcmp(lower, "QZIF", 4), 0);
    EXPECT_EQ(QZ_resource("bgnd"), lower) << "the same data every time";
    EXPECT_EQ(QZ_resource("BgNd"), lower);
    EXPECT_TRUE(capture.reports().empty());

    EXPECT_EQ(QZ_resource("no-such-image"), nullptr);
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(
        capture.reports()[0].text.rfind(
            "Error: no-such-image\nFile: projects/QZ/QZ_cfuncs.cpp\nLine: 121\nProc: QZ_resource\n",
            0),
        0u)
        << capture.reports()[0].text;
}

} // namespace
