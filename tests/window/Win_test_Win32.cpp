// The framework window's platform side under the real user32 and gdi32: its
// class, its child window, attaching and detaching, and the messages its
// window procedure answers. Messages are sent straight to the child window
// here, so that each one is checked alone; the real mouse drives it in
// Win_Driven_test_Win32.cpp.
#include "QZ_Library.h"
#include "QZ_Platform_Win32.h"
#include "QZ_cfuncs.h"
#include "Screen.h"
#include "Widgets.h"
#include "Win_Win32.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using namespace qz::test;

constexpr int W = 200, H = 156;
constexpr COLORREF FILL = RGB(255, 0, 255);

// For every test of the program: a desktop of its own, the plug-in's resources.
class WindowTestEnvironment : public testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(use_own_desktop());
        ASSERT_TRUE(use_plugin_module()) << plugin_library_path();
    }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new WindowTestEnvironment);

class Win32Window : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(a.hwnd(), nullptr);
        ASSERT_NE(b.hwnd(), nullptr);
        // The real pointer stays out of the way of the messages sent here.
        ASSERT_TRUE(move_pointer(620, 460));
        pump_for(50);
    }
    void TearDown() override { EXPECT_TRUE(reports.reports().empty()); }

    static LPARAM at(int x, int y) { return MAKELPARAM(uint16_t(x), uint16_t(y)); }

    ReportCapture reports;
    HostWindow a{0, 0, W, H, FILL}, b{300, 0, W, H, FILL};
    const int gdiBefore = qz::win32::gdi_objects();
};

TEST_F(Win32Window, ClassIsNamedAfterTheModuleInstanceAndRegisteredOnce) {
    QZ_Win_Win32 win(W, H), other(64, 64);
    win.hwnd(a.hwnd());
    other.hwnd(b.hwnd());
    char name[64] = {};
    ASSERT_GT(GetClassNameA(win.child, name, sizeof name), 0);
    EXPECT_STREQ(name, QZ_Win_Win32::class_name());
    ASSERT_EQ(std::strlen(name), 16u) << name;
    EXPECT_EQ(std::strncmp(name, "QZFRAMEx", 8), 0) << name;
    for (int i = 8; i < 16; ++i)
        EXPECT_TRUE(std::isdigit(name[i]) || (name[i] >= 'A' && name[i] <= 'F')) << name;
    EXPECT_EQ(std::strtoul(name + 8, nullptr, 16), unsigned(uintptr_t(hInstance)));
    EXPECT_EQ(GetClassLongPtrA(other.child, GCW_ATOM), GetClassLongPtrA(win.child, GCW_ATOM));

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(static_cast<HINSTANCE>(hInstance), name, &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.lpfnWndProc, &QZ_Win_Win32::window_proc);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_EQ(wc.cbWndExtra, 0);
    EXPECT_EQ(wc.hIcon, nullptr);
    EXPECT_EQ(wc.hIconSm, nullptr);
    EXPECT_EQ(wc.lpszMenuName, nullptr);
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(wc.hbrBackground, GetSysColorBrush(COLOR_BTNFACE));
}

