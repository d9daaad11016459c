#pragma once
// A picture widget: a QZIF image from the resources, repeated to fill its
// rectangle. Accepts every point; never hovered or pressed.
#include "QZ_Pic.h"
#include "Wid.h"

class QZ_Wid_Pic : public QZ_Wid {
public:
    QZ_Pic<QZ_Pix_A32> image; // empty until "res" finds a valid image
    qz::ResName res;

    void draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) override;

    static QZ_value m_res(QZ_Wid_Pic* o, QZ_value v);

    static const QZ_Entry cls[];
};
