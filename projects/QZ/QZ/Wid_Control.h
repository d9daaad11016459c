#pragma once
// What the knob and the button share: a frame strip drawn a frame at a time
// and hit where that frame is opaque, a value they are bound to ("var") with
// the data its notification gets ("dat"), a notify function ("com"), and
// the hover that the window gives controls alone. Not a class of the class
// table: the knob's and the button's rows name these options.
#include "Vid.h"
#include "Wid.h"

class QZ_Wid_Control : public QZ_Wid {
public:
    QZ_Vid strip; // no frames until "res"
    int32_t frame = 0;
    Notify com = nullptr;
    void* dat = nullptr;
    qz::ResName res;
    QZ_value* var = nullptr; // bound value

    // The current frame of the strip; none outside it.
    void draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) override;
    // Where the current frame's pixel has alpha 128 or more.
    bool hit(int32_t x, int32_t y) override;
    bool takes_hover() const override { return true; }

    // The notify function with "dat", if one is set.
    void notify() const {
        if (com) com(dat);
    }
    // A real parameter's range, from the control that shows it: false for
    // a control without one.
    virtual bool range(float& mn, float& mx) const;

    static QZ_value m_res(QZ_Wid_Control* o, QZ_value v);
    static QZ_value m_com(QZ_Wid_Control* o, QZ_value v);
    static QZ_value m_dat(QZ_Wid_Control* o, QZ_value v);
    static QZ_value m_var(QZ_Wid_Control* o, QZ_value v);
};
