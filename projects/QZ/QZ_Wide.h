#pragma once
// Eight samples at a time in AVX2's registers, for the loops the compiler
// vectorises poorly: the same bits as the scalar operations in QZ_Math.h and
// QZ_Modes.h. Only for functions built for AVX2 (QZ_AVX2), called where
// qz::isa::wide() says so.
#include "QZ_Arith.h"
#include "QZ_Isa.h"
#include "QZ_Modes.h"

#if QZ_WIDE_LOOPS
#include <immintrin.h>

namespace qz::wide {

// mul_q24 of each pair. The even and odd words' 64-bit products come from
// two multiplications and the words are put back with blends, where the
// compiler's version moves them through four shuffles per product.
[[gnu::always_inline]] QZ_AVX2 inline __m256i mul_q24(__m256i a, __m256i b) {
    const __m256i even = _mm256_mul_epu32(a, b);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
    __m256i hi = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
    const __m256i lo = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    // the signed high word: less the other factor for each negative one
    hi = _mm256_sub_epi32(hi, _mm256_and_si256(_mm256_srai_epi32(a, 31), b));
    hi = _mm256_sub_epi32(hi, _mm256_and_si256(_mm256_srai_epi32(b, 31), a));
    const __m256i r = _mm256_or_si256(_mm256_slli_epi32(hi, 8), _mm256_srli_epi32(lo, 24));
    const __m256i fits =
        _mm256_cmpeq_epi32(_mm256_srli_epi32(_mm256_add_epi32(hi, _mm256_set1_epi32(0x800000)), 24),
                           _mm256_setzero_si256());
    const __m256i saturated =
        _mm256_xor_si256(_mm256_srai_epi32(hi, 31), _mm256_set1_epi32(0x7FFFFFFF));
    return _mm256_blendv_epi8(saturated, r, fits);
}

// div_q24 of four pairs: the same double-precision quotient and correction,
// one division of four.
template <bool ZeroNegative>
[[gnu::always_inline]] QZ_AVX2 inline __m128i div_q24(__m128i a, __m128i b) {
    const __m256d unsign = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d na = _mm256_add_pd(_mm256_and_pd(_mm256_cvtepi32_pd(a), unsign), one);
    const __m256d nb = _mm256_add_pd(_mm256_and_pd(_mm256_cvtepi32_pd(b), unsign), one);
    const __m256d over = _mm256_cmp_pd(na, _mm256_mul_pd(nb, _mm256_set1_pd(128.0)), _CMP_GE_OQ);
    // the quotient is positive and no NaN: the smaller of it and 2^31 - 1
    const __m256d x = _mm256_div_pd(_mm256_mul_pd(na, _mm256_set1_pd(16777216.0)), nb);
    __m128i q = _mm256_cvttpd_epi32(_mm256_min_pd(x, _mm256_set1_pd(2147483647.0)));
    const __m128i d = _mm_add_epi32(_mm_abs_epi32(b), _mm_set1_epi32(1));
    const __m128i rest =
        _mm_sub_epi32(_mm_slli_epi32(_mm_add_epi32(_mm_abs_epi32(a), _mm_set1_epi32(1)), 24),
                      _mm_mullo_epi32(q, d));
    q = _mm_add_epi32(q, _mm_cmpeq_epi32(_mm_max_epu32(rest, d), rest)); // rest >= d: one less
    const __m128i m = ZeroNegative ? _mm_xor_si128(_mm_cmpgt_epi32(a, _mm_setzero_si128()),
                                                   _mm_cmpgt_epi32(b, _mm_setzero_si128()))
                                   : _mm_srai_epi32(_mm_xor_si128(a, b), 31);
    const __m128i saturate = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(
        _mm256_castpd_si256(over), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
    return _mm_blendv_epi8(_mm_sub_epi32(_mm_xor_si128(q, m), m),
                           _mm_xor_si128(m, _mm_set1_epi32(0x7FFFFFFF)), saturate);
}

// ... and of eight, in two divisions of four.
template <bool ZeroNegative>
[[gnu::always_inline]] QZ_AVX2 inline __m256i div_q24(__m256i a, __m256i b) {
    const __m128i lo = div_q24<ZeroNegative>(_mm256_castsi256_si128(a), _mm256_castsi256_si128(b));
    const __m128i hi =
        div_q24<ZeroNegative>(_mm256_extracti128_si256(a, 1), _mm256_extracti128_si256(b, 1));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

template <int M> [[gnu::always_inline]] QZ_AVX2 inline __m256i combine(__m256i o, __m256i y) {
    static_assert(M >= 0 && M < MODE_COUNT);
    const __m256i zero = _mm256_setzero_si256();
    // clang-format off
    if constexpr (M == MODE_SET) return y;
    else if constexpr (M == MODE_ADD) return _mm256_add_epi32(o, y);
    else if constexpr (M == MODE_SUB) return _mm256_sub_epi32(o, y);
    else if constexpr (M == MODE_STN) return _mm256_sub_epi32(zero, y);
    else if constexpr (M == MODE_ADN) return _mm256_sub_epi32(zero, _mm256_add_epi32(o, y));
    else return _mm256_sub_epi32(y, o);
    // clang-format on
}

[[gnu::always_inline]] QZ_AVX2 inline __m256i load(const int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
[[gnu::always_inline]] QZ_AVX2 inline void store(int32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// A loop of an operator with a wide form, eight samples at a time, over as
// many as it takes. The second operand is b, or the factor k where b is null.
// Answers how many it took; the caller does the rest one by one.
template <int Op, int Mode, bool ZeroNegative>
[[gnu::always_inline]] QZ_AVX2 inline int32_t run(const int32_t* a, const int32_t* b, int32_t k,
                                                  int32_t* out, int32_t n) {
    int32_t j = 0;
    if constexpr (Op == OPER_MUL || Op == OPER_DIV) {
        const __m256i k8 = _mm256_set1_epi32(k);
        for (; j + 8 <= n; j += 8) {
            const __m256i x = load(a + j), y = b ? load(b + j) : k8;
            __m256i r;
            if constexpr (Op == OPER_MUL)
                r = mul_q24(x, y);
            else
                r = div_q24<ZeroNegative>(x, y);
            store(out + j, combine<Mode>(load(out + j), r));
        }
    }
    return j;
}

} // namespace qz::wide
#endif
