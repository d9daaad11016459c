#include "Wid_Butt.h"

#include "QZ_Options.h"
#include "Win.h"

void QZ_Wid_Butt::draw(QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy, const QZ_Rect& src) {
    strip.draw_frame(frame, dst, dx, dy, src);
}

void QZ_Wid_Butt::redraw() {
    frame = state ? 1 : 0;
    update();
    if (win) win->invalidate(rect());
}

void QZ_Wid_Butt::setState(bool s) {
    if (s == state) return;
    state = s;
    redraw();
    if (com) com(dat);
}

void QZ_Wid_Butt::press(int32_t, int32_t) {
    if (var) {
        // The owner answers with "val"; until then the old frame stays.
        const uint32_t n = state ? 0 : 1;
        if (var->type == QZ_value::FLOAT) {
            // A real keeps its kind (a real parameter's), holding the number.
            var->store(QZ_value::real(float(n)).value);
        } else {
            var->store(n);
            // An integer stays one; a switch and other kinds of a parameter
            // record are kept; anything else becomes an integer.
            if (var->type <= QZ_value::HANDLE) var->type = QZ_value::INT;
        }
        var->apply(dat);
    } else {
        setState(!state);
    }
}

bool QZ_Wid_Butt::hit(int32_t x, int32_t y) {
    return strip.alpha_hit(frame, x, y);
}

QZ_value QZ_Wid_Butt::m_res(QZ_Wid_Butt* o, QZ_value v) {
    return qz::strip_option(o->strip, o->res, v);
}

QZ_value QZ_Wid_Butt::m_com(QZ_Wid_Butt* o, QZ_value v) {
    return qz::notify_option(o->com, v);
}

QZ_value QZ_Wid_Butt::m_var(QZ_Wid_Butt* o, QZ_value v) {
    return qz::handle_option(o->var, v);
}
QZ_value QZ_Wid_Butt::m_dat(QZ_Wid_Butt* o, QZ_value v) {
    return qz::handle_option(o->dat, v);
}

QZ_value QZ_Wid_Butt::m_val(QZ_Wid_Butt* o, QZ_value v) {
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) o->setState(qz::as_number(v) != 0.0);
    return QZ_value::real(o->state ? 1.0f : 0.0f);
}

constinit const QZ_Entry QZ_Wid_Butt::cls[] = {
    qz::creates<QZ_Wid_Butt>(),
    qz::option<&QZ_Wid_Butt::m_res>("res"),
    qz::option<&QZ_Wid_Butt::m_com>("com"),
    qz::option<&QZ_Wid_Butt::m_var>("var"),
    qz::option<&QZ_Wid_Butt::m_val>("val"),
    qz::option<&QZ_Wid_Butt::m_dat>("dat"),
    qz::parent(QZ_Wid::cls),
};
