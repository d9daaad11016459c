#include "Dlg_File.h"

#include "Win_Win32.h"

#if !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEA) == 88);
#endif

namespace {

using Dialog = BOOL(WINAPI*)(LPOPENFILENAMEA);

// comdlg32 (with shell32, comctl32 and ole32 behind it) is loaded when a
// dialog is first shown, not when the program starts: their start-up code then
// runs before the program's own, and under wine it left a program that puts
// itself on a desktop of its own unable to make any window.
Dialog dialog(const char* name) {
    static const HMODULE library = LoadLibraryA("comdlg32.dll");
    if (!library) return nullptr;
    return reinterpret_cast<Dialog>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

QZ_Dlg_File_Win32::QZ_Dlg_File_Win32(QZ_Win* o, char* f) : QZ_Dlg_File_Base(o, f), record{} {
    record.lStructSize = sizeof record; // 88 on the 32-bit build
    record.hInstance = GetModuleHandleA(nullptr);
    record.lpstrFilter = filter;
    record.lpstrFile = path;
    record.nMaxFile = PATH_SIZE;
    record.lpstrInitialDir = ".";
    record.lpstrTitle = "File preset";
    record.lpstrDefExt = "bin";
}

HWND QZ_Dlg_File_Win32::owner_window() const {
    // Only a window on the platform has a parent; one detached has none.
    const auto* w = dynamic_cast<const QZ_Win_Win32*>(owner);
    return w ? w->parent : nullptr;
}

char* QZ_Dlg_File_Win32::show(DWORD flags, const char* name) {
    // Read at each call: the owner may have been attached or moved since.
    record.hwndOwner = owner_window();
    record.Flags = flags;
    const Dialog d = dialog(name);
    return d && d(&record) ? path : nullptr;
}

char* QZ_Dlg_File_Win32::open() {
    return show(OPEN_FLAGS, "GetOpenFileNameA");
}

char* QZ_Dlg_File_Win32::save() {
    return show(SAVE_FLAGS, "GetSaveFileNameA");
}

QZ_Dlg_File::QZ_Dlg_File(QZ_Win* o, char* f) : QZ_Dlg_File_Win32(o, f) {}
