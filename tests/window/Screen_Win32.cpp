#include "Screen.h"

#include "QZ_Library.h"
#include "QZ_cfuncs.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace qz::test {

bool use_plugin_module() {
    // Never unloaded: the window class stays registered with its instance.
    static Library lib(plugin_library_path());
    if (!lib.loaded()) return false;
    hInstance = lib.instance();
    return true;
}

bool use_own_desktop() {
    char name[32];
    std::snprintf(name, sizeof name, "VRWindowTest%lu", GetCurrentProcessId());
    HDESK desk = CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desk && SetThreadDesktop(desk);
}

namespace {

LRESULT CALLBACK host_proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ERASEBKGND) {
        // The fill colour rides in the user data.
        RECT r;
        GetClientRect(h, &r);
        HDC dc = reinterpret_cast<HDC>(wp);
        SetDCBrushColor(dc, COLORREF(GetWindowLongPtrA(h, GWLP_USERDATA)));
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        return 1;
    }
    return DefWindowProcA(h, m, wp, lp);
}

const char* host_class() {
    static const char* name = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &host_proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "VRTestHost";
        RegisterClassExA(&wc);
        return "VRTestHost";
    }();
    return name;
}

Pixels read_dc(HDC src, int x, int y, int w, int h) {
    Pixels p;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(src);
    if (bmp && mem && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        // Whatever the copy leaves alone shows up as a difference.
        std::memset(bits, 0x5A, size_t(w) * size_t(h) * 4);
        BitBlt(mem, 0, 0, w, h, src, x, y, SRCCOPY);
        GdiFlush();
        p.width = w;
        p.height = h;
        p.px.assign(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + w * h);
        SelectObject(mem, old);
    }
    if (mem) DeleteDC(mem);
    if (bmp) DeleteObject(bmp);
    return p;
}

bool alike(uint32_t a, uint32_t b, uint32_t mask, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (!(mask >> shift & 0xFF)) continue;
        const int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

void send_mouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = dx;
    in.mi.dy = dy;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof in);
}

} // namespace

HostWindow::HostWindow(int x, int y, int w, int h, COLORREF fill)
    : hwnd_(CreateWindowExA(0, host_class(), "host", WS_POPUP | WS_CLIPCHILDREN, x, y, w, h,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)) {
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, LONG_PTR(fill));
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd_);
}

HostWindow::~HostWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

HWND HostWindow::release() {
    HWND h = hwnd_;
    hwnd_ = nullptr;
    return h;
}

bool pump_until(const std::function<bool()>& done, int ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) continue;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) return true;
        if (GetTickCount() - start >= DWORD(ms)) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void pump_for(int ms) {
    pump_until([] { return false; }, ms);
}

bool move_pointer(int x, int y) {
    // Normalised to 0 … 65535 over the primary screen, rounded up so that the
    // system's rounding down lands on the very pixel.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, LONG((x * 65536LL + w - 1) / w),
               LONG((y * 65536LL + h - 1) / h));
    return pump_until(
        [&] {
            POINT p;
            return GetCursorPos(&p) && p.x == x && p.y == y;
        },
        1000);
}

void press_left() {
    send_mouse(MOUSEEVENTF_LEFTDOWN);
}
void release_left() {
    send_mouse(MOUSEEVENTF_LEFTUP);
}

Pixels read_window(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    HDC dc = GetDC(h);
    Pixels p = read_dc(dc, 0, 0, r.right, r.bottom);
    ReleaseDC(h, dc);
    return p;
}

Pixels read_screen(const RECT& r) {
    HDC dc = GetDC(nullptr);
    Pixels p = read_dc(dc, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, dc);
    return p;
}

Pixels pixels_of(const QZ_Pic_Base<QZ_Pix_A32>& pic) {
    Pixels p;
    p.width = pic.width;
    p.height = pic.height;
    p.px.resize(size_t(pic.width) * size_t(pic.height));
    if (!p.px.empty()) std::memcpy(p.px.data(), pic.pixels, p.px.size() * 4);
    return p;
}

std::string differences(const Pixels& got, const Pixels& want, uint32_t mask, int tolerance) {
    if (got.width != want.width || got.height != want.height)
        return "size " + std::to_string(got.width) + " x " + std::to_string(got.height) +
               " instead of " + std::to_string(want.width) + " x " + std::to_string(want.height);
    std::string out;
    int count = 0;
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x)
            if (!alike(got.at(x, y), want.at(x, y), mask, tolerance)) {
                if (++count <= 5) {
                    char line[80];
                    std::snprintf(line, sizeof line, " (%d, %d): %08X instead of %08X;", x, y,
                                  unsigned(got.at(x, y) & mask), unsigned(want.at(x, y) & mask));
                    out += line;
                }
            }
    return count ? std::to_string(count) + " pixels differ:" + out : std::string();
}

bool write_bmp(const std::string& path, const Pixels& p) {
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = p.width;
    info.biHeight = -p.height; // rows top to bottom
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    const uint32_t bytes = uint32_t(p.px.size() * 4);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(reinterpret_cast<const char*>(p.px.data()), bytes);
    return bool(out);
}

} // namespace qz::test
