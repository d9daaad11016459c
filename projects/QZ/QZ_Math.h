#pragma once
// Sample arithmetic helpers: wrapping, shifts, high products, saturating truncation.
#include <cmath>
#include <cstdint>
#include <limits>

namespace qz {

// Keeps the compiler from re-associating arithmetic through v: a value
// computed off a loop's critical path stays off it.
template <class T> inline void opaque(T& v) {
    asm("" : "+r"(v));
}

inline int32_t wrap(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}
inline int32_t add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}
inline int32_t sub(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) - uint32_t(b));
}
inline int32_t neg(int32_t a) {
    return int32_t(0u - uint32_t(a));
}

// Arithmetic shift right of a 64-bit value, low 32 bits kept.
inline int32_t asr(int64_t v, int s) {
    return wrap(v >> s);
}

// High 32 bits of the unsigned 64-bit product.
inline uint32_t mulhi(uint32_t a, uint32_t b) {
    return uint32_t((uint64_t(a) * b) >> 32);
}

// High 32 bits of the signed 64-bit product.
inline int32_t smulhi(int32_t a, int32_t b) {
    return int32_t((int64_t(a) * b) >> 32);
}

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
template <class F> inline int32_t trunc32(F x) {
    return trunc_sat<int32_t>(x);
}
template <class F> inline uint32_t truncu32(F x) {
    return trunc_sat<uint32_t>(x);
}

// p / d truncated toward zero and saturated to 32 bits; 0 for a zero divisor.
// Never traps: no division by zero, no INT64_MIN / -1.
inline int32_t div_sat(int64_t p, int32_t d) {
    if (d == 0) return 0;
    int64_t q = d == -1 ? (p == INT64_MIN ? INT64_MAX : -p) : p / d;
    return q < INT32_MIN ? INT32_MIN : q > INT32_MAX ? INT32_MAX : int32_t(q);
}

// |x| truncated toward zero and held at 2^31 - 1, NaN too: trunc32 for values
// known not to be negative, in a form that vectorises to one comparison and
// one conversion.
inline int32_t trunc32_magnitude(double x) {
    x = __builtin_fabs(x); // the builtin: some C libraries make fabs an x87 instruction
    return int32_t(x < 2147483647.0 ? x : 2147483647.0);
}

// The size of a sample, 2^31 for the most negative one.
inline uint32_t magnitude(int32_t x) {
    uint32_t s = uint32_t(x >> 31);
    return (uint32_t(x) ^ s) - s;
}

// a + b, held at the limit of the operands' sign on overflow. Branch-free so
// that sample loops over it vectorise.
inline int32_t add_sat(int32_t a, int32_t b) {
    uint32_t s = uint32_t(a) + uint32_t(b);
    // overflow: the sum's sign differs from both operands'
    bool over = int32_t((uint32_t(a) ^ s) & (uint32_t(b) ^ s)) < 0;
    return over ? int32_t(0x7FFFFFFFu ^ uint32_t(a >> 31)) : int32_t(s);
}

// floor(a * b / 2^24) from the full 64-bit product, the product of a sample and
// a gain with 2^24 = 1.0; held at the limit of the product's sign when it does
// not fit. Made of 32-bit halves, which vectorise where 64-bit lanes do not.
inline int32_t mul_q24(int32_t a, int32_t b) {
    uint32_t ua = uint32_t(a), ub = uint32_t(b);
    uint64_t p = uint64_t(ua) * ub; // one unsigned product gives both words
    // the signed high word: the unsigned one less the other factor for each negative one
    uint32_t hi = uint32_t(p >> 32) - (uint32_t(a >> 31) & ub) - (uint32_t(b >> 31) & ua);
    uint32_t r = (hi << 8) | (uint32_t(p) >> 24);
    // the quotient fits when the high word lies in [-2^23, 2^23)
    bool fits = (hi + 0x800000u) >> 24 == 0;
    return fits ? int32_t(r) : int32_t(0x7FFFFFFFu ^ uint32_t(int32_t(hi) >> 31));
}

} // namespace qz
