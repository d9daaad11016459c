#include "QZ_Effect_Ampdet.h"

#include "QZ_Options.h"

namespace {

inline int32_t rectify(int32_t x) {
    return x < 0 ? qz::neg(x) : x;
}

// The envelope kernel; with Rect false nothing is written to the rectified output.
template <bool Rect> struct Envelope {
    template <int M> struct With {
        static int32_t run(const int32_t* in, int32_t* out, int32_t* rect, int32_t n,
                           int32_t attack, int32_t release, int32_t e) {
            const int64_t ca = attack, cr = release;
            for (int32_t j = 0; j < n; ++j) {
                int32_t r = rectify(in[j]);
                if constexpr (Rect) rect[j] = r;
                e = qz::ampdet::follow(r, e, ca, cr);
                out[j] = qz::combine<M>(out[j], e);
            }
            return e;
        }
    };
};

int32_t rectify_run(const int32_t* in, int32_t*, int32_t* rect, int32_t n, int32_t, int32_t,
                    int32_t e) {
    for (int32_t j = 0; j < n; ++j)
        rect[j] = rectify(in[j]);
    return e;
}

template <int M> using EnvelopeAndRect = Envelope<true>::With<M>;
template <int M> using EnvelopeOnly = Envelope<false>::With<M>;

// Kernels by mode, with and without the rectified output.
constexpr auto with_rect =
    qz::kernel_table<QZ_Effect_Ampdet::Kernel, EnvelopeAndRect, qz::MODE_COUNT>();
constexpr auto without_rect =
    qz::kernel_table<QZ_Effect_Ampdet::Kernel, EnvelopeOnly, qz::MODE_COUNT>();

} // namespace

int32_t QZ_Effect_Ampdet::coefficient(float f, int32_t fs, int32_t c) {
    if (fs == 0) return c;
    if (f == 0.0f) return 0x7FFFFFFF;
    double fd = f;
    return qz::trunc32(fd * 6746518852.261009 / (fd * 3.141592653589793 + double(fs) * 0.5));
}

void QZ_Effect_Ampdet::process() {
    if (!i) return;
    int32_t* out = o ? samples(o) : nullptr;
    int32_t* rect = a ? samples(a) : nullptr;
    const int32_t* in = samples(i);
    int32_t n = i->usable();
    if (o) n = span(i, o);
    if (a && a->usable() < n) n = a->usable();
    int32_t m = mode;
    if (n <= 0 || m < 0 || m >= qz::MODE_COUNT) return;
    if (out)
        envelope = (rect ? with_rect : without_rect)[size_t(m)](in, out, rect, n, attack, release,
                                                                envelope);
    else if (rect)
        rectify_run(in, nullptr, rect, n, 0, 0, envelope);
}

void QZ_Effect_Ampdet::clockChanged() {
    attack = coefficient(f1, clock, attack);
    release = coefficient(f2, clock, release);
}

QZ_value QZ_Effect_Ampdet::m_i(QZ_Effect_Ampdet* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Ampdet::m_o(QZ_Effect_Ampdet* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Ampdet::m_a(QZ_Effect_Ampdet* e, QZ_value v) {
    return qz::handle_option(e->a, v);
}

QZ_value QZ_Effect_Ampdet::m_f1(QZ_Effect_Ampdet* e, QZ_value v) {
    if (v.present()) {
        e->f1 = qz::as_real(v);
        e->attack = coefficient(e->f1, e->clock, e->attack);
    }
    return QZ_value::real(e->f1);
}

QZ_value QZ_Effect_Ampdet::m_f2(QZ_Effect_Ampdet* e, QZ_value v) {
    if (v.present()) {
        e->f2 = qz::as_real(v);
        e->release = coefficient(e->f2, e->clock, e->release);
    }
    return QZ_value::real(e->f2);
}

constinit const QZ_Entry QZ_Effect_Ampdet::cls[] = {
    qz::creates<QZ_Effect_Ampdet>(),
    qz::option<&QZ_Effect_Ampdet::m_i>("i"),
    qz::option<&QZ_Effect_Ampdet::m_o>("o"),
    qz::option<&QZ_Effect_Ampdet::m_a>("a"),
    qz::option<&QZ_Effect_Ampdet::m_f1>("f1"),
    qz::option<&QZ_Effect_Ampdet::m_f2>("f2"),
    qz::parent(QZ_Effect::cls),
};
