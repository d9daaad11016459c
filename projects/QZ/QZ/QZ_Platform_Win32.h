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

// Sets f to the function `name` of a library the caller loaded at run time;
// false, and f null, where the library or the function is missing. For
// system libraries that the framework loads when first used rather than
// importing them: a host then loads none of them for the plug-in.
template <class F> bool resolve(HMODULE library, const char* name, F& f) {
    f = library ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)))
                : nullptr;
    return f != nullptr;
}

} // namespace qz::win32
