#include "Wid_Butt.h"

#include "QZ_Options.h"
#include "Win.h"

void QZ_Wid_Butt::redraw() {
    frame = state ? 1 : 0;
    update();
    if (win) win->invalidate(rect());
}

void QZ_Wid_Butt::setState(bool s) {
    if (s == state) return;
    state = s;
    redraw();
    notify();
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

QZ_value QZ_Wid_Butt::m_val(QZ_Wid_Butt* o, QZ_value v) {
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) o->setState(qz::as_number(v) != 0.0);
    return QZ_value::real(o->state ? 1.0f : 0.0f);
}

constinit const QZ_Entry QZ_Wid_Butt::cls[] = {
    qz::creates<QZ_Wid_Butt>(),
    qz::option<&QZ_Wid_Control::m_res>("res"),
    qz::option<&QZ_Wid_Control::m_com>("com"),
    qz::option<&QZ_Wid_Control::m_var>("var"),
    qz::option<&QZ_Wid_Butt::m_val>("val"),
    qz::option<&QZ_Wid_Control::m_dat>("dat"),
    qz::parent(QZ_Wid::cls),
};
