#include "Screenshot.h"

#include "Canvas.h"

#include <cstring>
#include <stdexcept>

namespace qz::art {
namespace {

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | b[at + size_t(i)];
    return v;
}

} // namespace

std::vector<uint8_t> png_from_bmp(const std::vector<uint8_t>& bmp) {
    // File header (14 bytes), then an info header of at least 40.
    if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M' || le(bmp, 14, 4) < 40)
        throw std::runtime_error("not a BMP file");
    const auto width = int32_t(le(bmp, 18, 4)), height = int32_t(le(bmp, 22, 4));
    const uint32_t bits = le(bmp, 28, 2), compression = le(bmp, 30, 4), offset = le(bmp, 10, 4);
    if (bits != 32 || compression != 0)
        throw std::runtime_error("BMP of " + std::to_string(bits) + " bits, compression " +
                                 std::to_string(compression) + ": only 32-bit uncompressed");
    const bool topDown = height < 0;
    const int32_t rows = topDown ? -height : height;
    if (width <= 0 || rows <= 0 || width > 16384 || rows > 16384 ||
        offset + uint64_t(width) * uint64_t(rows) * 4 > bmp.size())
        throw std::runtime_error("BMP size does not match its pixels");

    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, rows);
    check_cairo(cairo_surface_status(s), "cairo surface for the BMP");
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* from = bmp.data() + offset + size_t(topDown ? y : rows - 1 - y) * width * 4;
        for (int32_t x = 0; x < width; ++x) {
            // BMP bytes blue, green, red, unused; cairo's word is 0xXXRRGGBB.
            const uint32_t word = uint32_t(from[4 * x]) | uint32_t(from[4 * x + 1]) << 8 |
                                  uint32_t(from[4 * x + 2]) << 16 | 0xFF000000u;
            std::memcpy(data + size_t(y) * size_t(stride) + 4 * size_t(x), &word, 4);
        }
    }
    cairo_surface_mark_dirty(s);
    std::vector<uint8_t> png;
    try {
        png = png_bytes(s);
    } catch (...) {
        cairo_surface_destroy(s);
        throw;
    }
    cairo_surface_destroy(s);
    return png;
}

} // namespace qz::art
