#include "QZ_TestSupport.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>

namespace qz::test {

char* cmd(const std::string& text) {
    static std::deque<std::unique_ptr<char[]>> texts;
    auto p = std::make_unique<char[]>(text.size() + 1);
    text.copy(p.get(), text.size());
    p[text.size()] = '\0';
    texts.push_back(std::move(p));
    return texts.back().get();
}

namespace {
std::vector<ReportCapture::Report> captured;
void collect(const char* caption, const char* text) {
    captured.push_back({caption, text});
}
} // namespace

ReportCapture::ReportCapture() : previous_(set_report_sink(&collect)) {
    captured.clear();
}
ReportCapture::~ReportCapture() {
    set_report_sink(previous_);
}
const std::vector<ReportCapture::Report>& ReportCapture::reports() const {
    return captured;
}

bool close_to(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int most) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            if (std::abs(int(a[i] >> shift & 0xFF) - int(b[i] >> shift & 0xFF)) > most)
                return false;
    return true;
}

void begin_stdout_capture() {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
}

std::string end_stdout_capture() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

} // namespace qz::test
