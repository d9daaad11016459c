#pragma once
// The file dialog on Win32: comdlg32's common open and save dialogs, on one
// record filled at construction.
#include "Dlg_File_Base.h"

#include <windows.h>

#include <commdlg.h>

class QZ_Dlg_File_Win32 : public QZ_Dlg_File_Base {
public:
    static constexpr DWORD PATH_SIZE = 4096;
    static constexpr DWORD OPEN_FLAGS = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;   // 0x1800
    static constexpr DWORD SAVE_FLAGS = OFN_PATHMUSTEXIST | OFN_OVERWRITEPROMPT; // 0x802

    // Points into this object (path): hence no copies.
    OPENFILENAMEA record;
    // The last chosen path: the next dialog starts with it.
    char path[PATH_SIZE] = {};

    QZ_Dlg_File_Win32(QZ_Win* owner, char* filter);

    char* open() override;
    char* save() override;

    // The owner's parent window, or none while the owner is attached to none.
    HWND owner_window() const;

private:
    // Shows comdlg32's dialog of that name.
    char* show(DWORD flags, const char* name);
};
