#pragma once
// The one-pole coefficient and step shared by the high- and low-pass filters.
#include "QZ_Math.h"

#include <cstdint>

namespace qz {

// k = w / (w + fs) as a fraction of 2^32, w = 2 pi f; unchanged when f or fs is 0.
inline uint32_t onepole_k(int32_t f, int32_t clock, uint32_t k) {
    if (f == 0 || clock == 0) return k;
    return truncu32(double(f) * 13493037704.522018 /
                    (double(f) * 3.141592653589793 + double(clock) * 0.5));
}

// Moves y toward x by the fraction k / 2^32 of their difference.
inline int32_t onepole_step(int32_t x, int32_t y, uint32_t k) {
    // x + 2^31 does not depend on y: one subtraction on the loop's critical path
    uint32_t xb = uint32_t(x) + 0x80000000u;
    opaque(xb);
    uint32_t u = xb - uint32_t(y);
    int32_t d = int32_t(mulhi(u, k) - (k >> 1));
    return add(y, d);
}

} // namespace qz
