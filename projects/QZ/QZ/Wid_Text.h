#pragma once
// The registered text widget, on the platform's text drawing: GDI on
// Windows, FreeType elsewhere.
#if defined(_WIN32)
#include "Wid_Text_Win32.h"
using QZ_Wid_Text_Platform = QZ_Wid_Text_Win32;
#else
#include "Wid_Text_FreeType.h"
using QZ_Wid_Text_Platform = QZ_Wid_Text_FreeType;
#endif

class QZ_Wid_Text : public QZ_Wid_Text_Platform {
public:
    // The widget base's options and its own; not the picture widget's "res".
    static const QZ_Entry cls[];
};
