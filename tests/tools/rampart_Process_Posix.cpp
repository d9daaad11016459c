#include "rampart_TestSupport.h"

#include <cstdio>
#include <sys/wait.h>

namespace rampart::test {

const char* library_suffix() {
    return ".so";
}
const char* program_suffix() {
    return "";
}

namespace {
std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
} // namespace

std::string command_line(const std::string& program, const std::vector<std::string>& args) {
    std::string line = quoted(program);
    for (const auto& a : args)
        line += " " + quoted(a);
    return line;
}

Ran run_line(const std::string& line, const std::string& stderr_file, const Redirect& redirect) {
    // Grouped, so that the redirections apply to every program of a pipe.
    std::string full = "{ " + line + "; }";
    if (!redirect.in.empty()) full += " <" + quoted(redirect.in);
    if (!redirect.out.empty()) full += " >" + quoted(redirect.out);
    full += " 2>" + quoted(stderr_file);
    Ran r;
    std::FILE* p = popen(full.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p))
        r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace rampart::test