TEST_F(Win32Window, AttachingMakesTheChildWindowAndASecondCallWithTheSameParentChangesNothing) {
    const int32_t windows = qz::windows().count;
    auto win = std::make_unique<QZ_Win_Win32>(W, H);
    EXPECT_EQ(win->windowsItem.chain, &qz::windows());
    EXPECT_EQ(qz::windows().count, windows + 1);
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 2) << "the two pictures";
    ASSERT_EQ(win->hwnd(a.hwnd()), a.hwnd());
    const HWND child = win->child;
    ASSERT_TRUE(IsWindow(child));
    EXPECT_EQ(GetParent(child), a.hwnd());
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(win.get()));
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    const LONG wanted = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    EXPECT_EQ(style & wanted, wanted);
    char title[16] = {};
    GetWindowTextA(child, title, sizeof title);
    EXPECT_STREQ(title, "Window");
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, a.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, W);
    EXPECT_EQ(r.bottom, H);
    // The back buffer's bitmap is selected into a memory DC of ours.
    const HDC memory = win->back.hdc;
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(GetObjectType(memory), DWORD(OBJ_MEMDC));
    EXPECT_EQ(GetCurrentObject(memory, OBJ_BITMAP), win->back.hbitmap);
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3);

    EXPECT_EQ(win->hwnd(a.hwnd()), a.hwnd());
    EXPECT_EQ(win->child, child);
    EXPECT_EQ(win->back.hdc, memory);
    EXPECT_TRUE(IsWindow(child));
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3);

    win.reset();
    EXPECT_EQ(qz::windows().count, windows) << "it leaves the window chain";
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore);
}

TEST_F(Win32Window, AnotherParentReplacesTheChildWindowAndNoneTakesItAway) {
    {
        QZ_Win_Win32 win(W, H);
        win.hwnd(a.hwnd());
        const HWND first = win.child;
        ASSERT_EQ(win.hwnd(b.hwnd()), b.hwnd());
        EXPECT_FALSE(IsWindow(first));
        ASSERT_TRUE(IsWindow(win.child));
        EXPECT_EQ(GetParent(win.child), b.hwnd());
        EXPECT_EQ(GetCurrentObject(win.back.hdc, OBJ_BITMAP), win.back.hbitmap);
        EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3) << "one memory DC, the new one";

        const HWND second = win.child;
        EXPECT_EQ(win.hwnd(nullptr), nullptr);
        EXPECT_FALSE(IsWindow(second));
        EXPECT_EQ(win.child, nullptr);
        EXPECT_EQ(win.back.hdc, nullptr);
        EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 2);

        // Attached again when the destructor comes: it detaches first.
        win.hwnd(a.hwnd());
        EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3);
    }
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore);
    EXPECT_EQ(GetWindow(a.hwnd(), GW_CHILD), nullptr) << "no child window left behind";
}

TEST_F(Win32Window, InvalidateWithoutAChildWindowDrawsNowhere) {
    QZ_Win_Win32 win(W, H);
    Widgets on(&win); // attached to the framework window only
    ASSERT_TRUE(on.complete());
    pump_for(100);
    const RECT origin{0, 0, W, H}; // a lies there, the screen DC's origin
    const Pixels host = read_window(a.hwnd()), screen = read_screen(origin);
    ASSERT_EQ(host.at(W / 2, H / 2) & 0xFFFFFF, 0xFF00FFu) << "the host's own fill";

    win.invalidate({0, 0, W, H});
    EXPECT_EQ(differences(read_window(a.hwnd()), host, 0xFFFFFF), "");
    EXPECT_EQ(differences(read_screen(origin), screen, 0xFFFFFF), "");

    // Attached, the same call shows the widgets; detached again, nothing.
    win.hwnd(a.hwnd());
    win.invalidate({0, 0, W, H});
    EXPECT_NE(differences(read_window(a.hwnd()), host, 0xFFFFFF), "");
    win.hwnd(nullptr);
    pump_for(100); // the host repaints where the child was
    ASSERT_EQ(differences(read_window(a.hwnd()), host, 0xFFFFFF), "");
    win.invalidate({0, 0, W, H});
    EXPECT_EQ(differences(read_window(a.hwnd()), host, 0xFFFFFF), "");
    EXPECT_EQ(differences(read_screen(origin), screen, 0xFFFFFF), "");
}

