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

Ran run_program(const std::string& program, const std::vector<std::string>& args,
                const std::string& stderr_file) {
    std::string line = quoted(program);
    for (const auto& a : args)
        line += " " + quoted(a);
    line += " 2>" + quoted(stderr_file);
    Ran r;
    std::FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    while (size_t n = std::fread(buf, 1, sizeof buf, p))
        r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace rampart::test
