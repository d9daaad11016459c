#pragma once
#include "QZ_Effect.h"
#include "QZ_Math.h"

#include <algorithm>
#include <array>
#include <cmath>

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
    };

    static QZ_value m_i(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_d(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_s(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Dist* e, QZ_value v);
    static QZ_value m_l(QZ_Effect_Dist* e, QZ_value v);
    static const QZ_Entry cls[];
};
