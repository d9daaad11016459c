#pragma once
// Thin ownership and conversion helpers around cairo image surfaces.
#include "Image.h"

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qz::art {

// Throws std::runtime_error naming what failed.
void check_cairo(cairo_status_t status, const std::string& what);

// A transparent ARGB32 surface with a context on it.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return cr_; }
    cairo_surface_t* surface() const { return surface_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // The pixels as 0xAARRGGBB with straight alpha; fully transparent pixels are 0.
    std::vector<uint32_t> straight() const;

private:
    int width_, height_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

// Owns a surface made from straight-alpha pixels (one frame of an image).
class Surface {
public:
    Surface(const Image& image, int32_t frame = 0);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;
    cairo_surface_t* get() const { return surface_; }

private:
    cairo_surface_t* surface_;
};

// Premultiplied cairo word <-> straight 0xAARRGGBB.
uint32_t unpremultiply(uint32_t argb);
uint32_t premultiply(uint32_t argb);

// The surface as PNG file bytes.
std::vector<uint8_t> png_bytes(cairo_surface_t* surface);

// Colour with straight components in 0..1.
struct Rgba {
    double r, g, b, a = 1.0;
};
Rgba rgb(uint32_t hex, double alpha = 1.0);
Rgba mix(const Rgba& a, const Rgba& b, double t);
void set_source(cairo_t* cr, const Rgba& c);
void add_stop(cairo_pattern_t* p, double offset, const Rgba& c);

// Adds a closed rectangle path with corners rounded by radius.
void rounded_rectangle(cairo_t* cr, double x, double y, double w, double h, double radius);

} // namespace qz::art
