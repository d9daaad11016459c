#pragma once
// The file dialog, platform-free: which window owns it and which files it
// offers. The platform class shows the system's open and save dialogs.
class QZ_Win;

class QZ_Dlg_File_Base {
public:
    // The dialog is owned by this window's parent window, if it has one.
    QZ_Win* owner;
    // Pairs of description and pattern, each NUL-terminated, the list ending
    // with an empty string. Kept as given, not copied: the caller keeps it alive.
    char* filter;

    QZ_Dlg_File_Base(QZ_Win* owner, char* filter);
    QZ_Dlg_File_Base(const QZ_Dlg_File_Base&) = delete;
    QZ_Dlg_File_Base& operator=(const QZ_Dlg_File_Base&) = delete;

    // The chosen path, or null when the user cancelled or the dialog failed.
    // The path lives in the dialog object until the next call.
    virtual char* open() = 0;
    virtual char* save() = 0;
    // After open and save, which keep the first two slots.
    virtual ~QZ_Dlg_File_Base();
};
