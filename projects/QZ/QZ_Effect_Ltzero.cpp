#include "QZ_Effect_Ltzero.h"

void QZ_Effect_Ltzero::kernel(const int32_t* in, int32_t* out, int32_t n, int32_t l) {
    for (int32_t j = 0; j < n; ++j)
        out[j] = in[j] < l ? in[j] : l;
}

void QZ_Effect_Ltzero::process() {
    run(kernel);
}

constinit const QZ_Entry QZ_Effect_Ltzero::cls[] = {
    qz::creates<QZ_Effect_Ltzero>(),
    qz::option<&QZ_Effect_Ltzero::m_i>("i"),
    qz::option<&QZ_Effect_Ltzero::m_o>("o"),
    qz::option<&QZ_Effect_Ltzero::m_l>("l"),
    qz::parent(QZ_Effect::cls),
};
