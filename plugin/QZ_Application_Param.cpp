#include "QZ_Application.h"

#include "QZ_Math.h"
#include "QZ_Text.h"
#include "Wid_Control.h"

#include <cstdio>
#include <cstring>

using Param = QZ_Application::Param;

namespace {

// The host's text buffers hold 8 bytes: 7 characters and a zero.
constexpr size_t kHostText = 7;

const char* on_slot(const char* label) {
    return label;
}
const char* off_slot(const char* label) {
    return label + 10;
}

} // namespace

void Param::nameText(char* text) {
    std::sprintf(text, "%s", name ? name : "");
}

void Param::labelText(char* text) {
    std::sprintf(text, "%s", label ? label : "");
}

void Param::valueText(char* text) {
    switch (type) {
    case INTEGER:
        qz::decimal(text, 16, whole());
        break;
    case REAL:
        qz::fixed(text, 64, double(real()));
        break;
    case SWITCH:
        std::strcpy(text, whole() ? "On" : "Off");
        break;
    default:
        text[0] = '\0';
    }
}

void Param::range(float& mn, float& mx) const {
    // The bound knob's range, in its own direction.
    if (widget && widget->range(mn, mx)) return;
    mn = unboundMin;
    mx = unboundMax;
}

void Param::setNormalised(float x) {
    switch (type) {
    case REAL: {
        float mn, mx;
        range(mn, mx);
        setReal(float((static_cast<long double>(mx) - mn) * x + mn));
        break;
    }
    case SWITCH:
        store(x > 0.5f ? 1 : 0);
        break;
    case INTEGER:
        store(uint32_t(qz::trunc32(
            (static_cast<long double>(maximum) - minimum + 0.999999999L) * x + minimum)));
        break;
    default:
        break; // left as it is
    }
}

float Param::normalised() const {
    switch (type) {
    case REAL: {
        float mn, mx;
        range(mn, mx);
        if (mx == mn) return 0.0f;
        return (real() - mn) / (mx - mn);
    }
    case SWITCH:
        return whole() ? 1.0f : 0.0f;
    case INTEGER:
        return float((double(whole()) - minimum + 0.5) / (double(maximum) - minimum + 1.0));
    default:
        return 0.0f;
    }
}

void Param::hostName(char* text) const {
    std::memset(text, 0, kHostText + 1);
    qz::copy_cut(text, name, kHostText);
}

void Param::hostLabel(char* text) const {
    std::memset(text, 0, kHostText + 1);
    char full[32] = "";
    if (type == INTEGER || type == REAL) {
        if (label) qz::copy_cut(full, label, sizeof full - 1);
    } else if (type == SWITCH && label) {
        std::snprintf(full, sizeof full, "%s/%s", on_slot(label), off_slot(label));
    }
    qz::copy_cut(text, full, kHostText);
}

void Param::hostDisplay(char* text) const {
    std::memset(text, 0, kHostText + 1);
    char full[400] = "";
    const char* blank = label ? " " : "";
    const char* unit = label ? label : "";
    if (type == REAL) {
        size_t n = qz::fixed(full, 360, double(real()));
        std::snprintf(full + n, sizeof full - n, "%s%s", blank, unit);
    } else if (type == INTEGER) {
        size_t n = qz::decimal(full, 32, whole());
        std::snprintf(full + n, sizeof full - n, "%s%s", blank, unit);
    } else if (type == SWITCH && label) {
        qz::copy_cut(full, whole() ? on_slot(label) : off_slot(label), 9);
    }
    qz::copy_cut(text, full, kHostText);
}
