#include "Canvas.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qz::art {

void check_cairo(cairo_status_t status, const std::string& what) {
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(what + ": " + cairo_status_to_string(status));
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
    check_cairo(cairo_status(cr_),
                "cairo surface " + std::to_string(width) + "x" + std::to_string(height));
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

std::vector<uint32_t> Canvas::straight() const {
    check_cairo(cairo_status(cr_), "drawing");
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    std::vector<uint32_t> out(size_t(width_) * size_t(height_));
    for (int y = 0; y < height_; ++y) {
        const unsigned char* row = data + size_t(y) * size_t(stride);
        for (int x = 0; x < width_; ++x) {
            uint32_t word;
            std::memcpy(&word, row + 4 * x, 4); // cairo's words are native-endian
            out[size_t(y) * size_t(width_) + size_t(x)] = unpremultiply(word);
        }
    }
    return out;
}

Surface::Surface(const Image& image, int32_t frame)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height)) {
    check_cairo(cairo_surface_status(surface_), "cairo surface for " + image.name);
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint32_t word = premultiply(image.at(x, y, frame));
            std::memcpy(data + size_t(y) * size_t(stride) + 4 * size_t(x), &word, 4);
        }
    cairo_surface_mark_dirty(surface_);
}

Surface::~Surface() {
    cairo_surface_destroy(surface_);
}

uint32_t unpremultiply(uint32_t w) {
    const uint32_t a = w >> 24;
    if (a == 0) return 0;
    uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = (((w >> shift) & 0xFF) * 255 + a / 2) / a;
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

uint32_t premultiply(uint32_t w) {
    const uint32_t a = w >> 24;
    uint32_t out = a << 24;
    for (int shift = 0; shift < 24; shift += 8)
        out |= ((((w >> shift) & 0xFF) * a + 127) / 255) << shift;
    return out;
}

std::vector<uint8_t> png_bytes(cairo_surface_t* surface) {
    std::vector<uint8_t> out;
    auto write = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* v = static_cast<std::vector<uint8_t>*>(closure);
        v->insert(v->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    check_cairo(cairo_surface_write_to_png_stream(surface, write, &out), "PNG encoding");
    return out;
}

Rgba rgb(uint32_t hex, double alpha) {
    return {((hex >> 16) & 0xFF) / 255.0, ((hex >> 8) & 0xFF) / 255.0, (hex & 0xFF) / 255.0, alpha};
}

Rgba mix(const Rgba& a, const Rgba& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

void set_source(cairo_t* cr, const Rgba& c) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

void add_stop(cairo_pattern_t* p, double offset, const Rgba& c) {
    cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, c.a);
}

void rounded_rectangle(cairo_t* cr, double x, double y, double w, double h, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

} // namespace qz::art
