#include "QZ_Effect_Dist.h"

#include "QZ_Options.h"

#include <algorithm>
#include <cmath>

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
    // Four samples at a time; a group with a dividend of 2^53 or more goes
    // the scalar way.
    const qz::dist::Held4 four(B, T, lo, Lpos, Lneg);
    for (; j + 4 <= n; j += 4) {
        __m128i y;
        if (four.run(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + j)), y)) [[likely]]
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), y);
        else
            for (int32_t k = j; k < j + 4; ++k)
                out[k] = held(in[k], B, T, lo, Lpos, Lneg);
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
