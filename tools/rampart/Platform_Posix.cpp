#include "Platform.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace rampart {

std::string self_directory() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string s(path, static_cast<size_t>(n));
    size_t slash = s.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : s.substr(0, slash);
}

const char* default_plugin_file() {
    return "VelvetRampart.so";
}

char path_separator() {
    return '/';
}

bool stderr_is_terminal() {
    return isatty(STDERR_FILENO) != 0;
}

int64_t file_size(std::FILE* file) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

} // namespace rampart
