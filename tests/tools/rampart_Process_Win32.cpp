#include "rampart_TestSupport.h"

#include <cstdio>

namespace rampart::test {

const char* library_suffix() {
    return ".dll";
}
const char* program_suffix() {
    return ".exe";
}

namespace {
std::string native_path(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}
} // namespace

std::string command_line(const std::string& program, const std::vector<std::string>& args) {
    std::string line = "\"" + native_path(program) + "\"";
    for (const auto& a : args)
        line += " \"" + a + "\"";
    return line;
}

Ran run_line(const std::string& line, const std::string& stderr_file, const Redirect& redirect) {
    // cmd /c strips the outermost quotes: the whole line gets one more pair.
    std::string full = "\"" + line;
    if (!redirect.in.empty()) full += " <\"" + native_path(redirect.in) + "\"";
    if (!redirect.out.empty()) full += " >\"" + native_path(redirect.out) + "\"";
    full += " 2>\"" + native_path(stderr_file) + "\"\"";
    // A command processor that could not be started (wine under load now and
    // then fails one, status -1 with nothing written) is started again.
    Ran r;
    for (int attempt = 0; attempt < 3; ++attempt) {
        r = Ran{};
        std::FILE* p = _popen(full.c_str(), "rb");
        if (!p) continue;
        char buf[4096];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            r.out.append(buf, n);
        r.status = _pclose(p);
        if (r.status != -1 || !r.out.empty()) break;
    }
    return r;
}

} // namespace rampart::test
