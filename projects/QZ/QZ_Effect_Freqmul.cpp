#include "QZ_Effect_Freqmul.h"

#include "QZ_Options.h"

namespace {
constexpr uint32_t MASK = QZ_Effect_Freqmul::RING - 1;
}

int32_t QZ_Effect_Freqmul::distance(int32_t fs, float factor, int32_t n, uint32_t k) {
    // single precision throughout, as the factor is stored
    float d = qz::latency_samples(fs, factor) + float(int64_t(n) * k);
    return int32_t(uint64_t(qz::trunc_sat<int64_t>(d)) & MASK);
}

void QZ_Effect_Freqmul::kernel(const int32_t* in, int32_t* out, int32_t n, uint32_t k, int32_t d,
                               int32_t* ring, qz::RingMarks& m, int32_t& prev) {
    uint32_t w = uint32_t(m.w) & MASK, s = uint32_t(m.s) & MASK;
    int32_t last = prev;
    for (int32_t j = 0; j < n; ++j) {
        const int32_t x = in[j];
        w = (w + 1) & MASK;
        if (last < 0 && x >= 0) {
            // a rising zero crossing: the period ring[s..w) follows itself
            const uint32_t e = w, L = (e - s) & MASK;
            for (uint32_t c = qz::period_copies(k, L, RING); c > 0; --c)
                for (uint32_t a = s; a != e; a = (a + 1) & MASK) {
                    ring[w] = ring[a];
                    w = (w + 1) & MASK;
                }
            s = w;
        }
        ring[w] = x;
        last = x;
    }
    m.w = int32_t(w);
    m.s = int32_t(s);
    prev = last;

    uint32_t p = (uint32_t(m.r) - uint32_t(d)) & MASK;
    for (int32_t j = 0; j < n; ++j) {
        out[j] = ring[p];
        p = (p + k) & MASK;
    }
    m.r = int32_t((uint32_t(m.r) + uint32_t(n) * k) & MASK);
}

void QZ_Effect_Freqmul::process() {
    // the ring is the block's only state: no cross-fade, the buffers are used as they stand
    if (!i || !o) return;
    int32_t n = span(i, o);
    if (n <= 0) return;
    uint32_t f = qz::repeat_factor(k);
    kernel(i->data, o->data, n, f, distance(clock, latency, n, f), ring, marks, prev);
}

QZ_value QZ_Effect_Freqmul::m_i(QZ_Effect_Freqmul* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Freqmul::m_o(QZ_Effect_Freqmul* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Freqmul::m_k(QZ_Effect_Freqmul* e, QZ_value v) {
    if (v.present()) {
        int32_t k = 0;
        if (!qz::whole_value(v, k)) return qz::refused("a whole factor");
        e->k = int32_t(qz::repeat_factor(k));
    }
    return QZ_value::integer(e->k);
}

constinit const QZ_Entry QZ_Effect_Freqmul::cls[] = {
    qz::creates<QZ_Effect_Freqmul>(),
    qz::option<&QZ_Effect_Freqmul::m_i>("i"),
    qz::option<&QZ_Effect_Freqmul::m_o>("o"),
    qz::option<&QZ_Effect_Freqmul::m_k>("k"),
    qz::parent(QZ_Effect::cls),
};
