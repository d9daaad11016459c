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

// The signed 64-bit products of a pair's even words and of its odd words.
struct Products {
    __m256i even, odd;
};
[[gnu::always_inline]] QZ_AVX2 inline Products products(__m256i a, __m256i b) {
    return {_mm256_mul_epi32(a, b),
            _mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32))};
}
// Bits S to S + 31 of each product, put back in its word's place.
template <int S> [[gnu::always_inline]] QZ_AVX2 inline __m256i bits(Products p) {
    static_assert(S > 0 && S <= 32);
    return _mm256_blend_epi32(_mm256_srli_epi64(p.even, S), _mm256_slli_epi64(p.odd, 32 - S), 0xAA);
}

// mul_q24 of each pair: bits 24 to 55 of the products, and their high words
// for the saturation.
[[gnu::always_inline]] QZ_AVX2 inline __m256i mul_q24(__m256i a, __m256i b) {
    const Products p = products(a, b);
    const __m256i r = bits<24>(p), hi = bits<32>(p);
    // the quotient fits when the high word lies in [-2^23, 2^23)
    const __m256i fits =
        _mm256_cmpeq_epi32(_mm256_srli_epi32(_mm256_add_epi32(hi, _mm256_set1_epi32(0x800000)), 24),
                           _mm256_setzero_si256());
    const __m256i limit =
        _mm256_xor_si256(_mm256_srai_epi32(hi, 31), _mm256_set1_epi32(0x7FFFFFFF));
    return _mm256_blendv_epi8(limit, r, fits);
}

// Four unsigned words of each 128-bit half, the low two (High false) or the
// high two, as doubles times 2^k: the word becomes the low bits of a double
// of 2^(52 - k) whose last place is 2^-k, less that 2^(52 - k). Exact, and
// shorter than a conversion of signed words and their correction.
template <bool High, int K> [[gnu::always_inline]] QZ_AVX2 inline __m256d unsigned_pd(__m256i w) {
    const __m256i z = _mm256_setzero_si256();
    const __m256i q = High ? _mm256_unpackhi_epi32(w, z) : _mm256_unpacklo_epi32(w, z);
    const __m256d base = _mm256_castsi256_pd(_mm256_set1_epi64x(int64_t(1075 + K) << 52));
    return _mm256_sub_pd(_mm256_or_pd(_mm256_castsi256_pd(q), base), base);
}

// The quotients RN(A * 2^24 / d) of the words taken as unsigned_pd takes
// them, truncated: 0x80000000 where one is 2^31 or more.
template <bool High> [[gnu::always_inline]] QZ_AVX2 inline __m128i quotient(__m256i A, __m256i d) {
    return _mm256_cvttpd_epi32(_mm256_div_pd(unsigned_pd<High, 0>(A), unsigned_pd<High, -24>(d)));
}

// div_q24 of eight pairs: the same double quotient and correction as the
// scalar one, in two divisions of four. With A = |a| + 1 and d = |b| + 1 as
// unsigned words, A and d * 2^-24 are exact doubles and their quotient is the
// rounded N / d. The saturation test is the quotient's own: N / d >= 2^31
// makes the rounded quotient 2^31 or more (2^31 is a double), whose
// truncation is 0x80000000; otherwise A <= 128 d - 1, so N / d <= 2^31 -
// 2^24 / d, more than 2^-8 below 2^31, and the rounded quotient stays below
// 2^31 and is no such word.
template <bool ZeroNegative>
[[gnu::always_inline]] QZ_AVX2 inline __m256i div_q24(__m256i a, __m256i b) {
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i A = _mm256_add_epi32(_mm256_abs_epi32(a), one);
    const __m256i d = _mm256_add_epi32(_mm256_abs_epi32(b), one);
    // words 0, 1, 4, 5 and 2, 3, 6, 7, put back in order
    __m256i q = _mm256_permute4x64_epi64(
        _mm256_inserti128_si256(_mm256_castsi128_si256(quotient<false>(A, d)), quotient<true>(A, d),
                                1),
        0xD8);
    const __m256i saturate = _mm256_cmpeq_epi32(q, _mm256_set1_epi32(INT32_MIN));
    const __m256i rest = _mm256_sub_epi32(_mm256_slli_epi32(A, 24), _mm256_mullo_epi32(q, d));
    q = _mm256_add_epi32(q, _mm256_cmpeq_epi32(_mm256_max_epu32(rest, d), rest)); // rest >= d
    const __m256i zero = _mm256_setzero_si256();
    const __m256i m =
        ZeroNegative ? _mm256_xor_si256(_mm256_cmpgt_epi32(a, zero), _mm256_cmpgt_epi32(b, zero))
                     : _mm256_srai_epi32(_mm256_xor_si256(a, b), 31);
    return _mm256_blendv_epi8(_mm256_sub_epi32(_mm256_xor_si256(q, m), m),
                              _mm256_xor_si256(m, _mm256_set1_epi32(0x7FFFFFFF)), saturate);
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
