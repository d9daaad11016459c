#include "QZ_Effect_Oversam.h"

#include "QZ_Options.h"

void QZ_Effect_Oversam::kernel(const int32_t* in, int32_t count, int32_t* out, int32_t L,
                               State& st) {
    // (8 - r) (A + r MA) + r (B - (8 - r) MB) is (8 - r) A + r B + r (8 - r) (MA - MB)
    // in wrapping arithmetic: one product less per sample, by constants.
    static constexpr int32_t bend[FACTOR] = {0, 7, 12, 15, 16, 15, 12, 7}; // r (8 - r)
    State s = st;
    for (int32_t m = 0, j = 0; j < L; ++m, j += FACTOR) {
        s.MA = s.MB;
        s.A = s.B;
        s.B = s.C;
        // past the input's end the block hears silence rather than stale or foreign memory
        s.C = (m < count ? in[m] : 0) / FACTOR;
        s.MB = (qz::sub(s.C, s.A) / 2) / FACTOR; // central difference at B
        const uint32_t A = uint32_t(s.A), B = uint32_t(s.B);
        const uint32_t D = uint32_t(s.MA) - uint32_t(s.MB);
        int32_t* o = out + j;
        if (L - j >= FACTOR) {
            for (int32_t r = 0; r < FACTOR; ++r)
                o[r] = int32_t(uint32_t(FACTOR - r) * A + uint32_t(r) * B + uint32_t(bend[r]) * D);
        } else {
            for (int32_t r = 0; r < L - j; ++r)
                o[r] = int32_t(uint32_t(FACTOR - r) * A + uint32_t(r) * B + uint32_t(bend[r]) * D);
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
    if (v.present() && !qz::whole_value(v, e->k)) return qz::refused("a whole factor");
    return QZ_value::integer(e->k);
}

constinit const QZ_Entry QZ_Effect_Oversam::cls[] = {
    qz::creates<QZ_Effect_Oversam>(),
    qz::option<&QZ_Effect_Oversam::m_i>("i"),
    qz::option<&QZ_Effect_Oversam::m_o>("o"),
    qz::option<&QZ_Effect_Oversam::m_k>("k"),
    qz::parent(QZ_Effect::cls),
};
