#include "QZ_Error.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

TEST(ErrorCodes, MessagesInDeclarationOrder) {
    const char* expected[21] = {"Operation OK",
                                "Unknown error",
                                "Cannot open file",
                                "Cannot read file",
                                "Cannot close file",
                                "Cannot allocate memory",
                                "Cannot re-allocate memory",
                                "Cannot free memory",
                                "Argument required",
                                "Cannot load resource",
                                "Cannot find resource",
                                "Cannot lock resource",
                                "Audio operating error",
                                "Cannot open audio device",
                                "Cannot stop input audio device",
                                "Cannot close input audio device",
                                "Cannot reset output audio device",
                                "Cannot close output audio device",
                                "Command not found",
                                "Param not found",
                                "Not enough space for command result"};
    std::set<const char*> distinct;
    for (int i = 0; i < 21; ++i) {
        EXPECT_STREQ(*qz::error_codes[i], expected[i]) << "code " << i;
        distinct.insert(*qz::error_codes[i]);
    }
    EXPECT_EQ(distinct.size(), 21u);
    EXPECT_EQ(*qz::error_codes[0], QZ_OK);
    EXPECT_EQ(*qz::error_codes[20], QZ_ERROR_COMMAND_NOT_SPACE);
}

TEST(ErrorCodes, CompareByIdentityNotByText) {
    char copy[] = "Operation OK";
    QZ_error other = copy;
    EXPECT_STREQ(other, QZ_OK);
    EXPECT_NE(other, QZ_OK);
}

TEST(ErrorReport, SixLabelledLinesWithCaption) {
    qz::test::ReportCapture capture;
    QZ_error_func("projects/QZ/QZ_cfuncs.cpp", 121, "QZ_resource", "Dec  7 2026", "23:45:01",
                  "bgnd");
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(capture.reports()[0].caption, "ERROR");
    EXPECT_EQ(capture.reports()[0].text,
              "Error: bgnd\nFile: projects/QZ/QZ_cfuncs.cpp\nLine: "
              "121\nProc: QZ_resource\nDate: Dec  7 2026\nTime: 23:45:01");
}

TEST(ErrorReport, EmptyTextsAndNullsStillGiveEveryLine) {
    qz::test::ReportCapture capture;
    QZ_error_func("", 0, "", "", "", "");
    QZ_error_func(nullptr, -5, nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(capture.reports().size(), 2u);
    EXPECT_EQ(capture.reports()[0].text, "Error: \nFile: \nLine: 0\nProc: \nDate: \nTime: ");
    EXPECT_EQ(capture.reports()[1].text, "Error: \nFile: \nLine: -5\nProc: \nDate: \nTime: ");
}

TEST(ErrorReport, OverlongMessageIsCutNotOverrun) {
    qz::test::ReportCapture capture;
    std::string huge(10000, 'x');
    QZ_error_func("f", 1, "p", "d", "t", huge.c_str());
    ASSERT_EQ(capture.reports().size(), 1u);
    const std::string& text = capture.reports()[0].text;
    EXPECT_EQ(text.rfind("Error: xxx", 0), 0u);
    EXPECT_LT(text.size(), 10000u);
}

TEST(ErrorReport, SinkCanBeRestored) {
    auto mine = +[](const char*, const char*) {};
    qz::ReportSink before = qz::set_report_sink(mine);
    EXPECT_EQ(qz::set_report_sink(before), mine);
}

} // namespace
