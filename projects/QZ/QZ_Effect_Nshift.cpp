#include "QZ_Effect_Nshift.h"

namespace {

using Shifter = QZ_Effect_Shifter;
constexpr uint32_t MASK = Shifter::HISTORY - 1;

// Each sample shifted down first, then interpolated in wrapping 32 bits.
inline int32_t read(const int32_t* h, uint32_t w, int32_t a) {
    int32_t k = a / Shifter::UNIT;
    int32_t f = a - k * Shifter::UNIT;
    uint32_t i0 = (w + uint32_t(k)) & MASK;
    uint32_t i1 = (i0 + 1) & MASK;
    return int32_t(uint32_t(h[i1] >> 14) * uint32_t(f) +
                   uint32_t(h[i0] >> 14) * uint32_t(Shifter::UNIT - f));
}

} // namespace

int32_t QZ_Effect_Nshift::kernel(const int32_t* in, int32_t* out, int32_t n, int32_t step,
                                 uint32_t pd, int32_t phi, uint32_t* wp, int32_t* history) {
    uint32_t w = *wp;
    for (int32_t j = 0; j < n; ++j) {
        w = (w - 1) & MASK;
        history[w] = in[j];
        phi = advance(phi, step, pd);
        double g1, g2;
        weights(phi, pd, g1, g2);
        out[j] = qz::trunc32(g1 * double(read(history, w, phi)) +
                             g2 * double(read(history, w, int32_t(uint32_t(phi) + pd))));
    }
    *wp = w;
    return phi;
}

void QZ_Effect_Nshift::process() {
    Pass pass;
    int32_t phase0 = 0;
    if (!begin(pass, phase0)) return;
    end(phase0, kernel(pass.in, pass.out, pass.n, pass.step, pass.pd, pass.phase, &w, history));
}

constinit const QZ_Entry QZ_Effect_Nshift::cls[] = {
    qz::creates<QZ_Effect_Nshift>(),         qz::option<&QZ_Effect_Nshift::m_i>("i"),
    qz::option<&QZ_Effect_Nshift::m_o>("o"), qz::option<&QZ_Effect_Nshift::m_s>("s"),
    qz::option<&QZ_Effect_Nshift::m_p>("p"), qz::parent(QZ_Effect::cls),
};
