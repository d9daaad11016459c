#include "QZ_Effect_Shift.h"

#include "QZ_Options.h"

#include <algorithm>

namespace {

using Shifter = QZ_Effect_Shifter;
constexpr uint32_t MASK = Shifter::HISTORY - 1;

// The history places either side of position a, and a's fraction of a sample.
struct Place {
    uint32_t i0, i1;
    int32_t f;
};
inline Place place(uint32_t w, int32_t a) {
    int32_t k = a / Shifter::UNIT;
    uint32_t i0 = (w + uint32_t(k)) & MASK;
    return {i0, (i0 + 1) & MASK, a - k * Shifter::UNIT};
}

// Interpolated in 64 bits, then shifted down.
inline int32_t read(const int32_t* h, uint32_t w, int32_t a) {
    Place q = place(w, a);
    return qz::asr(int64_t(h[q.i1]) * q.f + int64_t(h[q.i0]) * (Shifter::UNIT - q.f), 14);
}

} // namespace

uint32_t QZ_Effect_Shifter::window(int32_t fs) {
    static constexpr long double per_hertz = 8388608.0L * (1.0L / 48000.0L);
    long double v = static_cast<long double>(fs) * per_hertz;
    if (!(v >= 1.0L)) return 1;
    return v >= MAX_WINDOW ? MAX_WINDOW : uint32_t(v);
}

void QZ_Effect_Shifter::clockChanged() {
    // without a clock the window stays as it was: a window of 0 has no weights
    if (clock > 0) pd = window(clock);
}

void QZ_Effect_Shifter::reset() {
    std::fill(history, history + HISTORY, 0);
    std::fill(outHistory, outHistory + HISTORY, 0);
}

int32_t QZ_Effect_Shifter::wrap_phase(int64_t phase, uint32_t pd) {
    int64_t r = phase % int64_t(pd);
    return int32_t(r < 0 ? r + pd : r);
}

int32_t QZ_Effect_Shifter::wrap_step(int32_t step, uint32_t pd) {
    return int32_t(int64_t(step) % int64_t(pd));
}

bool QZ_Effect_Shifter::begin(Pass& pass, int32_t& phase0) {
    if (!i || !o) return false;
    pass.n = span(i, o);
    pass.out = samples(o);
    pass.in = samples(i);
    if (pass.n <= 0) return false;
    // each word once: a command may change them while the pass runs
    pass.pd = pd;
    pass.step = wrap_step(s, pass.pd);
    phase0 = p;
    pass.phase = wrap_phase(phase0, pass.pd);
    return true;
}

void QZ_Effect_Shifter::end(int32_t phase0, int32_t phase) {
    p.replace(phase0, phase);
}

QZ_value QZ_Effect_Shifter::m_i(QZ_Effect_Shifter* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Shifter::m_o(QZ_Effect_Shifter* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Shifter::m_s(QZ_Effect_Shifter* e, QZ_value v) {
    if (v.present()) e->s = qz::as_whole(v);
    return QZ_value::integer(e->s);
}

QZ_value QZ_Effect_Shifter::m_p(QZ_Effect_Shifter* e, QZ_value v) {
    if (v.present()) e->p = qz::as_whole(v);
    return QZ_value::integer(e->p);
}

int32_t QZ_Effect_Shift::comb_delay(int32_t step, uint32_t pd) {
    long double ratio = 1.0L - static_cast<long double>(step) * 0.00006103515625L;
    // a step of 16384 stands still: the delay is unbounded
    if (ratio == 0.0L) return MAX_COMB;
    long double d = static_cast<long double>(pd) / ratio;
    if (!(d >= MIN_COMB)) return MIN_COMB; // the output of this very sample is not there yet
    return d >= MAX_COMB ? MAX_COMB : int32_t(d);
}

int32_t QZ_Effect_Shift::kernel(const int32_t* in, int32_t* out, int32_t n, int32_t step,
                                uint32_t pd, int32_t d, int32_t phi, uint32_t* wp, int32_t* history,
                                int32_t* outHistory) {
    uint32_t w = *wp;
    for (int32_t j = 0; j < n; ++j) {
        w = (w - 1) & MASK;
        history[w] = in[j];
        phi = advance(phi, step, pd);
        double g1, g2;
        weights(phi, pd, g1, g2);
        double y = g1 * double(read(history, w, phi)) +
                   g2 * double(read(history, w, int32_t(uint32_t(phi) + pd)));
        double c, k;
        if (g1 < g2) {
            c = g1 / g2;
            k = 1.0 / g2;
        } else {
            c = g2 / g1;
            k = 1.0 / g1;
        }
        y = k * y - c * double(read(outHistory, w, d));
        int32_t v = qz::trunc32(y);
        outHistory[w] = v;
        out[j] = v;
    }
    *wp = w;
    return phi;
}

void QZ_Effect_Shift::process() {
    Pass pass;
    int32_t phase0 = 0;
    if (!begin(pass, phase0)) return;
    int32_t d = comb_delay(pass.step, pass.pd);
    end(phase0, kernel(pass.in, pass.out, pass.n, pass.step, pass.pd, d, pass.phase, &w, history,
                       outHistory));
}

constinit const QZ_Entry QZ_Effect_Shift::cls[] = {
    qz::creates<QZ_Effect_Shift>(),         qz::option<&QZ_Effect_Shift::m_i>("i"),
    qz::option<&QZ_Effect_Shift::m_o>("o"), qz::option<&QZ_Effect_Shift::m_s>("s"),
    qz::option<&QZ_Effect_Shift::m_p>("p"), qz::parent(QZ_Effect::cls),
};
