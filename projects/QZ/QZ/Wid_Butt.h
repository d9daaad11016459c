#pragma once
// A two-state button drawn from a two-frame QZVF strip: frame 0 while the
// state is false, frame 1 while it is true. Toggles on the press.
#include "Vid.h"
#include "Wid.h"

class QZ_Wid_Butt : public QZ_Wid {
public:
    QZ_Vid strip; // no frames until "res"
    bool state = false;
    int32_t frame = 0;
    Notify com = nullptr;
    void* dat = nullptr;
    qz::ResName res;
    QZ_value* var = nullptr; // bound value

    void draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) override;
    void redraw() override;
    void press(int32_t x, int32_t y) override;
    bool hit(int32_t x, int32_t y) override;

    // Stores the state; if it changed, redraws and calls the notify function.
    void setState(bool s);

    static QZ_value m_res(QZ_Wid_Butt* o, QZ_value v);
    static QZ_value m_com(QZ_Wid_Butt* o, QZ_value v);
    static QZ_value m_var(QZ_Wid_Butt* o, QZ_value v);
    static QZ_value m_val(QZ_Wid_Butt* o, QZ_value v);
    static QZ_value m_dat(QZ_Wid_Butt* o, QZ_value v);

    static const QZ_Entry cls[];
};
