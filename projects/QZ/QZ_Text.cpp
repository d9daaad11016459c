#include "QZ_Text.h"

#include <charconv>
#include <cstring>

namespace qz {

namespace {
size_t finish(char* buf, size_t size, const char* end, bool ok) {
    size_t n = ok ? size_t(end - buf) : 0;
    if (n >= size) n = size - 1;
    buf[n] = '\0';
    return n;
}
} // namespace

size_t fixed(char* buf, size_t size, double v, int decimals) {
    if (size == 0) return 0;
    auto r = std::to_chars(buf, buf + size - 1, v, std::chars_format::fixed, decimals);
    return finish(buf, size, r.ptr, r.ec == std::errc());
}

size_t decimal(char* buf, size_t size, long long v) {
    if (size == 0) return 0;
    auto r = std::to_chars(buf, buf + size - 1, v);
    return finish(buf, size, r.ptr, r.ec == std::errc());
}

void copy_cut(char* buf, const char* src, size_t max) {
    size_t n = src ? std::strlen(src) : 0;
    if (n > max) n = max;
    if (n) std::memcpy(buf, src, n);
    buf[n] = '\0';
}

} // namespace qz
