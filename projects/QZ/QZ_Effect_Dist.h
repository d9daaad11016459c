#pragma once
#include "QZ_Effect.h"
#include "QZ_Isa.h"
#include "QZ_Math.h"

#include <algorithm>
#include <array>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if QZ_WIDE_LOOPS
#include <immintrin.h>
#endif

namespace qz::dist {

// Branch-free choices: the sign of a clipped sample is as random as the signal.
[[gnu::always_inline]] inline int32_t pick(bool c, int32_t a, int32_t b) {
    uint32_t m = 0u - uint32_t(c);
    return int32_t(uint32_t(b) ^ ((uint32_t(a) ^ uint32_t(b)) & m));
}

// Knee term L*e / (L + |e|): 64-bit product, wrapping 32-bit divisor, quotient
// truncated and saturated (qz::div_sat); 0 where the divisor is 0, the limit
// when L and e are both 0.
//
// Here by double division, which pipelines where the integer one does not. A
// dividend below 2^53 is exact in a double, and its rounded quotient then stays
// within 1/|d| of the true one, never reaching the next integer: truncating it
// gives the integer quotient. Larger dividends take the integer way.
[[gnu::always_inline]] inline int32_t knee(int32_t L, int32_t e) {
    int32_t d = qz::add(L, int32_t(qz::magnitude(e)));
    int32_t Lz = d == 0 ? 0 : L;
    double p = double(Lz) * double(e);
    if (std::fabs(p) >= 0x1p53) [[unlikely]]
        return qz::div_sat(int64_t(L) * e, d);
    double q = p / double(d | int32_t(d == 0));
    q = std::min(std::max(q, -2147483648.0), 2147483647.0);
    return int32_t(q);
}

// One sample of the clipper with its bias B held and its lower clamp lo
// fixed: y * 4. Within the clamp the knee term is 0 (knee(L, 0) is 0 for
// every L); an envelope stays on one side of the clamp for long stretches,
// where the branch predicts well and saves a division.
[[gnu::always_inline]] inline int32_t held(int32_t x, int32_t B, int32_t T, int32_t lo,
                                           int32_t Lpos, int32_t Lneg) {
    int32_t v = qz::sub(x >> 1, B) >> 1;
    int32_t c = std::max(std::min(v, T), lo);
    int32_t e = qz::sub(v, c);
    int32_t q = e == 0 ? 0 : knee(pick(e > 0, Lpos, Lneg), e);
    return int32_t(uint32_t(qz::add(c, q)) << 2);
}

#if defined(__SSE2__)
// held() over four samples x at once into y, its words in every lane: the
// knee as double divisions, the choices as masks, none where all four lie
// within the clamp (an envelope stays there for long stretches). False, with
// y not set, where a knee's dividend reaches 2^53: held() takes the integer
// way there.
struct Held4 {
    __m128i B, T, lo, Lpos, Lneg;

    Held4(int32_t b, int32_t t, int32_t l, int32_t lp, int32_t ln)
        : B(_mm_set1_epi32(b)), T(_mm_set1_epi32(t)), lo(_mm_set1_epi32(l)),
          Lpos(_mm_set1_epi32(lp)), Lneg(_mm_set1_epi32(ln)) {}

    // In SSE2's registers: two pairs of divisions.
    [[gnu::always_inline]] bool run(__m128i x, __m128i& y) const {
        const __m128i zero = _mm_setzero_si128();
        const __m128d limit = _mm_set1_pd(0x1p53), lowest = _mm_set1_pd(-2147483648.0),
                      highest = _mm_set1_pd(2147483647.0);
        const __m128d unsign = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
        auto choose = [](__m128i m, __m128i a, __m128i b) {
            return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
        };
        __m128i v = _mm_srai_epi32(_mm_sub_epi32(_mm_srai_epi32(x, 1), B), 1);
        __m128i c = choose(_mm_cmpgt_epi32(v, T), T, v);
        c = choose(_mm_cmpgt_epi32(lo, c), lo, c);
        __m128i e = _mm_sub_epi32(v, c);
        // all four within the clamp: every knee term 0, as held() skips it
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(e, zero)) == 0xFFFF) {
            y = _mm_slli_epi32(c, 2);
            return true;
        }
        __m128i L = choose(_mm_cmpgt_epi32(e, zero), Lpos, Lneg);
        __m128i s = _mm_srai_epi32(e, 31);
        __m128i d = _mm_add_epi32(L, _mm_sub_epi32(_mm_xor_si128(e, s), s));
        __m128i z = _mm_cmpeq_epi32(d, zero);
        L = _mm_andnot_si128(z, L); // zero divisor: term 0 ...
        d = _mm_sub_epi32(d, z);    // ... over 1
        __m128d p0 = _mm_mul_pd(_mm_cvtepi32_pd(L), _mm_cvtepi32_pd(e));
        __m128d p1 = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(L, 0xEE)),
                                _mm_cvtepi32_pd(_mm_shuffle_epi32(e, 0xEE)));
        __m128d large = _mm_or_pd(_mm_cmpge_pd(_mm_and_pd(p0, unsign), limit),
                                  _mm_cmpge_pd(_mm_and_pd(p1, unsign), limit));
        if (_mm_movemask_pd(large)) [[unlikely]]
            return false;
        __m128d q0 = _mm_div_pd(p0, _mm_cvtepi32_pd(d));
        __m128d q1 = _mm_div_pd(p1, _mm_cvtepi32_pd(_mm_shuffle_epi32(d, 0xEE)));
        q0 = _mm_min_pd(_mm_max_pd(q0, lowest), highest);
        q1 = _mm_min_pd(_mm_max_pd(q1, lowest), highest);
        __m128i q = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q0), _mm_cvttpd_epi32(q1));
        y = _mm_slli_epi32(_mm_add_epi32(c, q), 2);
        return true;
    }

