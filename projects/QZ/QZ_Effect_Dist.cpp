#include "QZ_Effect_Dist.h"

#include "QZ_Options.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

inline int32_t quadruple(int32_t y) {
    return int32_t(uint32_t(y) << 2);
}

using qz::dist::knee;
using qz::dist::pick;

using qz::dist::held;

// K = 0: the bias never moves, so no sample depends on the one before.
int32_t hold(const int32_t* in, int32_t* out, int32_t n, const QZ_Effect_Dist::Params& p,
             int32_t B) {
    const int32_t lo = std::max(p.loA, std::min(B, p.loT));
    const int32_t T = p.T, Lpos = p.Lpos, Lneg = p.Lneg;
    int32_t j = 0;
#if defined(__SSE2__)
    // Four samples at a time, the knee as two pairs of double divisions. A
    // group of four with a dividend of 2^53 or more goes the scalar way.
    const __m128i vB = _mm_set1_epi32(B), vT = _mm_set1_epi32(T), vlo = _mm_set1_epi32(lo);
    const __m128i vLpos = _mm_set1_epi32(Lpos), vLneg = _mm_set1_epi32(Lneg);
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi32(1);
    const __m128d limit = _mm_set1_pd(0x1p53), lowest = _mm_set1_pd(-2147483648.0),
                  highest = _mm_set1_pd(2147483647.0);
    const __m128d unsign = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    auto choose = [](__m128i m, __m128i a, __m128i b) {
        return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b));
    };
    for (; j + 4 <= n; j += 4) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j));
        __m128i v = _mm_srai_epi32(_mm_sub_epi32(_mm_srai_epi32(x, 1), vB), 1);
        __m128i c = choose(_mm_cmpgt_epi32(v, vT), vT, v);
        c = choose(_mm_cmpgt_epi32(vlo, c), vlo, c);
        __m128i e = _mm_sub_epi32(v, c);
        __m128i L = choose(_mm_cmpgt_epi32(e, zero), vLpos, vLneg);
        __m128i s = _mm_srai_epi32(e, 31);
        __m128i d = _mm_add_epi32(L, _mm_sub_epi32(_mm_xor_si128(e, s), s));
        __m128i z = _mm_cmpeq_epi32(d, zero);
        L = _mm_andnot_si128(z, L);                 // zero divisor: term 0
        d = _mm_or_si128(d, _mm_and_si128(z, one)); // ... over 1
        __m128d p0 = _mm_mul_pd(_mm_cvtepi32_pd(L), _mm_cvtepi32_pd(e));
        __m128d p1 = _mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(L, 0xEE)),
                                _mm_cvtepi32_pd(_mm_shuffle_epi32(e, 0xEE)));
        __m128d large = _mm_or_pd(_mm_cmpge_pd(_mm_and_pd(p0, unsign), limit),
                                  _mm_cmpge_pd(_mm_and_pd(p1, unsign), limit));
        if (_mm_movemask_pd(large)) [[unlikely]] {
            for (int32_t k = j; k < j + 4; ++k)
                out[k] = held(in[k], B, T, lo, Lpos, Lneg);
            continue;
        }
        __m128d q0 = _mm_div_pd(p0, _mm_cvtepi32_pd(d));
        __m128d q1 = _mm_div_pd(p1, _mm_cvtepi32_pd(_mm_shuffle_epi32(d, 0xEE)));
        q0 = _mm_min_pd(_mm_max_pd(q0, lowest), highest);
        q1 = _mm_min_pd(_mm_max_pd(q1, lowest), highest);
        __m128i q = _mm_unpacklo_epi64(_mm_cvttpd_epi32(q0), _mm_cvttpd_epi32(q1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                         _mm_slli_epi32(_mm_add_epi32(c, q), 2));
    }
#endif
    for (; j < n; ++j)
        out[j] = held(in[j], B, T, lo, Lpos, Lneg);
    return B;
}

