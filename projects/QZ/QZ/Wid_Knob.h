#pragma once
// A rotary control drawn from a QZVF strip. Its frame is its state; the value
// is derived from it over the range mn … mx (which may run downward).
// Dragging right or up advances one frame per pixel.
#include "Wid_Control.h"

class QZ_Wid_Knob : public QZ_Wid_Control {
public:
    int32_t anchorX = 0, anchorY = 0, anchorFrame = 0;
    float mn = 0.0f;
    float mx = 100.0f;
    int32_t pressX = 0, pressY = 0; // where the current press began
    bool moved = false;             // the pointer left it since

    void redraw() override;
    void press(int32_t x, int32_t y) override;
    void drag(int32_t x, int32_t y) override;
    bool range(float& lo, float& hi) const override;

    // mn + frame / (F − 1) × (mx − mn).
    float value() const;
    // Quantised to a frame; ignored without a strip name.
    void setValue(float v);
    // The frame a value maps to: truncated, except that a value within
    // FRAME_TOLERANCE of a frame is that frame (a frame's value comes back
    // to it).
    int32_t frameOf(float v) const;
    static constexpr long double FRAME_TOLERANCE = 1e-3L;

    static QZ_value m_val(QZ_Wid_Knob* o, QZ_value v);
    static QZ_value m_mn(QZ_Wid_Knob* o, QZ_value v);
    static QZ_value m_mx(QZ_Wid_Knob* o, QZ_value v);

    static const QZ_Entry cls[];
};
