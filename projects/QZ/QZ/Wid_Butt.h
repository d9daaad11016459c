#pragma once
// A two-state button drawn from a two-frame QZVF strip: frame 0 while the
// state is false, frame 1 while it is true. Toggles on the press.
#include "Wid_Control.h"

class QZ_Wid_Butt : public QZ_Wid_Control {
public:
    bool state = false;

    void redraw() override;
    void press(int32_t x, int32_t y) override;

    // Stores the state; if it changed, redraws and calls the notify function.
    void setState(bool s);

    static QZ_value m_val(QZ_Wid_Butt* o, QZ_value v);

    static const QZ_Entry cls[];
};
