#include "Wid_Pal.h"

#include "QZ_Math.h"
#include "QZ_Options.h"
#include "QZ_cfuncs.h"
#include "Win.h"

#include <cmath>
#include <cstring>

namespace {
uint32_t word(const QZ_Pix_A32& p) {
    uint32_t w;
    std::memcpy(&w, &p, 4);
    return w;
}
// Lamp numbers that have a box; anything else is never read or written.
constexpr int32_t FIRST_LAMP = 0, LAST_LAMP = 255;
} // namespace

QZ_Wid_Pal_Line::QZ_Wid_Pal_Line() {
    for (Box& b : boxes)
        b = {2147483647, 2147483647, 0, 0};
}

bool QZ_Wid_Pal_Line::belongs(uint32_t p, int32_t s) const {
    const int shift = 8 * channel;
    if (s < mn || s > mx || int32_t(p >> shift & 255) != s) return false;
    return (p & ~(0xFFu << shift) & 0x00FFFFFFu) == cg;
}

void QZ_Wid_Pal::prepare() {
    QZ_Wid_Pal_Line& L = *line;
    if (templ.pixels)
        for (int32_t y = templ.height - 1; y >= 0; --y)
            for (int32_t x = 0; x < templ.width; ++x) {
                uint32_t p = word(templ.row(y)[x]);
                int32_t s = int32_t(p >> (8 * L.channel) & 255);
                if (!L.belongs(p, s)) continue;
                QZ_Wid_Pal_Line::Box& b = L.boxes[s];
                if (x < b.minX) b.minX = x;
                if (y < b.minY) b.minY = y;
                if (x > b.maxX) b.maxX = x;
                if (y > b.maxY) b.maxY = y;
            }
    L.prepared = true;
}

void QZ_Wid_Pal::paint_lamp(int32_t s, uint32_t colour) {
    const QZ_Wid_Pal_Line& L = *line;
    if (s < FIRST_LAMP || s > LAST_LAMP || !templ.pixels || !image.pixels) return;
    const QZ_Wid_Pal_Line::Box& b = L.boxes[s];
    // The box lies in the template; the working image has the template's size.
    for (int32_t y = b.minY; y <= b.maxY && y < image.height; ++y)
        for (int32_t x = b.minX; x <= b.maxX && x < image.width; ++x) {
            uint32_t p = word(templ.row(y)[x]);
            if (!L.belongs(p, s)) continue;
            uint32_t a = (colour >> 24) * (p >> 24) / 255;
            uint32_t c = (colour & 0x00FFFFFFu) | a << 24;
            std::memcpy(image.row(y) + x, &c, 4);
        }
}

void QZ_Wid_Pal::level(float x, bool noRepaint) {
    if (!line) return;
    QZ_Wid_Pal_Line& L = *line;
    // Levels outside 0 … 1 (and NaN) are limited.
    x = x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f;
    if (!L.prepared) {
        prepare();
        L.level = 1.0f;
        level(0.0f, false); // every lamp dark, and one repaint
    }
    const float lamps = float(L.mx - L.mn + 1);
    int32_t from = qz::trunc32(lamps * L.level + float(L.mn));
    const float e = lamps * x + float(L.mn);
    int32_t to = qz::trunc32(e);
    const float frac = e - float(to);
    const int32_t step = to > from ? 1 : -1;
    const bool rising = from < to;
    L.level = x;
    // Lamps beyond the 256 of a line have no box: the walk stays near them.
    auto limit = [](int32_t s) {
        return s < FIRST_LAMP - 1 ? FIRST_LAMP - 1 : s > LAST_LAMP + 1 ? LAST_LAMP + 1 : s;
    };
    from = limit(from);
    const int32_t last = limit(to);
    for (int32_t s = from;; s += step) {
        // A line whose range is one lamp has no fraction of it: lit colour.
        float t = L.mx != L.mn ? float(s - L.mn) / float(L.mx - L.mn) : 0.0f;
        uint32_t c = t >= L.rl ? L.rg : L.fg;
        uint32_t colour = rising ? c : L.bg;
        if (s == to) {
            colour = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                float mixed =
                    (1.0f - frac) * float(L.bg >> shift & 255) + frac * float(c >> shift & 255);
                colour |= uint32_t(qz::trunc32(mixed) & 255) << shift;
            }
        }
        paint_lamp(s, colour);
        if (s == last) break;
    }
    if (!noRepaint && win) redraw();
}

QZ_value QZ_Wid_Pal::m_res(QZ_Wid_Pal* o, QZ_value v) {
    if (v.present()) {
        o->res.set(v.asText());
        const void* data = QZ_resource(o->res.get());
        if (data && o->templ.map(data)) {
            if (o->image.width != o->templ.width || o->image.height != o->templ.height)
                o->image.resize(o->templ.width, o->templ.height);
            if (o->image.pixels && o->image.width == o->templ.width &&
                o->image.height == o->templ.height)
                std::memcpy(o->image.pixels, o->templ.pixels,
                            qz::picture_bytes(o->templ.width, o->templ.height));
        }
    }
    return QZ_value::text(o->res.get());
}

