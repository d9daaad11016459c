#pragma once
// The text widget on Win32: GDI draws the text into the image's bitmap
// section through a memory device context of the widget's own.
#include "Wid_Text_Base.h"

#include <windows.h>

class QZ_Wid_Text_Win32 : public QZ_Wid_Text_Base {
public:
    HFONT typeface = nullptr; // none until name and size are both set

    ~QZ_Wid_Text_Win32() override;

    // A new font when name and size are set; where it cannot be made the
    // previous one stays.
    void font_changed() override;

protected:
    void draw_text() override;
};
