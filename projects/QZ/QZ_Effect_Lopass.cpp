#include "QZ_Effect_Lopass.h"

#include "QZ_Onepole.h"

namespace {
template <int M> struct Lopass {
    static int32_t run(const int32_t* in, int32_t* out, int32_t n, uint32_t k, int32_t y) {
        for (int32_t j = 0; j < n; ++j) {
            y = qz::onepole_step(in[j], y, k);
            out[j] = qz::combine<M>(out[j], y);
        }
        return y;
    }
};
} // namespace

const std::array<QZ_Effect_Lopass::Kernel, qz::MODE_COUNT> QZ_Effect_Lopass::kernels =
    qz::kernel_table<QZ_Effect_Lopass::Kernel, Lopass, qz::MODE_COUNT>();

void QZ_Effect_Lopass::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t* out = samples(o);
    const int32_t* in = samples(i);
    int32_t m = mode;
    if (n > 0 && m >= 0 && m < qz::MODE_COUNT) y = kernels[m](in, out, n, k, y);
}

constinit const QZ_Entry QZ_Effect_Lopass::cls[] = {
    qz::creates<QZ_Effect_Lopass>(),
    qz::option<&QZ_Effect_Lopass::m_i>("i"),
    qz::option<&QZ_Effect_Lopass::m_o>("o"),
    qz::option<&QZ_Effect_Lopass::m_f>("f"),
    qz::parent(QZ_Effect::cls),
};
