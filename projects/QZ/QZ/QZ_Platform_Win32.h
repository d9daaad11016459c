#pragma once
// The GDI calls the framework makes, each counted: wine answers 0 to
// GetGuiResources, so tests read our own count to find leaks.
#include <windows.h>

namespace qz::win32 {

// GDI objects (bitmaps, device contexts, fonts) made through here and not yet deleted.
int gdi_objects();

HBITMAP create_dib_section(const BITMAPINFO* info, void** bits);
HDC create_compatible_dc(HDC dc);
// CreateFontA, argument for argument.
HFONT create_font(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* face);
bool delete_object(HGDIOBJ object);
bool delete_dc(HDC dc);

} // namespace qz::win32
