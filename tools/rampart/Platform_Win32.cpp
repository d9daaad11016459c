#include "Platform.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
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

namespace {
std::optional<FileIdentity> identity(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK ||
        !GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber,
                        static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}
} // namespace

std::optional<FileIdentity> identity_of(std::FILE* file) {
    return identity(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

std::optional<FileIdentity> identity_of(const std::string& path) {
    // No access asked: only the file's information. Folders need the backup flag.
    HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<FileIdentity> id = identity(h);
    CloseHandle(h);
    return id;
}

std::FILE* binary_stdin() {
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

std::FILE* binary_stdout() {
    _setmode(_fileno(stdout), _O_BINARY);
    return stdout;
}

std::FILE* create_new_file(const std::string& path) {
    // Shared for deletion, so that a signal can remove it while it is open.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        errno = e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS      ? EEXIST
                : e == ERROR_PATH_NOT_FOUND || e == ERROR_FILE_NOT_FOUND ? ENOENT
                : e == ERROR_ACCESS_DENIED                               ? EACCES
                                                                         : EIO;
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        DeleteFileA(path.c_str());
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "w+b");
    if (!f) {
        _close(fd);
        DeleteFileA(path.c_str());
    }
    return f;
}

bool sync_file(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

void remove_now(const char* path) {
    DeleteFileA(path);
}

namespace {
void (*cleanup_on_signal)() = nullptr;

// The C runtime calls this on a thread of its own for Ctrl+C and Ctrl+Break.
void on_signal(int sig) {
    if (cleanup_on_signal) cleanup_on_signal();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}
} // namespace

void on_termination(void (*cleanup)()) {
    cleanup_on_signal = cleanup;
    for (int sig : {SIGINT, SIGTERM, SIGBREAK}) {
        auto old = std::signal(sig, on_signal);
        if (old == SIG_IGN) std::signal(sig, SIG_IGN);
    }
}

} // namespace rampart
