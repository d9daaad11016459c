#include "QZ_Platform_Win32.h"

#include <atomic>

namespace qz::win32 {
namespace {
std::atomic<int> live{0};
template <class H> H counted(H h) {
    if (h) ++live;
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

} // namespace qz::win32
