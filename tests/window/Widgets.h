#pragma once
// The widgets the window tests put on a window, made and attached by command
// as the editor does: a background picture over the whole window, a button
// and a knob.
#include "QZ_Interpret.h"
#include "QZ_TestSupport.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Pic.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <array>

namespace qz::test {

struct Widgets {
    // Window coordinates of points the artwork makes opaque.
    static constexpr int BUTTON_X = 30, BUTTON_Y = 22; // the button's middle
    static constexpr int KNOB_X = 66, KNOB_Y = 66;     // the knob's middle
    static constexpr int KNOB_START = 22;              // the frame of -10 on 0 … -45

    QZ_Wid_Pic* bgnd = nullptr;
    QZ_Wid_Butt* button = nullptr;
    QZ_Wid_Knob* knob = nullptr;

    explicit Widgets(QZ_Win* win) {
        EXPECT_EQ(QZ_command(cmd("QZ_Wid_Pic -w 200 -h 156 -l 0 -t 0 -res bgnd"), &bgnd), QZ_OK);
        EXPECT_EQ(QZ_command(cmd("QZ_Wid_Butt -w 40 -h 24 -l 10 -t 10 -res but"), &button), QZ_OK);
        EXPECT_EQ(
            QZ_command(cmd("QZ_Wid_Knob -res tune -l 50 -t 50 -w 32 -h 32 -mn 0 -mx -45 -val -10"),
                       &knob),
            QZ_OK);
        for (QZ_Wid* w : all()) {
            if (w) {
                EXPECT_EQ(QZ_command(cmd("QZ_Wid %o -win %o"), w, win), QZ_OK);
            }
        }
    }
    ~Widgets() {
        for (QZ_Wid* w : all())
            if (w) {
                QZ_command(cmd("QZ_Wid %o -win 0"), w);
                QZ_command(cmd("%o -delete"), w);
            }
    }
    Widgets(const Widgets&) = delete;
    Widgets& operator=(const Widgets&) = delete;

    bool complete() const { return bgnd && button && knob; }
    std::array<QZ_Wid*, 3> all() const { return {bgnd, button, knob}; }

    float button_val() const {
        float v = -1;
        EXPECT_EQ(QZ_command(cmd("QZ_Wid_Butt %o -val"), button, &v), QZ_OK);
        return v;
    }
    float knob_val() const {
        float v = -1;
        EXPECT_EQ(QZ_command(cmd("QZ_Wid_Knob %o -val"), knob, &v), QZ_OK);
        return v;
    }
};

} // namespace qz::test
