#include "QZ_Effect_Zero.h"

#include "QZ_Options.h"

#include <cstring>

void QZ_Effect_Zero::process() {
    if (!o) return;
    int32_t* out = samples(o);
    int32_t n = span(o);
    if (out && n > 0) std::memset(out, 0, size_t(n) * sizeof(int32_t));
}

QZ_value QZ_Effect_Zero::m_o(QZ_Effect_Zero* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

constinit const QZ_Entry QZ_Effect_Zero::cls[] = {
    qz::creates<QZ_Effect_Zero>(),
    qz::option<&QZ_Effect_Zero::m_o>("o"),
    qz::parent(QZ_Effect::cls),
};
