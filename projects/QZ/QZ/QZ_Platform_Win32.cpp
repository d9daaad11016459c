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
