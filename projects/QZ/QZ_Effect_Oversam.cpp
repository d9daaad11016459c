#include "QZ_Effect_Oversam.h"

#include "QZ_Options.h"

namespace {

// Wrapping 32-bit products.
inline int32_t mul(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) * uint32_t(b));
}

} // namespace

void QZ_Effect_Oversam::kernel(const int32_t* in, int32_t count, int32_t* out, int32_t L,
                               State& st) {
    State s = st;
    for (int32_t m = 0, j = 0; j < L; ++m) {
        s.MA = s.MB;
        s.A = s.B;
        s.B = s.C;
        // past the input's end the block hears silence rather than stale or foreign memory
        s.C = (m < count ? in[m] : 0) / FACTOR;
        s.MB = (qz::sub(s.C, s.A) / 2) / FACTOR; // central difference at B
        const int32_t end = L - j < FACTOR ? L - j : FACTOR;
        for (int32_t r = 0; r < end; ++r, ++j) {
            int32_t U = qz::add(s.A, mul(r, s.MA));          // tangent leaving A
            int32_t V = qz::sub(s.B, mul(FACTOR - r, s.MB)); // tangent arriving at B
            out[j] = qz::add(mul(FACTOR - r, U), mul(r, V));
        }
    }
    st = s;
}

void QZ_Effect_Oversam::process() {
    if (!i || !o) return;
    // the output's own length, not the block length: it is meant to be eight times as long
    int32_t L = o->requested;
    if (L > o->allocated) L = o->allocated;
    int32_t count = i->usable();
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    if (L > 0 && out) kernel(in, count, out, L, state);
}

QZ_value QZ_Effect_Oversam::m_i(QZ_Effect_Oversam* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Oversam::m_o(QZ_Effect_Oversam* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Oversam::m_k(QZ_Effect_Oversam* e, QZ_value v) {
    if (v.present()) e->k = qz::as_whole(v);
    return QZ_value::integer(e->k);
}

constinit const QZ_Entry QZ_Effect_Oversam::cls[] = {
    qz::creates<QZ_Effect_Oversam>(),
    qz::option<&QZ_Effect_Oversam::m_i>("i"),
    qz::option<&QZ_Effect_Oversam::m_o>("o"),
    qz::option<&QZ_Effect_Oversam::m_k>("k"),
    qz::parent(QZ_Effect::cls),
};
