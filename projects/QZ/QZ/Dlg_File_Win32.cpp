#include "Dlg_File_Win32.h"

#include "Win_Win32.h"

#if !defined(_WIN64)
static_assert(sizeof(OPENFILENAMEA) == 88);
#endif

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

char* QZ_Dlg_File_Win32::show(DWORD flags, BOOL(WINAPI* dialog)(LPOPENFILENAMEA)) {
    // Read at each call: the owner may have been attached or moved since.
    record.hwndOwner = owner_window();
    record.Flags = flags;
    return dialog(&record) ? path : nullptr;
}

char* QZ_Dlg_File_Win32::open() {
    return show(OPEN_FLAGS, &GetOpenFileNameA);
}

char* QZ_Dlg_File_Win32::save() {
    return show(SAVE_FLAGS, &GetSaveFileNameA);
}