#if QZ_WIDE_LOOPS
    // In AVX2's: one division of four.
    [[gnu::always_inline]] QZ_AVX2 bool run_wide(__m128i x, __m128i& y) const {
        const __m128i zero = _mm_setzero_si128();
        const __m256d limit = _mm256_set1_pd(0x1p53), lowest = _mm256_set1_pd(-2147483648.0),
                      highest = _mm256_set1_pd(2147483647.0);
        const __m256d unsign = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
        __m128i v = _mm_srai_epi32(_mm_sub_epi32(_mm_srai_epi32(x, 1), B), 1);
        __m128i c = _mm_max_epi32(_mm_min_epi32(v, T), lo);
        __m128i e = _mm_sub_epi32(v, c);
        // all four within the clamp: every knee term 0, as held() skips it
        if (_mm_testz_si128(e, e)) {
            y = _mm_slli_epi32(c, 2);
            return true;
        }
        __m128i L = _mm_blendv_epi8(Lneg, Lpos, _mm_cmpgt_epi32(e, zero));
        __m128i d = _mm_add_epi32(L, _mm_abs_epi32(e));
        __m128i z = _mm_cmpeq_epi32(d, zero);
        L = _mm_andnot_si128(z, L);
        d = _mm_sub_epi32(d, z);
        __m256d p = _mm256_mul_pd(_mm256_cvtepi32_pd(L), _mm256_cvtepi32_pd(e));
        if (_mm256_movemask_pd(_mm256_cmp_pd(_mm256_and_pd(p, unsign), limit, _CMP_GE_OQ)))
            [[unlikely]]
            return false;
        __m256d q = _mm256_div_pd(p, _mm256_cvtepi32_pd(d));
        q = _mm256_min_pd(_mm256_max_pd(q, lowest), highest);
        y = _mm_slli_epi32(_mm_add_epi32(c, _mm256_cvttpd_epi32(q)), 2);
        return true;
    }
#endif
};
#endif

} // namespace qz::dist

// Soft-knee clipper with an adaptive bias. Works at a quarter of the sample
// scale and writes y * 4; always stores into o, whatever the mode.
class QZ_Effect_Dist : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    int32_t bias = 0;                     // B, internal units, carried across blocks
    qz::Shared<int32_t> rate{0x4000000};  // K, 32 fraction bits
    float k = 0.0f;                       // bias rate setting, normalised to 48 kHz
    qz::Shared<int32_t> level{0x1000000}; // D = d * 2^29
    qz::Shared<int32_t> half{0};          // H, the knee half-width
    qz::Shared<int32_t> threshold{0};     // T
    static constexpr int kneeShift = 1;   // no option changes it
    qz::Shared<int32_t> l{0};             // flags; bit 0: asymmetric
    double s = 0.5;                       // softness

    QZ_Effect_Dist() { derive(); }

    void process() override;
    void clockChanged() override;
    void reset() override { bias = 0; }

    // T and H from the level and softness.
    void derive();

    // What a kernel needs besides the samples, fixed for one pass.
    struct Params {
        int32_t T;   // upper clamp
        int32_t loA; // lower clamp = max(loA, min(B, loT))
        int32_t loT;
        int32_t Lpos; // knee width above the clamp
        int32_t Lneg; // knee width below it
        int32_t K;
        bool asymmetric;
    };
    static Params params(int32_t T, int32_t H, int32_t flags, int32_t K);

    // One block; answers the bias. in and out may be the same array.
    using Kernel = int32_t (*)(const int32_t* in, int32_t* out, int32_t n, const Params& p,
                               int32_t B);
    // [0] for K = 0 (every sample independent), [1] otherwise.
    static const std::array<Kernel, 2> kernels;

    // The clipper as another loop steps it while its bias holds (rate 0):
    // bias, clamps and knee widths for one pass.
    struct Held {
        int32_t B, T, lo, Lpos, Lneg;
        // False where it does not clip `in` into `out`, or its bias moves (a
        // recursion of its own, and the state before the clock is set).
        bool load(const QZ_Effect_Dist& e, const QZ_Buffer* in, const QZ_Buffer* out) {
            const int32_t K = e.rate;
            if (K != 0 || e.i != in || e.o != out) return false;
            const Params p = params(e.threshold, e.half, e.l, K);
            B = e.bias;
            T = p.T;
            lo = std::max(p.loA, std::min(B, p.loT));
            Lpos = p.Lpos;
            Lneg = p.Lneg;
            return true;
        }
        [[gnu::always_inline]] int32_t step(int32_t x) const {
            return qz::dist::held(x, B, T, lo, Lpos, Lneg);
        }
#if defined(__SSE2__)
        qz::dist::Held4 four() const {
            return {B, T, lo, Lpos, Lneg};
        }
#endif
    };

    static QZ_value m_i(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_d(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_s(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_l(QZ_Effect_Dist* e, QZ_value v);
    static const QZ_Entry cls[];
};