QZ_value QZ_Wid_Pal::m_ln(QZ_Wid_Pal* o, QZ_value v) {
    return qz::handle_option(o->line, v);
}

namespace {
// Options of the selected line: nothing happens and nothing is reported without one.
template <class F> QZ_value on_line(QZ_Wid_Pal* o, F f) {
    return o->line ? f(*o->line) : QZ_EMPTY;
}

QZ_value colour(QZ_Wid_Pal* o, uint32_t QZ_Wid_Pal_Line::*field, const QZ_value& v) {
    return on_line(o, [&](QZ_Wid_Pal_Line& L) {
        if (v.present()) L.*field = uint32_t(v.value); // its 32 bits as they are
        return QZ_value::integer(int32_t(L.*field));
    });
}

QZ_value whole(QZ_Wid_Pal* o, int32_t QZ_Wid_Pal_Line::*field, const QZ_value& v) {
    return on_line(o, [&](QZ_Wid_Pal_Line& L) {
        if (v.present()) L.*field = qz::as_whole(v);
        return QZ_value::integer(L.*field);
    });
}
} // namespace

QZ_value QZ_Wid_Pal::m_mn(QZ_Wid_Pal* o, QZ_value v) {
    return whole(o, &QZ_Wid_Pal_Line::mn, v);
}
QZ_value QZ_Wid_Pal::m_mx(QZ_Wid_Pal* o, QZ_value v) {
    return whole(o, &QZ_Wid_Pal_Line::mx, v);
}
QZ_value QZ_Wid_Pal::m_bg(QZ_Wid_Pal* o, QZ_value v) {
    return colour(o, &QZ_Wid_Pal_Line::bg, v);
}
QZ_value QZ_Wid_Pal::m_fg(QZ_Wid_Pal* o, QZ_value v) {
    return colour(o, &QZ_Wid_Pal_Line::fg, v);
}
QZ_value QZ_Wid_Pal::m_rg(QZ_Wid_Pal* o, QZ_value v) {
    return colour(o, &QZ_Wid_Pal_Line::rg, v);
}
QZ_value QZ_Wid_Pal::m_cg(QZ_Wid_Pal* o, QZ_value v) {
    return colour(o, &QZ_Wid_Pal_Line::cg, v);
}

QZ_value QZ_Wid_Pal::m_rl(QZ_Wid_Pal* o, QZ_value v) {
    return on_line(o, [&](QZ_Wid_Pal_Line& L) {
        if (v.present()) L.rl = qz::as_real(v);
        return QZ_value::real(L.rl);
    });
}

QZ_value QZ_Wid_Pal::m_ch(QZ_Wid_Pal* o, QZ_value v) {
    static const char* const names[3] = {"b", "g", "r"};
    return on_line(o, [&](QZ_Wid_Pal_Line& L) {
        if (v.type == QZ_value::TEXT && v.asText()) {
            switch (v.asText()[0]) {
            case 'b':
                L.channel = 0;
                break;
            case 'g':
                L.channel = 1;
                break;
            case 'r':
                L.channel = 2;
                break;
            default:
                break; // the channel stays; its key byte is still cleared
            }
            L.cg &= ~(0xFFu << (8 * L.channel)) & 0x00FFFFFFu;
        }
        return QZ_value::text(names[L.channel]);
    });
}

QZ_value QZ_Wid_Pal::m_level(QZ_Wid_Pal* o, QZ_value v) {
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) o->level(qz::as_real(v), false);
    return QZ_EMPTY;
}

constinit const QZ_Entry QZ_Wid_Pal::cls[] = {
    qz::creates<QZ_Wid_Pal>(),
    qz::option<&QZ_Wid_Pal::m_res>("res"),
    qz::option<&QZ_Wid_Pal::m_mn>("mn"),
    qz::option<&QZ_Wid_Pal::m_rl>("rl"),
    qz::option<&QZ_Wid_Pal::m_mx>("mx"),
    qz::option<&QZ_Wid_Pal::m_bg>("bg"),
    qz::option<&QZ_Wid_Pal::m_fg>("fg"),
    qz::option<&QZ_Wid_Pal::m_rg>("rg"),
    qz::option<&QZ_Wid_Pal::m_cg>("cg"),
    qz::option<&QZ_Wid_Pal::m_ch>("ch"),
    qz::option<&QZ_Wid_Pal::m_ln>("ln"),
    qz::option<&QZ_Wid_Pal::m_level>("level"),
    qz::parent(QZ_Wid::cls),
};
