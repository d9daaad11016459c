#include "Wid_Text_preview.h"

#include <cairo.h>

#include <cstdlib>

std::string qz::test::save_preview(const QZ_Pic_Base<QZ_Pix_A32>& pic, const char* name) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    if (!dir || !pic.pixels) return {};
    const std::string path = std::string(dir) + "/" + name + ".png";
    const std::string large = std::string(dir) + "/" + name + "-x4.png";
    // Our pixels are cairo's RGB24 as they are: blue, green, red, unused.
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pic.pixels), CAIRO_FORMAT_RGB24, pic.width, pic.height,
        pic.width * 4);
    cairo_surface_t* x4 =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, pic.width * 4, pic.height * 4);
    cairo_t* cr = cairo_create(x4);
    cairo_scale(cr, 4, 4);
    cairo_set_source_surface(cr, s, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_write_to_png(x4, large.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(x4);
    cairo_surface_destroy(s);
    return ok ? path : std::string();
}
