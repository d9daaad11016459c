#include "Win_Win32.h"

#include "QZ_Platform_Win32.h"
#include "QZ_cfuncs.h"

#include <cstdint>
#include <cstdio>
#include <mutex>

#if !defined(_WIN64)
static_assert(sizeof(WNDCLASSEXA) == 48);
#endif

namespace {

// The class every framework window's child window has: formatted and
// registered once per process, never unregistered.
struct WindowClass {
    char name[20];
    HINSTANCE instance;

    WindowClass() : instance(static_cast<HINSTANCE>(hInstance)) {
        // Eight digits on 64-bit too: the class is local to the module
        // instance it is registered with, so the name need not tell modules apart.
        std::snprintf(name, sizeof name, "QZFRAMEx%8.8X", unsigned(uintptr_t(instance)));
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc; // 48 on the 32-bit build
        wc.style = 0;
        wc.lpfnWndProc = &QZ_Win_Win32::window_proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = name;
        RegisterClassExA(&wc);
    }
};

const WindowClass& window_class() {
    static const WindowClass c;
    return c;
}

// Plug-ins may be made on more than one thread at once.
std::mutex windowsLock;

} // namespace

QZ_Chain& qz::windows() {
    static QZ_Chain chain;
    return chain;
}

const char* QZ_Win_Win32::class_name() {
    return window_class().name;
}

QZ_Win_Win32::QZ_Win_Win32(int32_t w, int32_t h) : QZ_Win(w, h), windowsItem(this) {
    std::lock_guard<std::mutex> lock(windowsLock);
    qz::windows().insert(&windowsItem);
}

QZ_Win_Win32::~QZ_Win_Win32() {
    hwnd(nullptr);
    std::lock_guard<std::mutex> lock(windowsLock);
    qz::windows().remove(&windowsItem);
}

void QZ_Win_Win32::release_child() {
    // A paint on another thread may be using both.
    qz::PaintLock lock(paintMutex);
    if (back.hdc) {
        if (backDefault_) SelectObject(back.hdc, backDefault_);
        qz::win32::delete_dc(back.hdc);
    }
    back.hdc = nullptr;
    backDefault_ = nullptr;
    repaintTarget_.store(nullptr);
    child = nullptr;
}

HWND QZ_Win_Win32::hwnd(HWND p) {
    const WindowClass& wc = window_class();
    if (p == parent) return parent;
    if (HWND old = child) {
        release_child();
        // Whatever it is still sent while it goes is not ours any more.
        SetWindowLongPtrA(old, GWLP_USERDATA, 0);
        qz::win32::destroy_window(old);
    }
    parent = p;
    leavePending = false;
    if (!p) return nullptr;

    HWND c = qz::win32::create_window(0, wc.name, "Window",
                                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                      0, width, height, p, nullptr, wc.instance, nullptr);
    if (!c) return parent;
    SetWindowLongPtrA(c, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    HDC screen = GetDC(c);
    HDC memory = qz::win32::create_compatible_dc(screen);
    ReleaseDC(c, screen);
    qz::PaintLock lock(paintMutex);
    child = c;
    repaintTarget_.store(c);
    back.hdc = memory;
    if (memory && back.hbitmap) backDefault_ = SelectObject(memory, back.hbitmap);
    // The refresh: whatever hosts do with effEditIdle. It goes with the window.
    SetTimer(c, REFRESH_TIMER, REFRESH_MS, nullptr);
    return parent;
}

void QZ_Win_Win32::invalidate(const QZ_Rect& r) {
    // Held across the whole repaint (paint takes it again) so that the child
    // window cannot be taken away by hwnd meanwhile.
    if (!paintMutex.lock(1000)) return;
    if (child) {
        if (HDC dc = GetDC(child)) {
            paint(dc, r);
            ReleaseDC(child, dc);
        }
    }
    paintMutex.unlock();
}

void QZ_Win_Win32::request_repaint(const QZ_Rect& r) {
    if (HWND c = repaintTarget_.load()) {
        RECT rc = {r.left, r.top, r.right, r.bottom};
        InvalidateRect(c, &rc, FALSE);
    }
}

void QZ_Win_Win32::copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) {
    BitBlt(static_cast<HDC>(target), clip.left, clip.top, clip.right - clip.left,
           clip.bottom - clip.top, back.hdc, sx, sy, SRCCOPY);
    // The next cell is composed in the same bitmap: GDI may batch the copy.
    GdiFlush();
}

LRESULT CALLBACK QZ_Win_Win32::window_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    auto* w = reinterpret_cast<QZ_Win_Win32*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    // Nothing stored yet: the messages of creation.
    if (!w) return DefWindowProcA(h, m, wp, lp);
    return w->message(h, m, wp, lp);
}

LRESULT QZ_Win_Win32::message(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    const int32_t x = int16_t(LOWORD(lp)), y = int16_t(HIWORD(lp));
    switch (m) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(h, &ps))
            paint(dc, {ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
        EndPaint(h, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wp != REFRESH_TIMER) break;
        refresh();
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting covers every pixel
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    case WM_MOUSEMOVE:
        if (!leavePending) {
            leavePending = true;
            TRACKMOUSEEVENT t{};
            t.cbSize = sizeof t;
            t.dwFlags = TME_LEAVE;
            t.hwndTrack = h;
            if (!TrackMouseEvent(&t)) leavePending = false;
        }
        mouse_move(x, y);
        return 0;
    case WM_LBUTTONDOWN:
        SetCapture(h);
        button_down(x, y);
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        button_up();
        return 0;
    case WM_MOUSELEAVE:
        leavePending = false;
        ReleaseCapture();
        mouse_leave();
        return 0;
    case WM_NCDESTROY:
        // The host destroyed its window (and ours with it) without detaching
        // us: forget the child so that nothing paints into a stale handle.
        if (h == child) {
            release_child();
            parent = nullptr;
            leavePending = false;
            SetWindowLongPtrA(h, GWLP_USERDATA, 0);
            qz::win32::window_gone();
        }
        break;
    }
    return DefWindowProcA(h, m, wp, lp);
}
