#include "QZ_Effect_Gtzero.h"

#include "QZ_Options.h"

void QZ_Effect_Halfwave::run(Kernel kernel) {
    if (!i || !o) return;
    int32_t n = span(i, o);
    const int32_t* in = samples(i);
    int32_t* out = samples(o);
    if (n > 0) kernel(in, out, n, l);
}

QZ_value QZ_Effect_Halfwave::m_i(QZ_Effect_Halfwave* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Halfwave::m_o(QZ_Effect_Halfwave* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Halfwave::m_l(QZ_Effect_Halfwave* e, QZ_value v) {
    if (v.present()) e->l = qz::as_whole(v);
    return QZ_value::integer(e->l);
}

void QZ_Effect_Gtzero::kernel(const int32_t* in, int32_t* out, int32_t n, int32_t l) {
    for (int32_t j = 0; j < n; ++j)
        out[j] = in[j] > l ? in[j] : l;
}

void QZ_Effect_Gtzero::process() {
    run(kernel);
}

constinit const QZ_Entry QZ_Effect_Gtzero::cls[] = {
    qz::creates<QZ_Effect_Gtzero>(),
    qz::option<&QZ_Effect_Gtzero::m_i>("i"),
    qz::option<&QZ_Effect_Gtzero::m_o>("o"),
    qz::option<&QZ_Effect_Gtzero::m_l>("l"),
    qz::parent(QZ_Effect::cls),
};
