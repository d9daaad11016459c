#include "Wid_Control.h"

#include "QZ_Options.h"
#include "QZ_cfuncs.h"

void QZ_Wid_Control::draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy,
                          const QZ_Rect& src) {
    strip.draw_frame(frame, dst, dx, dy, src);
}

bool QZ_Wid_Control::hit(int32_t x, int32_t y) {
    return strip.alpha_hit(frame, x, y);
}

bool QZ_Wid_Control::range(float&, float&) const {
    return false;
}

QZ_value QZ_Wid_Control::m_res(QZ_Wid_Control* o, QZ_value v) {
    if (v.present()) {
        o->res.set(v.asText());
        // A missing resource or a bad header has been reported; the strip
        // stays as it was.
        if (const void* data = QZ_resource(o->res.get())) o->strip.map(data);
    }
    return QZ_value::text(o->res.get());
}

QZ_value QZ_Wid_Control::m_com(QZ_Wid_Control* o, QZ_value v) {
    if (v.present()) o->com = reinterpret_cast<Notify>(v.value);
    return QZ_value::handle(reinterpret_cast<const void*>(o->com));
}

QZ_value QZ_Wid_Control::m_dat(QZ_Wid_Control* o, QZ_value v) {
    return qz::handle_option(o->dat, v);
}

QZ_value QZ_Wid_Control::m_var(QZ_Wid_Control* o, QZ_value v) {
    return qz::handle_option(o->var, v);
}
