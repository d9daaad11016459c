#include "Canvas.h"
#include "Draw.h"

#include <cmath>

namespace qz::art {
namespace {

constexpr int kButtonW = 40, kButtonH = 24;
constexpr int kKnob = 32, kKnobFrames = 100;

void fill_linear(cairo_t* cr, double x0, double y0, double x1, double y1,
                 std::initializer_list<std::pair<double, Rgba>> stops) {
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
    for (const auto& [at, c] : stops)
        add_stop(p, at, c);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// A radial gradient round (cx, cy) out to r, the path filled with it.
void fill_radial(cairo_t* cr, double cx, double cy, double r,
                 std::initializer_list<std::pair<double, Rgba>> stops) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    for (const auto& [at, c] : stops)
        add_stop(p, at, c);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// A metal bezel round a lens that shows a power sign; lit, the lens glows rose.
void draw_button_frame(cairo_t* cr, bool lit) {
    const double w = kButtonW, h = kButtonH;
    rounded_rectangle(cr, 0, 0, w, h, 6);
    set_source(cr, rgb(0x000000, 0.45));
    cairo_fill(cr);
    rounded_rectangle(cr, 1, 1, w - 2, h - 2, 5);
    fill_linear(cr, 0, 1, 0, h - 1,
                {{0, rgb(0xC4BACE)}, {0.45, rgb(0x6E6478)}, {1, rgb(0x2E2836)}});
    rounded_rectangle(cr, 2, 2, w - 4, h - 4, 4);
    fill_linear(cr, 0, 2, 0, h - 2, {{0, rgb(0x4A4254)}, {1, rgb(0x7A7086)}});
    rounded_rectangle(cr, 4, 4, w - 8, h - 8, 3);
    set_source(cr, rgb(0x08050A));
    cairo_fill(cr);

    const double lx = 5, ly = 5, lw = w - 10, lh = h - 10;
    rounded_rectangle(cr, lx, ly, lw, lh, 2.5);
    if (lit) {
        cairo_save(cr);
        cairo_translate(cr, w / 2, h / 2);
        cairo_scale(cr, 1.0, lh / lw);
        fill_radial(
            cr, 0, 0, lw * 0.62,
            {{0, rgb(0xFFE2F4)}, {0.3, rgb(0xFF74C4)}, {0.75, rgb(0xC8287E)}, {1, rgb(0x701048)}});
        cairo_restore(cr);
    } else {
        fill_linear(cr, 0, ly, 0, ly + lh, {{0, rgb(0x3A2842)}, {1, rgb(0x1A1020)}});
    }

    // The power sign: a ring open at the top, a bar through the opening.
    const double cx = w / 2, cy = h / 2 + 0.5, r = 3.6;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.3);
    cairo_arc(cr, cx, cy, r, -M_PI / 2 + 0.75, 3 * M_PI / 2 - 0.75);
    cairo_move_to(cr, cx, cy - r - 1.2);
    cairo_line_to(cr, cx, cy - 0.6);
    set_source(cr, lit ? rgb(0xFFFFFF, 0.95) : rgb(0x8A7496, 0.8));
    cairo_stroke(cr);

    // Reflection on the upper half of the lens.
    rounded_rectangle(cr, lx + 1, ly + 0.5, lw - 2, lh * 0.42, 2);
    fill_linear(cr, 0, ly, 0, ly + lh * 0.45,
                {{0, rgb(0xFFFFFF, lit ? 0.50 : 0.22)}, {1, rgb(0xFFFFFF, 0.02)}});
}

// The parts of the knob that do not turn: shadow, knurled skirt, cap, highlight.
void draw_knob_body(cairo_t* cr) {
    const double c = kKnob / 2.0;
    cairo_arc(cr, c + 0.6, c + 1.0, 15.8, 0, 2 * M_PI);
    fill_radial(cr, c + 0.6, c + 1.0, 15.8, {{0.75, rgb(0x000000, 0.55)}, {1, rgb(0x000000, 0)}});

    cairo_arc(cr, c, c, 13.6, 0, 2 * M_PI);
    fill_linear(cr, c - 10, c - 10, c + 10, c + 10, {{0, rgb(0x9A92A6)}, {1, rgb(0x221C28)}});
    cairo_set_line_width(cr, 0.7);
    for (int i = 0; i < 32; ++i) {
        const double a = i * 2 * M_PI / 32;
        cairo_move_to(cr, c + std::cos(a) * 11, c + std::sin(a) * 11);
        cairo_line_to(cr, c + std::cos(a) * 13.3, c + std::sin(a) * 13.3);
    }
    set_source(cr, rgb(0x000000, 0.35));
    cairo_stroke(cr);
    cairo_arc(cr, c, c, 13.6, 0, 2 * M_PI);
    set_source(cr, rgb(0x000000, 0.7));
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);

