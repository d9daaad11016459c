#pragma once
// Sample arithmetic helpers: wrapping, shifts, high products, saturating truncation.
#include <cmath>
#include <cstdint>
#include <limits>

namespace qz {

inline int32_t wrap(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }
inline int32_t add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t neg(int32_t a) { return int32_t(0u - uint32_t(a)); }

// Arithmetic shift right of a 64-bit value, low 32 bits kept.
inline int32_t asr(int64_t v, int s) { return wrap(v >> s); }

// High 32 bits of the unsigned 64-bit product.
inline uint32_t mulhi(uint32_t a, uint32_t b) { return uint32_t((uint64_t(a) * b) >> 32); }

// High 32 bits of the signed 64-bit product.
inline int32_t smulhi(int32_t a, int32_t b) { return int32_t((int64_t(a) * b) >> 32); }

// Truncation toward zero that saturates at the target's range; NaN gives 0.
template <class I, class F> inline I trunc_sat(F x) {
    static_assert(std::numeric_limits<I>::is_integer);
    if (x != x) return 0;
    constexpr F lo = F(std::numeric_limits<I>::min());
    // max()+1 is a power of two, exact in every floating type
    constexpr F hi = F(std::numeric_limits<I>::max() / 2 + 1) * F(2);
    if (x <= lo) return std::numeric_limits<I>::min();
    if (x >= hi) return std::numeric_limits<I>::max();
    return I(x);
}
template <class F> inline int32_t trunc32(F x) { return trunc_sat<int32_t>(x); }
template <class F> inline uint32_t truncu32(F x) { return trunc_sat<uint32_t>(x); }

// p / d truncated toward zero and saturated to 32 bits; 0 for a zero divisor.
// Never traps: no division by zero, no INT64_MIN / -1.
inline int32_t div_sat(int64_t p, int32_t d) {
    if (d == 0) return 0;
    int64_t q = d == -1 ? (p == INT64_MIN ? INT64_MAX : -p) : p / d;
    return q < INT32_MIN ? INT32_MIN : q > INT32_MAX ? INT32_MAX : int32_t(q);
}

} // namespace qz
