#include "QZ_Process.h"

#include <cstdio>
#include <cstdlib>

namespace qz::test {

std::string run_program(const std::string& command_line, int* status) {
    std::string out;
    // cmd strips one pair of outer quotes from what it is given.
    std::FILE* p = _popen(("\"" + command_line + " 2>&1\"").c_str(), "rb");
    if (!p) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = _pclose(p);
    // text written through the console layer comes with CR LF line ends
    std::string clean;
    for (char c : out)
        if (c != '\r') clean.push_back(c);
    return clean;
}

std::string build_path(const std::string& name) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

std::string program_path(const std::string& name) { return build_path(name + ".exe"); }

} // namespace qz::test