    cairo_arc(cr, c, c, 10.2, 0, 2 * M_PI);
    fill_radial(cr, c - 3, c - 4, 15,
                {{0, rgb(0xA69EB0)}, {0.45, rgb(0x5E5668)}, {1, rgb(0x2A2430)}});
    cairo_arc(cr, c, c, 10.2, 0, 2 * M_PI);
    cairo_pattern_t* rim = cairo_pattern_create_linear(c - 8, c - 8, c + 8, c + 8);
    add_stop(rim, 0, rgb(0xFFFFFF, 0.55));
    add_stop(rim, 1, rgb(0x000000, 0.55));
    cairo_set_source(cr, rim);
    cairo_set_line_width(cr, 0.9);
    cairo_stroke(cr);
    cairo_pattern_destroy(rim);

    cairo_save(cr);
    cairo_translate(cr, c - 3.5, c - 5);
    cairo_rotate(cr, -0.5);
    cairo_scale(cr, 1.0, 0.6);
    cairo_arc(cr, 0, 0, 4.5, 0, 2 * M_PI);
    fill_radial(cr, 0, 0, 4.5, {{0, rgb(0xFFFFFF, 0.6)}, {1, rgb(0xFFFFFF, 0)}});
    cairo_restore(cr);
}

// The pointer at angle a (radians clockwise from straight up): a bright line
// on a dark underlay across the cap, and a lamp dot on the skirt.
void draw_knob_pointer(cairo_t* cr, double a) {
    const double c = kKnob / 2.0, dx = std::sin(a), dy = -std::cos(a);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, c + dx * 3.5, c + dy * 3.5);
    cairo_line_to(cr, c + dx * 9.0, c + dy * 9.0);
    set_source(cr, rgb(0x000000, 0.6));
    cairo_set_line_width(cr, 2.8);
    cairo_stroke_preserve(cr);
    set_source(cr, rgb(0xF6ECFF));
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);

    cairo_arc(cr, c + dx * 12.2, c + dy * 12.2, 1.1, 0, 2 * M_PI);
    set_source(cr, rgb(0xFF8AD0));
    cairo_fill(cr);
}

} // namespace

Image draw_button() {
    Canvas canvas(kButtonW, 2 * kButtonH);
    for (int frame = 0; frame < 2; ++frame) {
        cairo_save(canvas.cr());
        cairo_rectangle(canvas.cr(), 0, frame * kButtonH, kButtonW, kButtonH);
        cairo_clip(canvas.cr());
        cairo_translate(canvas.cr(), 0, frame * kButtonH);
        draw_button_frame(canvas.cr(), frame == 1);
        cairo_restore(canvas.cr());
    }
    return Image{"BUT", kButtonW, kButtonH, 2, true, canvas.straight()};
}

// 270 degrees of travel, lower left (frame 0) over the top to lower right.
Image draw_knob() {
    Canvas canvas(kKnob, kKnob * kKnobFrames);
    for (int frame = 0; frame < kKnobFrames; ++frame) {
        cairo_save(canvas.cr());
        cairo_rectangle(canvas.cr(), 0, frame * kKnob, kKnob, kKnob);
        cairo_clip(canvas.cr());
        cairo_translate(canvas.cr(), 0, frame * kKnob);
        draw_knob_body(canvas.cr());
        const double degrees = -135.0 + 270.0 * frame / (kKnobFrames - 1);
        draw_knob_pointer(canvas.cr(), degrees * M_PI / 180.0);
        cairo_restore(canvas.cr());
    }
    return Image{"TUNE", kKnob, kKnob, kKnobFrames, true, canvas.straight()};
}

} // namespace qz::art
