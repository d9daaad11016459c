#include "Preview.h"

#include "Canvas.h"
#include "Meter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qz::art {
namespace {

constexpr int kEditorW = 200, kEditorH = 156;
constexpr const char* kFont = "DejaVu Sans";

const Image& get(const ImageSet& images, const std::string& name) {
    auto it = images.find(name);
    if (it == images.end()) throw std::runtime_error("preview: no image " + name);
    return it->second;
}

// Blends frame f of the image over (x, y, w, h), repeated from the rectangle's
// corner as the picture widget repeats it, enlarged by scale without smoothing.
void paint(cairo_t* cr, const Image& img, int frame, double x, double y, double w, double h,
           double scale = 1) {
    Surface s(img, frame);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, s.get(), 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_fill(cr);
    cairo_restore(cr);
}

// Text centred in a box, as the editor's text widgets place their captions.
void text(cairo_t* cr, const std::string& s, double x, double y, double w, double h,
          uint32_t colour, double size) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, s.c_str(), &e);
    set_source(cr, rgb(colour));
    cairo_move_to(cr, std::round(x + (w - e.x_advance) / 2), std::round(y + (h + size * 0.72) / 2));
    cairo_show_text(cr, s.c_str());
}

int knob_frame(double value, double mn, double mx, int frames) {
    return int(std::lround((value - mn) / (mx - mn) * (frames - 1)));
}

// The editor: the widgets of the editor in their order and places.
void compose_editor(cairo_t* cr, const ImageSet& images) {
    const int W = kEditorW, H = kEditorH, g = 10, L0 = 10, T0 = 26, PW = 180, PH = 120;
    auto pic = [&](const char* name, int w, int h, int l, int t) {
        paint(cr, get(images, name), 0, l, t, w, h);
    };
    pic("BGND", W, H, 0, 0);
    pic("ALT", g, g, 0, 0);
    pic("AMT", W - 2 * g, g, g, 0);
    pic("ART", g, g, W - g, 0);
    pic("ALM", g, H - 2 * g, 0, g);
    pic("ARM", g, H - 2 * g, W - g, g);
    pic("ALB", g, g, 0, H - g);
    pic("AMB", W - 2 * g, g, g, H - g);
    pic("ARB", g, g, W - g, H - g);
    pic("GLT", g, g, L0, T0);
    pic("GMT", PW - 2 * g, g, L0 + g, T0);
    pic("GRT", g, g, L0 + PW - g, T0);
    pic("GLM", g, PH - 2 * g, L0, T0 + g);
    pic("GMM", PW - 2 * g + 8, PH - 2 * g + 8, L0 + g - 4, T0 + g - 4);
    pic("GRM", g, PH - 2 * g, L0 + PW - g, T0 + g);
    pic("GLB", g, g, L0, T0 + PH - g);
    pic("GMB", PW - 2 * g, g, L0 + g, T0 + PH - g);
    pic("GRB", g, g, L0 + PW - g, T0 + PH - g);

    text(cr, "Velvet Rampart", 10, 8, 180, 16, 0xC0C0E0, 10);
    paint(cr, get(images, "BUT"), 1, L0 + 11, T0 + 11, 40, 24);
    text(cr, "Sustain", L0 + 53, T0 + 15, 50, 14, 0xBD7BA5, 9);
    const double levels[2] = {0.62, 0.55};
    const Image meter = light_meter(get(images, "I61X11"), levels);
    paint(cr, meter, 0, L0 + 109, T0 + 10, kMeterWidth, kMeterHeight);
    text(cr, "In/Out", L0 + 119, T0 + 22, 41, 14, 0xC0C0E0, 9);

    const Image& knob = get(images, "TUNE");
    const char* captions[] = {"Sustain", "Tone", "Level"};
    const char* readouts[] = {"-6dB", "150Hz", "-6dB"};
    const int frames[] = {knob_frame(-6, 0, -45, knob.frames),
                          knob_frame(150, 50, 400, knob.frames),
                          knob_frame(-6, -45, -3, knob.frames)};
    for (int k = 0; k < 3; ++k) {
        const int left = L0 + 16 + 58 * k;
        text(cr, captions[k], left - 16, T0 + 63 - 14, 64, 14, 0xC0C0E0, 9);
        paint(cr, knob, frames[k], left, T0 + 63, 32, 32);
        text(cr, readouts[k], left - 16, T0 + 63 + 32, 64, 14, 0xB0B0B0, 9);
    }
}

} // namespace

