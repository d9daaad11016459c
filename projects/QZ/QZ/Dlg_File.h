#pragma once
// The file dialog callers make, on the platform's dialogs. Windows only: no
// other build has a file dialog.
#include "Dlg_File_Win32.h"

class QZ_Dlg_File : public QZ_Dlg_File_Win32 {
public:
    QZ_Dlg_File(QZ_Win* owner, char* filter) : QZ_Dlg_File_Win32(owner, filter) {}
};
