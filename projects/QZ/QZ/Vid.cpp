#include "Vid.h"

#include "QZ_Error.h"

#include <cstring>

namespace {
int32_t read32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}
} // namespace

bool QZ_Vid::map(const void* data) {
    auto bytes = static_cast<const uint8_t*>(data);
    if (!bytes || std::memcmp(bytes, "QZVF", 4) != 0) {
        QZ_error_func("projects/QZ/QZ/Vid.cpp", 14, "QZ_Vid::map", __DATE__, __TIME__,
                      "Invalid QZVF header");
        return false;
    }
    width = read32(bytes + 4);
    height = read32(bytes + 8);
    tiles = read32(bytes + 12);
    frames = read32(bytes + 16);
    pool = bytes + 20;
    index = pool + intptr_t(tiles) * 64;
    return true;
}

bool QZ_Vid::has(int32_t f) const {
    return pool && index && tiles > 0 && width > 0 && height > 0 && f >= 0 && f < frames;
}

const QZ_Pix_A32* QZ_Vid::tile(int32_t f, int32_t tx, int32_t ty) const {
    intptr_t at = (intptr_t(f) * tile_rows() + ty) * tile_columns() + tx;
    uint32_t t = uint32_t(index[2 * at]) | uint32_t(index[2 * at + 1]) << 8;
    if (t >= uint32_t(tiles)) return nullptr;
    return reinterpret_cast<const QZ_Pix_A32*>(pool + intptr_t(t) * 64);
}

bool QZ_Vid::draw_frame(int32_t f, QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy,
                        const QZ_Rect& sourceRect) const {
    if (!has(f)) return false;
    // Callers keep inside the frame; clipping here keeps a stray rectangle
    // from reading past the strip.
    QZ_Rect r = qz::intersect(sourceRect, {0, 0, width, height});
    if (qz::is_empty(r)) return false;
    dx += r.left - sourceRect.left;
    dy += r.top - sourceRect.top;
    for (int32_t ty = r.top / 4; ty <= (r.bottom - 1) / 4; ++ty) {
        for (int32_t tx = r.left / 4; tx <= (r.right - 1) / 4; ++tx) {
            const QZ_Pix_A32* t = tile(f, tx, ty);
            if (!t) continue;
            QZ_Rect part = qz::intersect({tx * 4, ty * 4, tx * 4 + 4, ty * 4 + 4}, r);
            const int32_t n = part.right - part.left;
            for (int32_t y = part.top; y < part.bottom; ++y) {
                const QZ_Pix_A32* s = t + (y - ty * 4) * 4 + (part.left - tx * 4);
                QZ_Pix_A32* d = dst.row(y - r.top + dy) + (part.left - r.left + dx);
                if (n == 4)
                    qz::blend4(d, s);
                else
                    for (int32_t i = 0; i < n; ++i)
                        qz::blend_pixel(d[i], s[i]);
            }
        }
    }
    return true;
}

bool QZ_Vid::alpha_hit(int32_t f, int32_t x, int32_t y) const {
    if (!has(f) || x < 0 || y < 0 || x >= width || y >= height) return false;
    const QZ_Pix_A32* t = tile(f, x / 4, y / 4);
    return t && t[(y % 4) * 4 + x % 4].a >= 128;
}
