#include "Platform.h"

#include <io.h>
#include <windows.h>

namespace rampart {

std::string self_directory() {
    char path[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return ".";
    std::string s(path, n);
    size_t sep = s.find_last_of("\\/");
    return sep == std::string::npos ? "." : s.substr(0, sep);
}

const char* default_plugin_file() {
    return "VelvetRampart.dll";
}

char path_separator() {
    return '\\';
}

bool stderr_is_terminal() {
    return _isatty(_fileno(stderr)) != 0;
}

int64_t file_size(std::FILE* file) {
    int fd = _fileno(file);
    // Pipes and consoles have no size.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) return -1;
    return _filelengthi64(fd);
}

} // namespace rampart
