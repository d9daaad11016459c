#pragma once
// A segment level meter drawn from a QZIF template in which every lamp pixel
// carries its lamp number in one colour byte. Each line (a meter in the same
// template, told apart by its key colour) recolours only the lamps between
// its old and new level in the widget's working copy of the template.
#include "QZ_Export.h"
#include "Wid_Pic.h"

#include <cstdint>

class QZ_Wid_Pal_Line {
public:
    struct Box {
        int32_t minX, minY, maxX, maxY;
    };

    uint32_t bg = 0;     // dark lamps, 0xAARRGGBB
    uint32_t cg = 0;     // key colour
    uint32_t fg = 0;     // lit lamps
    uint32_t rg = 0;     // lit lamps at or above the threshold
    int32_t channel = 0; // 0 blue, 1 green, 2 red
    float level = 0.0f;
    float rl = 0.0f; // threshold, a fraction of the lamp range
    int32_t mn = 0, mx = 0;
    bool prepared = false;
    Box boxes[256];

    QZ_Wid_Pal_Line();
    // Does template pixel p belong to lamp s of this line?
    bool belongs(uint32_t p, int32_t s) const;
};

class QZ_Wid_Pal : public QZ_Wid_Pic {
public:
    QZ_Pic<QZ_Pix_A32> templ;
    QZ_Wid_Pal_Line* line = nullptr; // the selected line

    // Sets the selected line's level (limited to 0 … 1) and recolours the
    // lamps that change; then repaints unless noRepaint. Allocates nothing:
    // the audio side calls it.
    QZ_EXPORT void level(float x, bool noRepaint);

    static QZ_value m_res(QZ_Wid_Pal* o, QZ_value v);
    QZ_EXPORT static QZ_value m_ln(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_mn(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_mx(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_rl(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_bg(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_fg(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_rg(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_cg(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_ch(QZ_Wid_Pal* o, QZ_value v);
    static QZ_value m_level(QZ_Wid_Pal* o, QZ_value v);

    static const QZ_Entry cls[];

private:
    void prepare();
    void paint_lamp(int32_t s, uint32_t colour);
};
