#include "QZ_Platform_Win32.h"

#include <atomic>

namespace qz::win32 {
namespace {
std::atomic<int> live{0}, windows{0};
template <class H> H counted(H h, std::atomic<int>& n = live) {
    if (h) ++n;
    return h;
}
} // namespace

int gdi_objects() {
    return live.load();
}

HBITMAP create_dib_section(const BITMAPINFO* info, void** bits) {
    return counted(CreateDIBSection(nullptr, info, DIB_RGB_COLORS, bits, nullptr, 0));
}

HDC create_compatible_dc(HDC dc) {
    return counted(CreateCompatibleDC(dc));
}

HFONT create_font(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* face) {
    return counted(CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                               strikeOut, charSet, outPrecision, clipPrecision, quality,
                               pitchAndFamily, face));
}

bool delete_object(HGDIOBJ object) {
    if (!object || !DeleteObject(object)) return false;
    --live;
    return true;
}

bool delete_dc(HDC dc) {
    if (!dc || !DeleteDC(dc)) return false;
    --live;
    return true;
}

int user_objects() {
    return windows.load();
}

HWND create_window(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                   int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                   void* param) {
    return counted(CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent,
                                   menu, instance, param),
                   windows);
}

bool destroy_window(HWND window) {
    if (!window || !DestroyWindow(window)) return false;
    --windows;
    return true;
}

void window_gone() {
    --windows;
}

} // namespace qz::win32
