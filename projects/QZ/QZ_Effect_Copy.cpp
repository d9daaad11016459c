#include "QZ_Effect_Copy.h"

#include "QZ_Options.h"

#include <cstddef>

namespace {
template <int M> struct Copy {
    static void run(const int32_t* in, int32_t* out, int32_t count, int32_t is, int32_t os) {
        if (is == 1 && os == 1) {
            // the common case gets a loop the compiler can vectorise
            for (int32_t m = 0; m < count; ++m)
                out[m] = qz::combine<M>(out[m], in[m]);
            return;
        }
        // Sequential on purpose: on one buffer with different strides a later
        // sample may read what an earlier one wrote.
        for (int32_t m = 0; m < count; ++m) {
            int32_t& o = out[ptrdiff_t(m) * os];
            o = qz::combine<M>(o, in[ptrdiff_t(m) * is]);
        }
    }
};
} // namespace

const std::array<QZ_Effect_Copy::Kernel, qz::MODE_COUNT> QZ_Effect_Copy::kernels =
    qz::kernel_table<QZ_Effect_Copy::Kernel, Copy, qz::MODE_COUNT>();

void QZ_Effect_Copy::process() {
    if (!i || !o) return;
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    int32_t m = mode, si = is, so = os;
    if (m < 0 || m >= qz::MODE_COUNT || si <= 0 || so <= 0) return;
    // a buffer "set" onto itself stays as it is, whatever the strides
    if (in == out && m == qz::MODE_SET) return;
    int32_t count = i->usable() / si;
    // never past the output: the last sample written is (count - 1) * os
    int32_t room = o->usable();
    int32_t fit = room > 0 ? (room - 1) / so + 1 : 0;
    if (count > fit) count = fit;
    if (count > 0) kernels[size_t(m)](in, out, count, si, so);
}

QZ_value QZ_Effect_Copy::m_i(QZ_Effect_Copy* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Copy::m_o(QZ_Effect_Copy* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Copy::m_is(QZ_Effect_Copy* e, QZ_value v) {
    if (v.present() && !qz::whole_value(v, e->is)) return qz::refused("a stride in samples");
    return QZ_value::integer(e->is);
}

QZ_value QZ_Effect_Copy::m_os(QZ_Effect_Copy* e, QZ_value v) {
    if (v.present() && !qz::whole_value(v, e->os)) return qz::refused("a stride in samples");
    return QZ_value::integer(e->os);
}

constinit const QZ_Entry QZ_Effect_Copy::cls[] = {
    qz::creates<QZ_Effect_Copy>(),           qz::option<&QZ_Effect_Copy::m_i>("i"),
    qz::option<&QZ_Effect_Copy::m_o>("o"),   qz::option<&QZ_Effect_Copy::m_is>("is"),
    qz::option<&QZ_Effect_Copy::m_os>("os"), qz::parent(QZ_Effect::cls),
};
