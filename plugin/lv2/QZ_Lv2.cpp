#include "QZ_Lv2.h"

#include <cmath>

namespace qz::lv2 {

float normalised(const QZ_Application::Param& p, float v) {
    if (p.type == QZ_Application::Param::SWITCH) return std::isnan(v) ? v : v > 0.0f ? 1.0f : 0.0f;
    float mn, mx;
    p.range(mn, mx);
    // As a host computes it from the value shown, in double.
    return float((double(v) - mn) / (double(mx) - mn));
}

float port_value(const QZ_Application::Param& p, uintptr_t word) {
    if (p.type == QZ_Application::Param::SWITCH)
        return QZ_value(word, QZ_value::INT).asInt() ? 1.0f : 0.0f;
    return QZ_value(word, QZ_value::FLOAT).asFloat();
}

uintptr_t mapped_word(const QZ_Application::Param& p, float v) {
    // A parameter of its own, with p's kind and range: p itself may be
    // changing on another thread meanwhile.
    QZ_Application::Param q;
    q.type = p.type;
    q.widget = p.widget;
    q.unboundMin = p.unboundMin;
    q.unboundMax = p.unboundMax;
    q.minimum = p.minimum;
    q.maximum = p.maximum;
    q.store(p.load());
    float x = normalised(p, v);
    if (!std::isfinite(x)) return q.load();
    q.setNormalised(x < 0.0f ? 0.0f : x > 1.0f ? 1.0f : x);
    return q.load();
}

} // namespace qz::lv2
