#pragma once
// The file dialog callers make, on the platform's dialogs. Windows only: no
// other build has a file dialog.
#include "Dlg_File_Win32.h"
#include "QZ_Export.h"

class QZ_Dlg_File : public QZ_Dlg_File_Win32 {
public:
    // Out of line: the plug-in library exports it.
    QZ_EXPORT QZ_Dlg_File(QZ_Win* owner, char* filter);
};
