#pragma once
// The arithmetic blocks' operators written out plainly with 64-bit arithmetic.
#include <cstdint>

namespace qz::test {

inline int32_t clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}
inline int32_t wrap32(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

inline int32_t ref_mul(int32_t a, int32_t b) {
    int64_t p = int64_t(a) * b, q = p / (1 << 24);
    if (p % (1 << 24) != 0 && p < 0) --q; // floor, not toward zero
    if (q != int64_t(int32_t(q))) return p >= 0 ? INT32_MAX : INT32_MIN;
    return int32_t(q);
}

inline int32_t ref_div(int32_t a, int32_t b, bool zero_negative) {
    uint64_t A = uint64_t(a < 0 ? -int64_t(a) : a) + 1, B = uint64_t(b < 0 ? -int64_t(b) : b) + 1;
    uint64_t q = (A << 24) / B;
    bool na = zero_negative ? a <= 0 : a < 0, nb = zero_negative ? b <= 0 : b < 0;
    if (q >= (uint64_t(1) << 31)) return na != nb ? INT32_MIN : INT32_MAX;
    return na != nb ? -int32_t(q) : int32_t(q);
}

// Operator index as in the blocks: add, sub, mul, div. The two-input block
// saturates its sum and counts zero as positive; the factor block wraps and
// counts zero as negative.
inline int32_t ref_oper(int op, int32_t a, int32_t b, bool factor_block) {
    switch (op) {
    case 0:
        return factor_block ? wrap32(int64_t(a) + b) : clamp32(int64_t(a) + b);
    case 1:
        return wrap32(int64_t(a) - b);
    case 2:
        return ref_mul(a, b);
    default:
        return ref_div(a, b, factor_block);
    }
}

} // namespace qz::test
