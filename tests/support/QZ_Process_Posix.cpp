#include "QZ_Process.h"

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace qz::test {

std::string run_program(const std::string& command_line, int* status) {
    std::string out;
    std::FILE* p = popen((command_line + " 2>&1").c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int s = pclose(p);
    *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    return out;
}

std::string build_path(const std::string& name) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

std::string program_path(const std::string& name) { return build_path(name); }

} // namespace qz::test
