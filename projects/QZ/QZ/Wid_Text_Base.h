#pragma once
// One line of text, rendered by the platform into the widget's own picture
// and then shown like a picture widget's image: opaque where the text is,
// transparent elsewhere. Rendered only when the text changes (or on update),
// never on a plain paint.
#include "Wid_Pic.h"

class QZ_Wid_Text_Base : public QZ_Wid_Pic {
public:
    // Kept as given, not copied: the owner keeps it alive while it is shown.
    const char* text = "test string";
    uint32_t color = 0x00FFFFFF; // 0x00BBGGRR, the platform's order
    uint32_t background = 0;     // no option sets it
    // Our own copy: it is read again whenever size or bold change, long after
    // the command that gave it.
    qz::ResName font;
    int32_t size = 0; // character height in pixels
    int32_t horz = 0; // < 0 left, 0 centred, > 0 right
    bool bold = false;
    const char* rendered = nullptr; // the text reference last rendered

    // Renders first when the text reference is not the one rendered.
    void draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) override;
    // Renders the text; while detached, at the first paint after attaching.
    void update() override;
    // The font name, size or weight changed; the new font shows at the next
    // rendering.
    virtual void font_changed() {}

    static QZ_value m_text(QZ_Wid_Text_Base* o, QZ_value v);
    static QZ_value m_color(QZ_Wid_Text_Base* o, QZ_value v);
    static QZ_value m_font(QZ_Wid_Text_Base* o, QZ_value v);
    static QZ_value m_size(QZ_Wid_Text_Base* o, QZ_value v);
    static QZ_value m_horz(QZ_Wid_Text_Base* o, QZ_value v);
    static QZ_value m_bold(QZ_Wid_Text_Base* o, QZ_value v);

protected:
    // Draws the text into the image (width × height, every byte 0) as the
    // platform does: the colour mixed with black where glyphs ink, one line,
    // aligned by horz, centred vertically, clipped to the image. Alpha is
    // given afterwards.
    virtual void draw_text() = 0;
};
