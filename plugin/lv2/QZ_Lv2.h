#pragma once
// What the bundle's plug-in and editor share: the ports, numbered as the
// description numbers them, and how a control port's value becomes the
// normalised value a VST 2.x host would send for it, so that the same
// settings give the same bits in both formats.
#include "QZ_Application.h"

#include <cstdint>
#include <cstring>

namespace qz::lv2 {

enum Port : uint32_t {
    IN,
    OUT_1,
    OUT_2,
    STATE, // the four parameters, in the plug-in's order
    SUSTAIN,
    FREQ,
    LEVEL,
    LATENCY, // the delay in samples at the current rate
    METER_IN,
    METER_OUT,
    PORTS
};

// The port of parameter `index` (0 … 3), and the parameter of a port (-1: none).
constexpr uint32_t control_port(int32_t index) {
    return STATE + uint32_t(index);
}
constexpr int32_t parameter_of(uint32_t port) {
    return port >= STATE && port <= LEVEL ? int32_t(port - STATE) : -1;
}

// A control port's value as a normalised host value: a switch is on above 0
// (an LV2 toggle), a real parameter runs over its knob's range in the knob's
// direction (out of range, and not a number, as the host's value would be).
float normalised(const QZ_Application::Param& p, float v);
// The port value a parameter's value word stands for (what the editor
// sends): 0 or 1 for a switch, the value itself for a real parameter.
float port_value(const QZ_Application::Param& p, uintptr_t word);
inline float port_value(const QZ_Application::Param& p) {
    return port_value(p, p.load());
}
// The value word the parameter takes for port value v, as setNormalised
// would store it, without storing it.
uintptr_t mapped_word(const QZ_Application::Param& p, float v);

// A port value's bits, to tell a change from none (-0 from 0, and a NaN
// that stays the same).
inline uint32_t bits(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

} // namespace qz::lv2
