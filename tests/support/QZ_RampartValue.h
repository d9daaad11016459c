#pragma once
// What rampart sends the VST 2.x plug-in for a value in a parameter's unit
// (State, Sustain dB, Freq Hz, Level dB): its place between the values at 0
// and at 1; a switch is on above 0, as an LV2 toggle.
namespace qz::test {

inline float rampart_value(int index, float v) {
    constexpr double at0[] = {0, 0, 50, -45}, at1[] = {1, -45, 400, -3};
    if (index == 0) return v > 0.0f ? 1.0f : 0.0f;
    return float((double(v) - at0[index]) / (at1[index] - at0[index]));
}

} // namespace qz::test
