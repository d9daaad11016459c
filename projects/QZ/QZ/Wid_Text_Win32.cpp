#include "Wid_Text_Win32.h"

#include "QZ_Platform_Win32.h"
#include "Win.h"

QZ_Wid_Text_Win32::~QZ_Wid_Text_Win32() {
    // Never left selected (see draw_text), so it can go; the device context
    // and the bitmap go with the image.
    if (typeface) qz::win32::delete_object(typeface);
}

void QZ_Wid_Text_Win32::font_changed() {
    if (!font.get() || size == 0) return; // the context's default font meanwhile
    // Height −size: size is the character height, not the cell's.
    HFONT f = qz::win32::create_font(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                                     FALSE, ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                                     PROOF_QUALITY, 0, font.get());
    if (!f) return;
    if (typeface) qz::win32::delete_object(typeface);
    typeface = f;
}

void QZ_Wid_Text_Win32::draw_text() {
    HDC dc = image.hdc;
    if (!dc) {
        // Kept for the widget's life, in the image's slot: it goes with the image.
        dc = qz::win32::create_compatible_dc(win->back.hdc);
        if (!dc) return;
        SetMapMode(dc, MM_TEXT);
        image.hdc = dc;
    }
    // Bitmap and font are selected only while drawing: a resize deletes the
    // bitmap and a new font deletes the old one, which GDI refuses for an
    // object still selected.
    HGDIOBJ oldBitmap = SelectObject(dc, image.hbitmap);
    HGDIOBJ oldFont = typeface ? SelectObject(dc, typeface) : nullptr;
    SetBkColor(dc, background);
    SetTextColor(dc, color);
    if (text) {
        RECT r{0, 0, width, height};
        UINT align = horz < 0 ? DT_LEFT : horz > 0 ? DT_RIGHT : DT_CENTER;
        DrawTextA(dc, text, -1, &r, align | DT_SINGLELINE | DT_VCENTER);
    }
    GdiFlush(); // the pixels are read directly next
    if (oldFont) SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
}
