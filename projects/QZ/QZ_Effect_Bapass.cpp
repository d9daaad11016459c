#include "QZ_Effect_Bapass.h"

#include "QZ_Options.h"

namespace {
template <int M> struct Bapass {
    static void run(const int32_t* in, int32_t* out, int32_t n, QZ_Effect_Bapass::Coefficients c,
                    QZ_Effect_Bapass::Memory* m) {
        int32_t x1 = m->x1, x2 = m->x2, y1 = m->y1, y2 = m->y2;
        for (int32_t j = 0; j < n; ++j) {
            int32_t x = in[j];
            int32_t y = qz::asr(int64_t(qz::sub(x, x2)) * c.C, 31);
            y = qz::sub(y, y2);
            y = qz::add(y, qz::asr(int64_t(y2) * c.B, 31));
            y = qz::add(y, qz::add(y1, y1));
            int32_t t = qz::asr(int64_t(y1) * c.A, 31);
            y = qz::sub(y, qz::add(t, t));
            out[j] = qz::combine<M>(out[j], y);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
        }
        *m = {x1, x2, y1, y2};
    }
};
} // namespace

const std::array<QZ_Effect_Bapass::Kernel, qz::MODE_COUNT> QZ_Effect_Bapass::kernels =
    qz::kernel_table<QZ_Effect_Bapass::Kernel, Bapass, qz::MODE_COUNT>();

void QZ_Effect_Bapass::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    int32_t m = mode;
    if (n <= 0 || m < 0 || m >= qz::MODE_COUNT) return;
    Memory mem{x1, x2, y1, y2};
    kernels[size_t(m)](in, out, n, {A, B, C}, &mem);
    x1 = mem.x1;
    x2 = mem.x2;
    y1 = mem.y1;
    y2 = mem.y2;
}

void QZ_Effect_Bapass::clockChanged() {
    double fc = f, qc = q;
    if (qc == 0.0 || qc == 1.0 || fc == 0.0 || clock == 0) return;
    const double pi = 3.141592653589793;
    double fs = clock;
    double w1 = (fc * qc) * 2 * pi;
    double w2 = (fc / qc) * 2 * pi;
    double e = (w2 - w1) / (w2 * w1);
    double g = 1 / (w2 * w1);
    double h = fs * e * 0.5;
    double m = fs * g * fs;
    A = qz::trunc32((2 * h + 1) / (h + m) * 32768 * 65536 * 0.5);
    B = qz::trunc32(2 * h / (h + m) * 32768 * 65536);
    C = qz::trunc32(h / (h + m) * 32768 * 65536);
}

QZ_value QZ_Effect_Bapass::m_i(QZ_Effect_Bapass* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Bapass::m_o(QZ_Effect_Bapass* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Bapass::m_f(QZ_Effect_Bapass* e, QZ_value v) {
    if (v.present()) {
        e->f = qz::as_real(v);
        e->clockChanged();
    }
    return QZ_value::real(e->f);
}

QZ_value QZ_Effect_Bapass::m_q(QZ_Effect_Bapass* e, QZ_value v) {
    if (v.present()) {
        e->q = qz::as_real(v);
        e->clockChanged();
    }
    return QZ_value::real(e->q);
}

constinit const QZ_Entry QZ_Effect_Bapass::cls[] = {
    qz::creates<QZ_Effect_Bapass>(),         qz::option<&QZ_Effect_Bapass::m_i>("i"),
    qz::option<&QZ_Effect_Bapass::m_o>("o"), qz::option<&QZ_Effect_Bapass::m_f>("f"),
    qz::option<&QZ_Effect_Bapass::m_q>("q"), qz::parent(QZ_Effect::cls),
};
