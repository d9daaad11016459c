#include "Pic/Base.h"

#include "QZ_Error.h"

#include <cstdlib>
#include <cstring>
#include <new>

size_t qz::picture_bytes(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return 0;
    uint64_t n = uint64_t(w) * uint64_t(h) * 4u;
    if (n > uint64_t(SIZE_MAX / 2)) return 0;
    return size_t(n);
}

template <class TPix> void QZ_Pic_Base<TPix>::release() {
    if (owned_) std::free(pixels);
    owned_ = false;
    set(0, 0, nullptr);
}

template <class TPix> bool QZ_Pic_Base<TPix>::resize(int32_t w, int32_t h) {
    release();
    size_t n = qz::picture_bytes(w, h);
    void* p = n ? std::malloc(n) : nullptr;
    if (!p) return false;
    owned_ = true;
    set(w, h, static_cast<TPix*>(p));
    return true;
}

template <class TPix> bool QZ_Pic_Base<TPix>::map(const void* data) {
    auto bytes = static_cast<const uint8_t*>(data);
    if (!bytes || std::memcmp(bytes, "QZIF", 4) != 0) {
        QZ_error_func("projects/QZ/QZ/Pic/Base.cpp", 21, "QZ_Pic_Base<TPix>::map", __DATE__,
                      __TIME__, "Invalid QZIF header");
        return false;
    }
    int32_t w, h;
    std::memcpy(&w, bytes + 4, 4);
    std::memcpy(&h, bytes + 8, 4);
    release();
    // Read-only in fact: nothing draws into a mapped picture.
    set(w, h, reinterpret_cast<TPix*>(const_cast<uint8_t*>(bytes + 12)));
    return true;
}

template class QZ_Pic_Base<QZ_Pix_A32>;

namespace {

// One row: n pixels from src starting at column x0 (wrapping at the source's
// width) onto d.
inline void blend_row(const QZ_Pix_A32* s, int32_t sw, int32_t x0, QZ_Pix_A32* d, int32_t n) {
    while (n > 0) {
        int32_t run = sw - x0 < n ? sw - x0 : n;
        const QZ_Pix_A32* p = s + x0;
        int32_t i = 0;
        for (; i + 4 <= run; i += 4)
            qz::blend4(d + i, p + i);
        for (; i < run; ++i)
            qz::blend_pixel(d[i], p[i]);
        d += run;
        n -= run;
        x0 = 0;
    }
}

} // namespace

void blend(const QZ_Pic_Base<QZ_Pix_A32>& src, QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy,
           const QZ_Rect& r) {
    if (!src.pixels || src.width <= 0 || src.height <= 0 || qz::is_empty(r)) return;
    const int32_t n = r.right - r.left;
    // Callers never pass negative source coordinates; wrap them all the same.
    int32_t x0 = (r.left % src.width + src.width) % src.width;
    int32_t sy = (r.top % src.height + src.height) % src.height;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        blend_row(src.row(sy), src.width, x0, dst.row(y - r.top + dy) + dx, n);
        if (++sy == src.height) sy = 0;
    }
}
