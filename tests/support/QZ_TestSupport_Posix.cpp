#include "QZ_TestSupport.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qz::test {

int64_t resident_bytes() {
    char text[128] = {};
    const int fd = open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return 0;
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    long size = 0, resident = 0;
    if (n <= 0 || std::sscanf(text, "%ld %ld", &size, &resident) != 2) return 0;
    return int64_t(resident) * sysconf(_SC_PAGESIZE);
}

} // namespace qz::test
