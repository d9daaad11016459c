#include "Wid_Knob.h"

#include "QZ_Math.h"
#include "QZ_Options.h"
#include "Win.h"

#include <cmath>

void QZ_Wid_Knob::redraw() {
    if (!win || !res.get() || frame < 0 || frame >= strip.frames) return;
    update();
    win->invalidate(rect());
    notify();
}

bool QZ_Wid_Knob::range(float& lo, float& hi) const {
    lo = mn;
    hi = mx;
    return true;
}

float QZ_Wid_Knob::value() const {
    double d = strip.frames > 0 ? double(strip.frames - 1) : 1.0;
    if (d == 0.0) d = 1.0; // a strip of one frame: frame 0 is mn
    return float(double(mn) + double(frame) / d * (double(mx) - double(mn)));
}

int32_t QZ_Wid_Knob::frameOf(float v) const {
    if (mx == mn) return 0;
    long double q =
        (long double)(strip.frames - 1) * ((long double)v - mn) / ((long double)mx - mn);
    // A frame's own value, rounded to a float, maps back a hair below or
    // above the frame; truncating would show the frame before it. Within a
    // thousandth of a frame is that frame; elsewhere the frame truncated.
    long double nearest = std::nearbyint(q);
    if (std::fabs(q - nearest) < FRAME_TOLERANCE) return qz::trunc32(nearest);
    return qz::trunc32(q);
}

void QZ_Wid_Knob::setValue(float v) {
    int32_t f = frameOf(v);
    if (!res.get()) return;
    frame = f;
    redraw();
}

void QZ_Wid_Knob::press(int32_t x, int32_t y) {
    anchorX = x;
    anchorY = y;
    anchorFrame = frame;
    pressX = x;
    pressY = y;
    moved = false;
}

void QZ_Wid_Knob::drag(int32_t x, int32_t y) {
    const int32_t frames = strip.frames;
    if (frames <= 0) return; // nothing to turn
    // A click is not a turn: a move to where the press was (platforms send
    // one) leaves the value between frames that a host may have set.
    if (!moved && x == pressX && y == pressY) return;
    moved = true;
    int64_t f = int64_t(anchorFrame) + (int64_t(x) - anchorX) - (int64_t(y) - anchorY);
    if (f < 0 || f >= frames) {
        // Re-anchored at the end: moving back responds at once.
        anchorX = x;
        anchorY = y;
        f = f < 0 ? 0 : frames - 1;
        anchorFrame = int32_t(f);
    }
    frame = int32_t(f);
    if (var) {
        var->store(QZ_value::real(value()).value);
        // Written only when they differ: a parameter record read by hosts on
        // other threads keeps its (equal) kind untouched.
        if (var->type != QZ_value::FLOAT) var->type = QZ_value::FLOAT;
        if (var->length != -1) var->length = -1;
        var->apply(dat);
    } else {
        redraw();
    }
}

QZ_value QZ_Wid_Knob::m_val(QZ_Wid_Knob* o, QZ_value v) {
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) o->setValue(qz::as_real(v));
    return QZ_value::real(o->value());
}

namespace {
// "mn" and "mx": the value kept, re-mapped onto the new range.
QZ_value range_end(QZ_Wid_Knob* o, float& end, const QZ_value& v) {
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) {
        float was = o->value();
        end = qz::as_real(v);
        o->setValue(was);
    }
    return QZ_value::real(end);
}
} // namespace

QZ_value QZ_Wid_Knob::m_mn(QZ_Wid_Knob* o, QZ_value v) {
    return range_end(o, o->mn, v);
}
QZ_value QZ_Wid_Knob::m_mx(QZ_Wid_Knob* o, QZ_value v) {
    return range_end(o, o->mx, v);
}

constinit const QZ_Entry QZ_Wid_Knob::cls[] = {
    qz::creates<QZ_Wid_Knob>(),
    qz::option<&QZ_Wid_Control::m_res>("res"),
    qz::option<&QZ_Wid_Control::m_com>("com"),
    qz::option<&QZ_Wid_Knob::m_val>("val"),
    qz::option<&QZ_Wid_Control::m_dat>("dat"),
    qz::option<&QZ_Wid_Knob::m_mn>("mn"),
    qz::option<&QZ_Wid_Knob::m_mx>("mx"),
    qz::option<&QZ_Wid_Control::m_var>("var"),
    qz::parent(QZ_Wid::cls),
};
