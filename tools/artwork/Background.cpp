#include "Canvas.h"
#include "Draw.h"
#include "Random.h"

#include <cmath>

namespace qz::art {
namespace {

constexpr int kSize = 63;

// Draws at the nine wrapped positions, so whatever crosses an edge comes back
// on the opposite one and the tile repeats without a seam.
template <class F> void wrapped(cairo_t* cr, F&& draw) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            cairo_save(cr);
            cairo_translate(cr, dx * kSize, dy * kSize);
            draw();
            cairo_restore(cr);
        }
}

uint8_t scaled(uint32_t channel, double factor) {
    const double v = std::round(channel * factor);
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

// Crushed velvet: soft light and dark patches, a fine pile leaning one way,
// and a per-pixel grain.
Image draw_background() {
    Canvas canvas(kSize, kSize);
    cairo_t* cr = canvas.cr();
    set_source(cr, rgb(0x3A1642));
    cairo_paint(cr);

    Random rng(0x5E1FE7);
    for (int i = 0; i < 22; ++i) {
        const double cx = rng.range(0, kSize), cy = rng.range(0, kSize);
        const double r = rng.range(8, 22), angle = rng.range(0, M_PI),
                     squash = rng.range(0.35, 0.8);
        const bool light = i % 2 == 0;
        const Rgba colour =
            light ? rgb(0xA255B0, rng.range(0.10, 0.22)) : rgb(0x14051C, rng.range(0.18, 0.32));
        wrapped(cr, [&] {
            cairo_translate(cr, cx, cy);
            cairo_rotate(cr, angle);
            cairo_scale(cr, 1.0, squash);
            cairo_pattern_t* p = cairo_pattern_create_radial(0, 0, 0, 0, 0, r);
            add_stop(p, 0, colour);
            add_stop(p, 1, Rgba{colour.r, colour.g, colour.b, 0});
            cairo_set_source(cr, p);
            cairo_arc(cr, 0, 0, r, 0, 2 * M_PI);
            cairo_fill(cr);
            cairo_pattern_destroy(p);
        });
    }

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 0.7);
    for (int i = 0; i < 160; ++i) {
        const double x = rng.range(0, kSize), y = rng.range(0, kSize);
        const double angle = rng.range(0.9, 1.3), length = rng.range(1.5, 4.5);
        const Rgba colour = i % 3 == 0 ? rgb(0x14051C, rng.range(0.10, 0.20))
                                       : rgb(0xC58AD0, rng.range(0.05, 0.11));
        wrapped(cr, [&] {
            set_source(cr, colour);
            cairo_move_to(cr, x, y);
            cairo_rel_line_to(cr, std::cos(angle) * length, std::sin(angle) * length);
            cairo_stroke(cr);
        });
    }

    Image img{"BGND", kSize, kSize, 1, false, canvas.straight()};
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            uint32_t& px = img.at(x, y);
            const double f = 1.0 + 0.07 * grain(x, y, 1);
            px = 0xFF000000u | uint32_t(scaled(px >> 16 & 0xFF, f)) << 16 |
                 uint32_t(scaled(px >> 8 & 0xFF, f)) << 8 | scaled(px & 0xFF, f);
        }
    return img;
}

} // namespace qz::art
