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

// USER objects: the framework's windows made through here and not yet gone.
int user_objects();
// CreateWindowExA, argument for argument.
HWND create_window(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                   int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                   void* param);
bool destroy_window(HWND window);
// A counted window destroyed by others (its parent went first).
void window_gone();

} // namespace qz::win32