std::vector<uint8_t> preview_png(const Image& img) {
    const int cols = std::min(img.frames, 10), rows = (img.frames + cols - 1) / cols;
    Canvas canvas(cols * img.width, rows * img.height);
    for (int f = 0; f < img.frames; ++f)
        paint(canvas.cr(), img, f, (f % cols) * img.width, (f / cols) * img.height, img.width,
              img.height);
    check_cairo(cairo_status(canvas.cr()), "preview of " + img.name);
    return png_bytes(canvas.surface());
}

std::vector<uint8_t> editor_png(const ImageSet& images) {
    Canvas canvas(kEditorW, kEditorH);
    compose_editor(canvas.cr(), images);
    check_cairo(cairo_status(canvas.cr()), "editor preview");
    return png_bytes(canvas.surface());
}

std::vector<uint8_t> contact_sheet_png(const ImageSet& images) {
    constexpr int kMargin = 20, kGap = 28, kLabel = 18;
    constexpr int kWidth = 880, kHeight = 600;
    Canvas sheet(kWidth, kHeight);
    cairo_t* cr = sheet.cr();
    set_source(cr, rgb(0x5A5A5E));
    cairo_paint(cr);
    text(cr, "Velvet Rampart: editor artwork", 0, 6, kWidth, 24, 0xF0F0F0, 15);

    auto label = [&](const std::string& s, double x, double y, double w) {
        text(cr, s, x - 20, y + 4, w + 40, kLabel - 4, 0xE8E8E8, 11);
    };

    // The editor at twice its size.
    const int top = 40;
    {
        Canvas editor(kEditorW, kEditorH);
        compose_editor(editor.cr(), images);
        check_cairo(cairo_status(editor.cr()), "editor preview");
        cairo_save(cr);
        cairo_translate(cr, kMargin, top);
        cairo_scale(cr, 2, 2);
        cairo_set_source_surface(cr, editor.surface(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
        label("the editor, composed from the images (texts in a stand-in font)", kMargin,
              top + 2 * kEditorH, 2 * kEditorW);
    }

    // Right of it: background, frame and glass pieces, glass centre.
    double x = kMargin + 2 * kEditorW + 2 * kGap, y = top;
    const Image& bgnd = get(images, "BGND");
    paint(cr, bgnd, 0, x, y, bgnd.width, bgnd.height, 2);
    label("BGND", x, y + 2 * bgnd.height, 2 * bgnd.width);
    auto nine = [&](char prefix, double x0, double y0, bool centre) {
        const char cols[] = {'L', 'M', 'R'}, rows[] = {'T', 'M', 'B'};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                if (r == 1 && c == 1 && !centre) continue;
                const Image& img = get(images, std::string(1, prefix) + cols[c] + rows[r]);
                paint(cr, img, 0, x0 + c * 34, y0 + r * 34, 10, 10, 3);
            }
    };
    x += 2 * bgnd.width + kGap;
    nine('A', x, y, false);
    label("ALT ... ARB", x, y + 98, 98);
    x += 98 + kGap;
    nine('G', x, y, false);
    label("GLT ... GRB", x, y + 98, 98);

    y += 2 * bgnd.height + kLabel + 12;
    x = kMargin + 2 * kEditorW + 2 * kGap;
    const Image& gmm = get(images, "GMM");
    paint(cr, gmm, 0, x, y, gmm.width, gmm.height);
    label("GMM", x, y + gmm.height, gmm.width);

    // Below: the button's frames, four knob positions, the meter.
    x = kMargin;
    y = top + 2 * kEditorH + kLabel + 24;
    const Image& but = get(images, "BUT");
    for (int f = 0; f < but.frames; ++f) {
        paint(cr, but, f, x, y, but.width, but.height, 3);
        label("BUT " + std::to_string(f), x, y + 3 * but.height, 3 * but.width);
        x += 3 * but.width + kGap;
    }
    const Image& tune = get(images, "TUNE");
    for (int f : {0, 33, 66, 99}) {
        paint(cr, tune, std::min(f, tune.frames - 1), x, y, tune.width, tune.height, 3);
        label("TUNE " + std::to_string(f), x, y + 3 * tune.height, 3 * tune.width);
        x += 3 * tune.width + kGap;
    }
    x = kMargin;
    y += 3 * tune.height + kLabel + 16;
    const Image& meter = get(images, "I61X11");
    paint(cr, meter, 0, x, y, meter.width, meter.height, 4);
    label("I61X11 (lamp coding)", x, y + 4 * meter.height, 4 * meter.width);
    x += 4 * meter.width + kGap;
    const double levels[2] = {0.7, 0.97};
    paint(cr, light_meter(meter, levels), 0, x, y, meter.width, meter.height, 4);
    label("I61X11 lit as the editor lights it", x, y + 4 * meter.height, 4 * meter.width);

    check_cairo(cairo_status(cr), "contact sheet");
    return png_bytes(sheet.surface());
}

} // namespace qz::art
