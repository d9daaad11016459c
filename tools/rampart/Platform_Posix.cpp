#include "Platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
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

namespace {
FileIdentity identity(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}
} // namespace

std::optional<FileIdentity> identity_of(std::FILE* file) {
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identity(st);
}

std::optional<FileIdentity> identity_of(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return identity(st);
}

std::FILE* binary_stdin() {
    return stdin;
}

std::FILE* binary_stdout() {
    return stdout;
}

std::FILE* create_new_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* f = fdopen(fd, "w+b");
    if (!f) {
        int err = errno;
        close(fd);
        unlink(path.c_str());
        errno = err;
    }
    return f;
}

bool sync_file(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

void remove_now(const char* path) {
    unlink(path);
}

namespace {
void (*cleanup_on_signal)() = nullptr;

void on_signal(int sig) {
    int err = errno;
    if (cleanup_on_signal) cleanup_on_signal();
    errno = err;
    // SA_RESETHAND put the default back; it acts once this handler returns.
    raise(sig);
}
} // namespace

void on_termination(void (*cleanup)()) {
    cleanup_on_signal = cleanup;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction sa {};
        sa.sa_handler = on_signal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        sigaction(sig, &sa, nullptr);
    }
}

} // namespace rampart
