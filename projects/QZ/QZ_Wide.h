#pragma once
// Eight samples at a time in AVX2's registers, for the loops the compiler
// vectorises poorly: the same bits as the scalar operations in QZ_Math.h and
// QZ_Modes.h. Only for functions built for AVX2 (QZ_AVX2), called where
// qz::isa::wide() says so.
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

} // namespace qz::wide
#endif
