#include "Wid_Pic.h"

#include "QZ_cfuncs.h"

void QZ_Wid_Pic::draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) {
    blend(image, dst, dx, dy, src);
}

QZ_value QZ_Wid_Pic::m_res(QZ_Wid_Pic* o, QZ_value v) {
    if (v.present()) {
        o->res.set(v.asText());
        // A missing resource or a bad header has been reported; the image
        // stays as it was.
        if (const void* data = QZ_resource(o->res.get())) o->image.map(data);
        if (o->width == 0) o->width = o->image.width;
        if (o->height == 0) o->height = o->image.height;
    }
    return QZ_value::text(o->res.get());
}

constinit const QZ_Entry QZ_Wid_Pic::cls[] = {
    qz::creates<QZ_Wid_Pic>(),
    qz::option<&QZ_Wid_Pic::m_res>("res"),
    qz::parent(QZ_Wid::cls),
};
