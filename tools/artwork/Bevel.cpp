#include "Canvas.h"
#include "Draw.h"
#include "Random.h"

#include <cmath>

namespace qz::art {
namespace {

constexpr int kPiece = 10;

// One band of a bevelled border, listed from the outer edge inward. A positive
// slope faces outward (toward the light on the top and left sides), a negative
// one inward, 0 is flat.
struct Band {
    double width;
    Rgba outer, inner; // colours at its two edges, as lit on a flat face
    double slope;
};

// How squarely each side faces the light, which comes from the upper left.
constexpr double kTop = 1.0, kLeft = 0.6, kRight = -0.6, kBottom = -1.0;

Rgba lit(const Rgba& c, double light) {
    return light >= 0 ? mix(c, Rgba{1, 1, 1, c.a}, 0.5 * light)
                      : mix(c, Rgba{0, 0, 0, c.a}, -0.6 * light);
}

// A gradient across the border from (x0, y0) on the outer edge to (x1, y1) on the inner.
cairo_pattern_t* profile(double x0, double y0, double x1, double y1, const std::vector<Band>& bands,
                         double facing) {
    double total = 0;
    for (const Band& b : bands)
        total += b.width;
    cairo_pattern_t* p = cairo_pattern_create_linear(x0, y0, x1, y1);
    double at = 0;
    for (const Band& b : bands) {
        add_stop(p, at / total, lit(b.outer, b.slope * facing));
        at += b.width;
        add_stop(p, at / total, lit(b.inner, b.slope * facing));
    }
    return p;
}

// A width x height border of the bands with mitred corners and the outer
// corners rounded by radius. Each side is a trapezoid shaded by a gradient
// that runs across it only, so any stretch of a side repeats along it.
void draw_bevel(cairo_t* cr, double w, double h, const std::vector<Band>& bands, double radius) {
    double t = 0;
    for (const Band& b : bands)
        t += b.width;
    struct Side {
        double pts[8];
        double g[4];
        double facing;
    };
    const Side sides[] = {
        {{0, 0, w, 0, w - t, t, t, t}, {0, 0, 0, t}, kTop},
        {{0, h, w, h, w - t, h - t, t, h - t}, {0, h, 0, h - t}, kBottom},
        {{0, 0, t, t, t, h - t, 0, h}, {0, 0, t, 0}, kLeft},
        {{w, 0, w - t, t, w - t, h - t, w, h}, {w, 0, w - t, 0}, kRight},
    };
    // Adding the sides makes the shared mitre edges meet without a faint seam.
    cairo_push_group(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    for (const Side& s : sides) {
        cairo_pattern_t* p = profile(s.g[0], s.g[1], s.g[2], s.g[3], bands, s.facing);
        cairo_set_source(cr, p);
        cairo_move_to(cr, s.pts[0], s.pts[1]);
        for (int i = 2; i < 8; i += 2)
            cairo_line_to(cr, s.pts[i], s.pts[i + 1]);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
    }
    cairo_pattern_t* border = cairo_pop_group(cr);
    cairo_set_source(cr, border);
    if (radius > 0) {
        rounded_rectangle(cr, 0, 0, w, h, radius);
        cairo_fill(cr);
    } else {
        cairo_paint(cr);
    }
    cairo_pattern_destroy(border);
}

// The nine-piece names of a border: prefix, then L/M/R, then T/M/B.
std::vector<Image> cut_pieces(const Canvas& canvas, char prefix, bool centre) {
    const std::vector<uint32_t> px = canvas.straight();
    const int far = canvas.width() - kPiece, mid = (canvas.width() - kPiece) / 2;
    std::vector<Image> out;
    const char cols[] = {'L', 'M', 'R'}, rows[] = {'T', 'M', 'B'};
    const int at[] = {0, mid, far};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            if (r == 1 && c == 1 && !centre) continue;
            const std::string name = std::string(1, prefix) + cols[c] + rows[r];
            out.push_back(cut(name, px, canvas.width(), at[c], at[r], kPiece, kPiece));
        }
    return out;
}

} // namespace

Image cut(const std::string& name, const std::vector<uint32_t>& pixels, int canvas_width, int x,
          int y, int width, int height) {
    Image img{name, width, height, 1, false, std::vector<uint32_t>(size_t(width) * size_t(height))};
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            img.at(c, r) = pixels[size_t(y + r) * size_t(canvas_width) + size_t(x + c)];
    return img;
}

// A pewter picture frame: a lit outer bevel, a flat face, a shaded inner
// bevel, and a soft shadow cast on the velvet along its inner edge.
std::vector<Image> draw_outer_frame() {
    const std::vector<Band> bands = {
        {1, rgb(0x0C090E), rgb(0x0C090E), 0},
        {1, rgb(0x9A90A8), rgb(0x9A90A8), 1},
        {1, rgb(0x5E5668), rgb(0x5E5668), 1},
        {3, rgb(0x463F50), rgb(0x363040), 0.35},
        {1, rgb(0x5A5266), rgb(0x5A5266), -1},
        {1, rgb(0x120D16), rgb(0x120D16), 0},
        {2, rgb(0x000000, 0.55), rgb(0x000000, 0.15), 0},
    };
    Canvas canvas(3 * kPiece, 3 * kPiece);
    draw_bevel(canvas.cr(), canvas.width(), canvas.height(), bands, 0);
    // The centre stays empty: the background shows through it.
    return cut_pieces(canvas, 'A', false);
}

// The glass panel: a 6-pixel bezel round a sheet of smoked glass. The bezel
// leaves the inner 4 pixels of each border piece empty: the glass (GMM) runs
// under them.
std::vector<Image> draw_glass_panel() {
    const std::vector<Band> bands = {
        {1, rgb(0x000000, 0.55), rgb(0x000000, 0.55), 0},
        {1, rgb(0xC8BED2), rgb(0xB0A6BC), 1},
        {2, rgb(0x625870), rgb(0x4A4056), 0.3},
        {1, rgb(0x140E18), rgb(0x140E18), 0},
        {1, rgb(0xB8A8D0, 0.35), rgb(0xB8A8D0, 0.35), -1},
    };
    Canvas canvas(3 * kPiece, 3 * kPiece);
    draw_bevel(canvas.cr(), canvas.width(), canvas.height(), bands, 3.5);
    std::vector<Image> pieces = cut_pieces(canvas, 'G', false);

    // Smoked glass: brighter toward the top where it catches the light. It
    // only varies downward, so it repeats sideways without a seam.
    constexpr int kGlass = 128;
    Canvas glass(kGlass, kGlass);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, kGlass);
    add_stop(p, 0.0, rgb(0x34283E, 0.90));
    add_stop(p, 0.3, rgb(0x1A1320, 0.92));
    add_stop(p, 1.0, rgb(0x100B14, 0.94));
    cairo_set_source(glass.cr(), p);
    cairo_paint(glass.cr());
    cairo_pattern_destroy(p);
    Image gmm{"GMM", kGlass, kGlass, 1, false, glass.straight()};
    // A faint grain in the glass; per pixel, so it tiles both ways.
    for (int y = 0; y < kGlass; ++y)
        for (int x = 0; x < kGlass; ++x) {
            uint32_t& px = gmm.at(x, y);
            const int d = int(std::lround(3 * grain(x, y, 2)));
            uint32_t out = px & 0xFF000000u;
            for (int shift = 0; shift < 24; shift += 8) {
                const int c = int(px >> shift & 0xFF) + d;
                out |= uint32_t(c < 0 ? 0 : c > 255 ? 255 : c) << shift;
            }
            px = out;
        }
    pieces.push_back(std::move(gmm));
    return pieces;
}

} // namespace qz::art
