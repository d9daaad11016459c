// The framework window on a real screen, driven by the real mouse. SendInput
// moves the pointer and presses the button, so the messages come from the
// system as a user's mouse makes them: it picks the window under the pointer,
// honours our capture and tracks the leave against where the pointer really
// is. What the screen then shows must be what an off-screen window with the
// same widgets in the same states composes.
#include "QZ_Platform_Win32.h"
#include "Screen.h"
#include "Widgets.h"
#include "Win_Win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace qz::test;

constexpr int HOST_X = 40, HOST_Y = 30, W = 200, H = 156;
constexpr int AWAY_X = 600, AWAY_Y = 440;   // a screen point off the window
constexpr int EMPTY_X = 150, EMPTY_Y = 120; // only the background there

// What the screen shows: the colour bytes. The alpha byte of a window's
// pixels is not part of the picture.
constexpr uint32_t SHOWN = 0x00FFFFFF;

// VR_WINDOW_SHOT + suffix, or nothing when the caller wants no pictures.
std::string picture_path(const char* suffix) {
    const char* base = std::getenv("VR_WINDOW_SHOT");
    return base && *base ? std::string(base) + suffix : std::string();
}

TEST(WindowUnderXvfb, RealMouseDrivesTheWidgetsAndTheScreenShowsTheirComposition) {
    ReportCapture reports;
    const int gdiBefore = qz::win32::gdi_objects();
    HostWindow host(HOST_X, HOST_Y, W, H);
    ASSERT_NE(host.hwnd(), nullptr);
    auto win = std::make_unique<QZ_Win_Win32>(W, H);
    ASSERT_EQ(win->hwnd(host.hwnd()), host.hwnd());
    const HWND child = win->child;
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3) << "two pictures and the memory DC";
    ASSERT_TRUE(move_pointer(AWAY_X, AWAY_Y));

    {
        Widgets on(win.get());
        ASSERT_TRUE(on.complete());
        win->invalidate({0, 0, W, H});
        // The points pressed are opaque in the artwork, so they reach the widgets.
        ASSERT_TRUE(on.button->hit(Widgets::BUTTON_X - 10, Widgets::BUTTON_Y - 10));
        ASSERT_TRUE(on.knob->hit(Widgets::KNOB_X - 50, Widgets::KNOB_Y - 50));
        ASSERT_EQ(on.knob->frame, Widgets::KNOB_START);

        // The same widgets off screen, given the same pointer positions and buttons.
        QZ_Win_Surface expected(W, H);
        Widgets same(&expected);
        ASSERT_TRUE(same.complete());
        expected.invalidate({0, 0, W, H});

        auto point_at = [&](int x, int y) {
            POINT p{x, y};
            ClientToScreen(child, &p);
            return move_pointer(p.x, p.y);
        };

        // The button: hovered, toggled by the press, released.
        ASSERT_TRUE(point_at(Widgets::BUTTON_X, Widgets::BUTTON_Y));
        ASSERT_TRUE(pump_until([&] { return win->hovered == on.button; }));
        press_left();
        ASSERT_TRUE(pump_until([&] { return on.button->state; })) << "the press toggles it";
        EXPECT_EQ(GetCapture(), child);
        release_left();
        ASSERT_TRUE(pump_until([&] { return GetCapture() != child; }));
        EXPECT_EQ(win->captured, nullptr);
        EXPECT_EQ(on.button_val(), 1.0f);
        expected.mouse_move(Widgets::BUTTON_X, Widgets::BUTTON_Y);
        expected.button_down(Widgets::BUTTON_X, Widgets::BUTTON_Y);
        expected.button_up();

        // The knob: pressed in the middle, dragged right and up (a frame per
        // pixel each way) in two moves, released.
        ASSERT_TRUE(point_at(Widgets::KNOB_X, Widgets::KNOB_Y));
        ASSERT_TRUE(pump_until([&] { return win->hovered == on.knob; }));
        press_left();
        ASSERT_TRUE(pump_until([&] { return win->captured == on.knob; }));
        ASSERT_TRUE(point_at(Widgets::KNOB_X + 4, Widgets::KNOB_Y - 3));
        EXPECT_TRUE(pump_until([&] { return on.knob->frame == Widgets::KNOB_START + 7; }))
            << on.knob->frame;
        ASSERT_TRUE(point_at(Widgets::KNOB_X + 7, Widgets::KNOB_Y - 5));
        EXPECT_TRUE(pump_until([&] { return on.knob->frame == Widgets::KNOB_START + 12; }))
            << on.knob->frame;
        release_left();
        ASSERT_TRUE(pump_until([&] { return GetCapture() != child && !win->captured; }));
        EXPECT_EQ(on.knob->frame, Widgets::KNOB_START + 12);
        EXPECT_FLOAT_EQ(on.knob_val(), -45.0f * 34 / 99);
        expected.mouse_move(Widgets::KNOB_X, Widgets::KNOB_Y);
        expected.button_down(Widgets::KNOB_X, Widgets::KNOB_Y);
        expected.mouse_move(Widgets::KNOB_X + 4, Widgets::KNOB_Y - 3);
        expected.mouse_move(Widgets::KNOB_X + 7, Widgets::KNOB_Y - 5);
        expected.button_up();
        ASSERT_EQ(same.knob->frame, on.knob->frame);

        // Onto the background: nothing is highlighted any more.
        ASSERT_TRUE(point_at(EMPTY_X, EMPTY_Y));
        ASSERT_TRUE(pump_until([&] { return win->hovered == nullptr; }));
        expected.mouse_move(EMPTY_X, EMPTY_Y);
        pump_for(200); // the system's own moves after ours, if any

        // A pixel blended at full opacity still keeps a trace (one step) of
        // what lay beneath, and the back buffer keeps the cell composed
        // before: two windows agree exactly only after the same paints from
        // the same start. The repaints the mouse caused (a drag may have had
        // more moves here) agree to that step; a full paint of each from the
        // same back buffer agrees exactly.
        EXPECT_EQ(differences(read_window(child), pixels_of(expected.surface), SHOWN, 1), "");
        auto same_start = [&] {
            for (QZ_Win* w : {static_cast<QZ_Win*>(win.get()), static_cast<QZ_Win*>(&expected)})
                std::memset(w->back.pixels, 0, sizeof(QZ_Pix_A32) * QZ_Win::CELL * QZ_Win::CELL);
        };
        same_start();
        win->invalidate({0, 0, W, H});
        expected.invalidate({0, 0, W, H});
        const Pixels want = pixels_of(expected.surface);
        RECT onScreen{0, 0, W, H};
        MapWindowPoints(child, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
        EXPECT_EQ(differences(read_window(child), want, SHOWN), "")
            << "read through the window's DC";
        // The X server gets the window's pixels when wine flushes them.
        Pixels screen;
        pump_until([&] {
            screen = read_screen(onScreen);
            return differences(screen, want, SHOWN).empty();
        });
        EXPECT_EQ(differences(screen, want, SHOWN), "") << "read from the screen";
        const std::string shot = picture_path(".bmp");
        if (!shot.empty()) {
            EXPECT_TRUE(write_bmp(shot, screen)) << shot;
            EXPECT_TRUE(write_bmp(picture_path("-expected.bmp"), want));
        }

        // Back over the knob: drawn highlighted (its tint) on the screen as off it.
        ASSERT_TRUE(point_at(Widgets::KNOB_X, Widgets::KNOB_Y));
        ASSERT_TRUE(pump_until([&] { return win->hovered == on.knob; }));
        expected.mouse_move(Widgets::KNOB_X, Widgets::KNOB_Y);
        EXPECT_NE(differences(pixels_of(expected.surface), want, SHOWN, 1), "") << "it shows";
        EXPECT_EQ(differences(read_window(child), pixels_of(expected.surface), SHOWN, 1), "");

        // A WM_PAINT repaints what the system asks for: here all of it.
        HDC dc = GetDC(child);
        PatBlt(dc, 0, 0, W, H, BLACKNESS);
        ReleaseDC(child, dc);
        same_start();
        InvalidateRect(child, nullptr, TRUE);
        UpdateWindow(child);
        expected.invalidate({0, 0, W, H});
        EXPECT_EQ(differences(read_window(child), pixels_of(expected.surface), SHOWN), "");

        // Off the window: the leave comes, and the highlight stays until the
        // pointer is back.
        ASSERT_TRUE(win->leavePending);
        ASSERT_TRUE(move_pointer(AWAY_X, AWAY_Y));
        EXPECT_TRUE(pump_until([&] { return !win->leavePending; }));
        EXPECT_EQ(win->hovered, on.knob);
    }
    EXPECT_TRUE(reports.reports().empty());

    const int attached = qz::win32::gdi_objects();
    EXPECT_EQ(win->hwnd(nullptr), nullptr);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(qz::win32::gdi_objects(), attached - 1) << "the memory DC goes with the child";
    win.reset();
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore);
}

} // namespace
