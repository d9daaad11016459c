#include "QZ_Effect_Hipass.h"

#include "QZ_Onepole.h"
#include "QZ_Options.h"

void QZ_Effect_Onepole::clockChanged() {
    k = qz::onepole_k(f, clock, k);
}

QZ_value QZ_Effect_Onepole::m_i(QZ_Effect_Onepole* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Onepole::m_o(QZ_Effect_Onepole* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Onepole::m_f(QZ_Effect_Onepole* e, QZ_value v) {
    if (v.present()) {
        e->f = qz::as_whole(v);
        e->clockChanged();
    }
    return QZ_value::integer(e->f);
}

int32_t QZ_Effect_Hipass::kernel(const int32_t* in, int32_t* out, int32_t n, uint32_t k,
                                 int32_t y) {
    for (int32_t j = 0; j < n; ++j) {
        int32_t x = in[j];
        y = qz::onepole_step(x, y, k);
        out[j] = qz::sub(x, y);
    }
    return y;
}

void QZ_Effect_Hipass::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    if (n > 0) y = kernel(in, out, n, k, y);
}

constinit const QZ_Entry QZ_Effect_Hipass::cls[] = {
    qz::creates<QZ_Effect_Hipass>(),
    qz::option<&QZ_Effect_Hipass::m_i>("i"),
    qz::option<&QZ_Effect_Hipass::m_o>("o"),
    qz::option<&QZ_Effect_Hipass::m_f>("f"),
    qz::parent(QZ_Effect::cls),
};