TEST_F(Win32Window, MouseMessagesCaptureOnEveryPressAndTheLeaveEndsAPressButKeepsTheHover) {
    QZ_Win_Win32 win(W, H);
    win.hwnd(a.hwnd());
    Widgets on(&win);
    ASSERT_TRUE(on.complete());
    const HWND child = win.child;
    const int kx = Widgets::KNOB_X, ky = Widgets::KNOB_Y;

    // A press on no widget still takes the capture; the release gives it back.
    SendMessageA(child, WM_MOUSEMOVE, 0, at(150, 120));
    EXPECT_TRUE(win.leavePending);
    EXPECT_EQ(win.hovered, nullptr);
    SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at(150, 120));
    EXPECT_EQ(GetCapture(), child);
    EXPECT_EQ(win.captured, nullptr);
    SendMessageA(child, WM_LBUTTONUP, 0, at(150, 120));
    EXPECT_EQ(GetCapture(), nullptr);

    // Coordinates are signed: a drag to x = -5 turns the knob down to its first
    // frame (read unsigned, 65531 would turn it up to its last).
    SendMessageA(child, WM_MOUSEMOVE, 0, at(kx, ky));
    ASSERT_EQ(win.hovered, on.knob);
    SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, at(kx, ky));
    ASSERT_EQ(win.captured, on.knob);
    SendMessageA(child, WM_MOUSEMOVE, MK_LBUTTON, at(-5, ky));
    EXPECT_EQ(on.knob->frame, 0);
    SendMessageA(child, WM_MOUSEMOVE, MK_LBUTTON, at(-2, ky));
    EXPECT_EQ(on.knob->frame, 3) << "re-anchored at the end, so back at once";

    // The leave ends the press like a release and leaves the highlight.
    SendMessageA(child, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(win.leavePending);
    EXPECT_EQ(win.captured, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(win.hovered, on.knob);
    SendMessageA(child, WM_MOUSEMOVE, 0, at(kx + 10, ky));
    EXPECT_EQ(on.knob->frame, 3) << "no drag after the leave";
    EXPECT_TRUE(win.leavePending) << "the next move asks for the next leave";
    EXPECT_EQ(win.hovered, on.knob);
}

TEST_F(Win32Window, CloseAsksTheLoopToEndAndMessagesBeforeTheLinkGoToTheDefaultProcedure) {
    QZ_Win_Win32 win(W, H);
    win.hwnd(a.hwnd());
    pump_for(50);
    MSG m;
    EXPECT_EQ(SendMessageA(win.child, WM_CLOSE, 0, 0), 0);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_TRUE(IsWindow(win.child));
    EXPECT_EQ(SendMessageA(win.child, WM_ERASEBKGND, 0, 0), 1);

    // A window of the class that no framework window owns: the default
    // procedure closes it by destroying it.
    HWND bare = CreateWindowExA(0, QZ_Win_Win32::class_name(), "bare", WS_CHILD, 0, 0, 10, 10,
                                b.hwnd(), nullptr, static_cast<HINSTANCE>(hInstance), nullptr);
    ASSERT_NE(bare, nullptr);
    SendMessageA(bare, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(bare));
    EXPECT_FALSE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Win32Window, AHostThatDestroysItsWindowFirstLeavesNothingBehind) {
    QZ_Win_Win32 win(W, H);
    HostWindow gone(0, 200, W, H);
    const int windows = qz::win32::user_objects();
    win.hwnd(gone.hwnd());
    const HWND child = win.child;
    EXPECT_EQ(qz::win32::user_objects(), windows + 1);
    DestroyWindow(gone.release());
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(qz::win32::user_objects(), windows);
    EXPECT_EQ(win.child, nullptr);
    EXPECT_EQ(win.parent, nullptr);
    EXPECT_EQ(win.back.hdc, nullptr);
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 2);
    win.invalidate({0, 0, W, H}); // nowhere to paint, and no stale handle used

    // Opened again in a new window.
    EXPECT_EQ(win.hwnd(a.hwnd()), a.hwnd());
    EXPECT_TRUE(IsWindow(win.child));
    EXPECT_EQ(qz::win32::gdi_objects(), gdiBefore + 3);
}

} // namespace
