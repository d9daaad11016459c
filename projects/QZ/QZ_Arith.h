#pragma once
// The operators of the arithmetic blocks: their keywords, the "oper" option,
// and the fixed-point quotient.
#include "QZ_Math.h"
#include "QZ_Modes.h"
#include "QZ_Options.h"
#include "QZ_Shared.h"
#include "QZ_Value.h"

#include <cstdint>
#include <cstring>

namespace qz {

enum Oper : int { OPER_ADD, OPER_SUB, OPER_MUL, OPER_DIV, OPER_COUNT };

inline constexpr const char* oper_names[OPER_COUNT] = {"add", "sub", "mul", "div"};

// Kernels of a block with operators, one per operator and mode: operator * 6 + mode.
inline constexpr int OPER_KERNELS = int(OPER_COUNT) * int(MODE_COUNT);

// Selects the operator named by a text, searched from the last keyword; any
// other value leaves it. Answers the current keyword.
inline QZ_value oper_option(Shared<int32_t>& oper, const QZ_value& v) {
    return keyword_option(oper, oper_names, OPER_COUNT, v);
}

// Q = floor((|a| + 1) * 2^24 / (|b| + 1)): a over b with 2^24 = 1.0, never by
// zero. Q at or above 2^31 saturates; the result is -Q (or -2^31) when a and b
// differ in sign. ZeroNegative: whether 0 counts as negative.
//
// A 64-by-32 division per sample costs far more than a vectorised double one,
// and the double one is made exact here. The magnitudes, the numerator
// N = A * 2^24 (below 2^56) and the saturation test are exact in double.
// Unsaturated, N / d is below 2^31, where the correctly rounded quotient lies
// within 2^-22 of it; floor(N / d) is representable, so the quotient truncates
// to the floor or to one above it, under any rounding mode. The remainder
// N - q * d modulo 2^32 tells the two apart: [0, d) for the floor,
// [2^32 - d, 2^32) for one above, disjoint while d <= 2^31. The one larger
// divisor, 2^31 + 1 (b = -2^31), never rounds up: with N / d <= 2^24 that
// needs N = k * d - r with r <= 4, i.e. A = 128 * r as 2^31 = -1 modulo d;
// then N / d < 5, where half a unit in the last place (2^-51) is far below r / d.
template <bool ZeroNegative> inline int32_t div_q24(int32_t a, int32_t b) {
    // the builtin: some C libraries make fabs an x87 instruction, which does not vectorise
    double na = __builtin_fabs(double(a)) + 1.0;
    double nb = __builtin_fabs(double(b)) + 1.0;
    bool saturate = na >= nb * 128.0;                    // N / d >= 2^31
    int32_t q = trunc32_magnitude(na * 16777216.0 / nb); // 2^31 - 1 when saturated
    uint32_t d = magnitude(b) + 1u;
    q -= int32_t(((magnitude(a) + 1u) << 24) - uint32_t(q) * d >= d);
    // all ones for a negative result
    int32_t m = ZeroNegative ? -int32_t((a <= 0) != (b <= 0)) : (a ^ b) >> 31;
    return saturate ? int32_t(0x7FFFFFFFu ^ uint32_t(m))
                    : int32_t((uint32_t(q) ^ uint32_t(m)) - uint32_t(m));
}

} // namespace qz