// K != 0: each sample moves the bias by the part the clipper removed, so the
// whole sample, division included, lies on one chain from bias to bias. It is
// kept short: the excess is chosen straight from the two comparisons and
// v - y is taken as e - q. The choices are left as branches: predicted, they
// leave the chain, and even on noise that beats conditional moves on it.
// (The samples of a fixed bias are independent, and there the clamps are masks.)
template <bool Asymmetric>
int32_t drift(const int32_t* in, int32_t* out, int32_t n, const QZ_Effect_Dist::Params& p,
              int32_t B) {
    const int32_t loA = p.loA, loT = p.loT, Lpos = p.Lpos, Lneg = p.Lneg, K = p.K;
    // The lower clamp never exceeds loA or loT; when loA lies above T the
    // clamp is loA for every sample, which T = loA also gives. Either way
    // lo <= T from here on, and the clamp is a choice of three.
    const int32_t T = std::max(p.T, loA);
    for (int32_t j = 0; j < n; ++j) {
        int32_t v = qz::sub(in[j] >> 1, B) >> 1;
        int32_t lo = Asymmetric ? std::max(loA, std::min(B, loT)) : loA;
        bool above = v > T, below = v < lo;
        int32_t e = above ? qz::sub(v, T) : below ? qz::sub(v, lo) : 0;
        int32_t c = above ? T : below ? lo : v;
        bool rising = e > 0;
        int64_t P = rising ? int64_t(Lpos) * e : int64_t(Lneg) * e;
        int32_t d = rising ? qz::add(Lpos, e) : qz::sub(Lneg, e);
        int32_t q;
        if (d == 0 || d == -1) [[unlikely]] {
            q = qz::div_sat(P, d);
        } else {
            int64_t q64 = P / d;
            q = q64 == int32_t(q64) ? int32_t(q64) : qz::div_sat(P, d);
        }
        B = qz::add(B, qz::smulhi(qz::sub(e, q), K));
        out[j] = quadruple(qz::add(c, q));
    }
    return B;
}

int32_t drift_any(const int32_t* in, int32_t* out, int32_t n, const QZ_Effect_Dist::Params& p,
                  int32_t B) {
    return p.asymmetric ? drift<true>(in, out, n, p, B) : drift<false>(in, out, n, p, B);
}

int32_t bias_rate(float k, int32_t fs) {
    return qz::trunc32(double(k) * 48000.0 / double(fs) * 2147483647.0);
}

} // namespace

const std::array<QZ_Effect_Dist::Kernel, 2> QZ_Effect_Dist::kernels = {&hold, &drift_any};

QZ_Effect_Dist::Params QZ_Effect_Dist::params(int32_t T, int32_t H, int32_t flags, int32_t K) {
    int32_t F = int32_t(uint32_t(H) << 2);
    Params p;
    p.T = T;
    p.Lpos = F >> kneeShift;
    p.Lneg = qz::sub(F, F >> kneeShift);
    p.K = K;
    p.asymmetric = flags & 1;
    if (p.asymmetric) {
        // negative half clipped at the bias, with a knee an eighth as wide
        p.Lneg >>= 3;
        p.loA = qz::sub(qz::neg(T), H);
        p.loT = T;
    } else {
        // max(-T, min(B, INT32_MIN)) is -T whatever B is
        p.loA = qz::neg(T);
        p.loT = INT32_MIN;
    }
    return p;
}

void QZ_Effect_Dist::derive() {
    const int32_t D = level; // once: a command on another thread may set it
    int32_t T = qz::trunc32(double(D) * (1.0 - s));
    threshold = T;
    // 64-bit difference: a softness outside 0 ... 1 must not overflow it
    half = int32_t((int64_t(D) - T) / 2);
}

void QZ_Effect_Dist::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    if (n <= 0) return;
    int32_t K = rate;
    Params p = params(threshold, half, l, K);
    bias = kernels[K != 0](in, out, n, p, bias);
}

void QZ_Effect_Dist::clockChanged() {
    if (clock != 0) rate = bias_rate(k, clock);
}

QZ_value QZ_Effect_Dist::m_i(QZ_Effect_Dist* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Dist::m_o(QZ_Effect_Dist* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Dist::m_d(QZ_Effect_Dist* e, QZ_value v) {
    if (v.present()) {
        e->level = qz::trunc32(qz::as_number(v) * 536870912.0);
        e->derive();
    }
    return QZ_value::real(float(double(e->level) * 0x1p-30));
}

QZ_value QZ_Effect_Dist::m_s(QZ_Effect_Dist* e, QZ_value v) {
    if (v.present()) {
        e->s = qz::as_number(v);
        e->derive();
    }
    return QZ_value::real(float(e->s));
}

QZ_value QZ_Effect_Dist::m_k(QZ_Effect_Dist* e, QZ_value v) {
    if (v.present()) {
        e->k = qz::as_real(v);
        if (e->clock != 0) e->rate = bias_rate(e->k, e->clock);
    }
    return QZ_value::real(e->k);
}

QZ_value QZ_Effect_Dist::m_l(QZ_Effect_Dist* e, QZ_value v) {
    if (v.present()) e->l = qz::as_whole(v);
    return QZ_value::integer(e->l);
}

constinit const QZ_Entry QZ_Effect_Dist::cls[] = {
    qz::creates<QZ_Effect_Dist>(),         qz::option<&QZ_Effect_Dist::m_i>("i"),
    qz::option<&QZ_Effect_Dist::m_o>("o"), qz::option<&QZ_Effect_Dist::m_d>("d"),
    qz::option<&QZ_Effect_Dist::m_s>("s"), qz::option<&QZ_Effect_Dist::m_k>("k"),
    qz::option<&QZ_Effect_Dist::m_l>("l"), qz::parent(QZ_Effect::cls),
};
