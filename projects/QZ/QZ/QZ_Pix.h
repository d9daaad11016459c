#pragma once
// The pixel and the rectangle every picture, image and widget works in.
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

// Bytes blue, green, red, alpha: the 32-bit DIB order, 0xAARRGGBB read as a
// little-endian word (both targets are little-endian). Colour bytes are not premultiplied.
struct QZ_Pix_A32 {
    uint8_t b, g, r, a;
};
static_assert(sizeof(QZ_Pix_A32) == 4);

// The platform RECT layout; right and bottom are exclusive.
struct QZ_Rect {
    int32_t left, top, right, bottom;
    bool operator==(const QZ_Rect&) const = default;
};
static_assert(sizeof(QZ_Rect) == 16);

namespace qz {

inline bool is_empty(const QZ_Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

// May be empty; callers test before use.
inline QZ_Rect intersect(const QZ_Rect& a, const QZ_Rect& b) {
    return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
            a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}

// The source pixel s over the destination pixel d, each channel (red, green,
// blue, and alpha, which moves toward s's own alpha) as
//   d + ((s - d) * a >> 8)   kept modulo 256, the shift arithmetic,
// which equals (d * (256 - a) + s * a) >> 8: adding 256 * d before flooring
// changes nothing, and the sum never exceeds 255 * 256, so no channel wraps
// and two channels fit in one 32-bit word with 16 bits each.
inline uint32_t blend_word(uint32_t d, uint32_t s) {
    uint32_t a = s >> 24, na = 256 - a;
    uint32_t rb = ((d & 0x00FF00FFu) * na + (s & 0x00FF00FFu) * a) >> 8 & 0x00FF00FFu;
    uint32_t ag = ((d >> 8 & 0x00FF00FFu) * na + (s >> 8 & 0x00FF00FFu) * a) & 0xFF00FF00u;
    return rb | ag;
}

inline void blend_pixel(QZ_Pix_A32& d, QZ_Pix_A32 s) {
    uint32_t dw, sw;
    std::memcpy(&dw, &d, 4);
    std::memcpy(&sw, &s, 4);
    dw = blend_word(dw, sw);
    std::memcpy(&d, &dw, 4);
}

// Four pixels at once in 16-bit lanes, by the same formula as blend_word:
// (d * (256 - a) + s * a) >> 8 never exceeds 255 * 256, so the 16-bit
// products and their sum are exact. Every target has SSE2 (the 32-bit build
// is compiled for it).
inline void blend4(QZ_Pix_A32* d, const QZ_Pix_A32* s) {
    const __m128i zero = _mm_setzero_si128(), k256 = _mm_set1_epi16(256);
    __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    __m128i out[2];
    for (int half = 0; half < 2; ++half) {
        __m128i s16 = half ? _mm_unpackhi_epi8(sv, zero) : _mm_unpacklo_epi8(sv, zero);
        __m128i d16 = half ? _mm_unpackhi_epi8(dv, zero) : _mm_unpacklo_epi8(dv, zero);
        // Each pixel's alpha in all four of its lanes.
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s16, 0xFF), 0xFF);
        __m128i sum =
            _mm_add_epi16(_mm_mullo_epi16(d16, _mm_sub_epi16(k256, a)), _mm_mullo_epi16(s16, a));
        out[half] = _mm_srli_epi16(sum, 8);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(out[0], out[1]));
}

} // namespace qz
