#include "Wid_Text_FreeType.h"

#include "QZ_Error.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <atomic>
#include <filesystem>
#include <new>
#include <system_error>

// A library of its own per face: nothing is shared between widgets or
// threads, and nothing is left behind when the last widget goes.
struct qz::FreeTypeFont {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FreeTypeFont() = default;
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;
    ~FreeTypeFont() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

std::string qz::find_font_file(const char* name, std::initializer_list<const char*> folders) {
    namespace fs = std::filesystem;
    for (const char* folder : folders) {
        std::error_code ec;
        fs::path direct = fs::path(folder) / name;
        if (fs::is_regular_file(direct, ec)) return direct.string();
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            if (it->path().filename() == name && it->is_regular_file(ec))
                return it->path().string();
    }
    return {};
}

namespace {

// For the system font a device context starts with: bold, in its 16-pixel
// cell, and narrow. DejaVu Sans Bold is wider, so a size smaller than the
// system font's 13 pixels gives a word about the room the layout expects.
constexpr int32_t DEFAULT_SIZE = 12;

const std::string& font_path(bool bold) {
    // Looked up once: Debian's place first, then wherever other systems keep it.
    static const std::string regular =
        qz::find_font_file("DejaVuSans.ttf", {"/usr/share/fonts/truetype/dejavu",
                                              "/usr/share/fonts", "/usr/local/share/fonts"});
    static const std::string heavy =
        qz::find_font_file("DejaVuSans-Bold.ttf", {"/usr/share/fonts/truetype/dejavu",
                                                   "/usr/share/fonts", "/usr/local/share/fonts"});
    return bold && !heavy.empty() ? heavy : regular;
}

// Null where the face cannot be had. Without the font file every text widget
// stays empty; that is said once per process, not at every widget.
qz::FreeTypeFont* make_font(int32_t size, bool bold) {
    const std::string& path = font_path(bold);
    if (path.empty()) {
        static std::atomic<bool> reported{false};
        if (!reported.exchange(true))
            QZ_error_func("projects/QZ/QZ/Wid_Text_FreeType", __LINE__, "make_font", __DATE__,
                          __TIME__, "Font DejaVuSans.ttf not found: texts are not drawn");
        return nullptr;
    }
    auto* f = new (std::nothrow) qz::FreeTypeFont;
    if (!f) return nullptr;
    // A negative size is a cell height (ascent + descent), as for the
    // platform's fonts.
    FT_Size_RequestRec request{};
    request.type = size > 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM;
    request.height = FT_Long(size > 0 ? size : -int64_t(size)) * 64;
    if (FT_Init_FreeType(&f->library) != 0 ||
        FT_New_Face(f->library, path.c_str(), 0, &f->face) != 0 ||
        FT_Request_Size(f->face, &request) != 0) {
        delete f;
        return nullptr;
    }
    return f;
}

// The single-byte code page DrawTextA reads: Latin-1, except 0x80 to 0x9F.
FT_ULong code_point(unsigned char c) {
    static constexpr uint16_t windows_1252[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? windows_1252[c - 0x80] : c;
}

// Calls f(code point) for each character drawn. As DrawText without
// DT_NOPREFIX: "&x" draws x (the underline is left out), "&&" draws "&".
template <class F> void each_char(const char* s, F f) {
    for (; *s; ++s) {
        if (*s == '&' && s[1]) ++s;
        if (FT_ULong c = code_point(static_cast<unsigned char>(*s))) f(c);
    }
}

// Adds a glyph's coverage into the alpha bytes of the image, clipped to it.
void ink(QZ_Pic_Base<QZ_Pix_A32>& image, const FT_Bitmap& b, int32_t left, int32_t top) {
    if (b.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    for (int32_t y = 0; y < int32_t(b.rows); ++y) {
        int32_t iy = top + y;
        if (iy < 0 || iy >= image.height) continue;
        const unsigned char* src = b.buffer + intptr_t(y) * b.pitch;
        QZ_Pix_A32* row = image.row(iy);
        for (int32_t x = 0; x < int32_t(b.width); ++x) {
            int32_t ix = left + x;
            if (ix < 0 || ix >= image.width) continue;
            // Glyphs that overlap keep the stronger coverage.
            if (src[x] > row[ix].a) row[ix].a = src[x];
        }
    }
}

} // namespace

QZ_Wid_Text_FreeType::~QZ_Wid_Text_FreeType() {
    delete typeface;
    delete fallback_;
}

void QZ_Wid_Text_FreeType::font_changed() {
    if (!font.get() || size == 0) return; // the default font meanwhile
    if (qz::FreeTypeFont* f = make_font(size, bold)) {
        delete typeface;
        typeface = f;
    }
}

void QZ_Wid_Text_FreeType::draw_text() {
    if (!typeface && !fallback_) fallback_ = make_font(DEFAULT_SIZE, true);
    qz::FreeTypeFont* f = typeface ? typeface : fallback_;
    if (!f || !text) return;
    FT_Face face = f->face;

    // Advances in whole pixels, as the platform places characters.
    int64_t advance = 0;
    each_char(text, [&](FT_ULong c) {
        if (FT_Load_Char(face, c, FT_LOAD_DEFAULT) == 0)
            advance += (face->glyph->advance.x + 32) >> 6;
    });
    const int32_t textWidth = int32_t(advance < INT32_MAX ? advance : INT32_MAX);
    const int32_t ascent = int32_t(face->size->metrics.ascender >> 6);
    const int32_t descent = int32_t(-(face->size->metrics.descender >> 6));

    // DT_LEFT, DT_CENTER or DT_RIGHT within 0 … width; DT_VCENTER places the
    // line box.
    int64_t x = horz < 0   ? 0
                : horz > 0 ? int64_t(width) - textWidth
                           : (int64_t(width) - textWidth) / 2;
    const int32_t baseline = (height - (ascent + descent)) / 2 + ascent;

    each_char(text, [&](FT_ULong c) {
        if (x >= width || FT_Load_Char(face, c, FT_LOAD_RENDER) != 0) return;
        const FT_GlyphSlot g = face->glyph;
        if (x + g->bitmap_left + int64_t(g->bitmap.width) > 0)
            ink(image, g->bitmap, int32_t(x + g->bitmap_left), baseline - g->bitmap_top);
        x += (g->advance.x + 32) >> 6;
    });

    // The colour mixed with black by each pixel's coverage: what the platform
    // leaves on a black background. The alpha byte is given afterwards.
    const uint32_t r = color & 0xFF, g = color >> 8 & 0xFF, b = color >> 16 & 0xFF;
    const size_t n = size_t(image.width) * size_t(image.height);
    for (size_t i = 0; i < n; ++i) {
        QZ_Pix_A32& p = image.pixels[i];
        if (!p.a) continue;
        const uint32_t k = p.a;
        p = {uint8_t((b * k + 127) / 255), uint8_t((g * k + 127) / 255),
             uint8_t((r * k + 127) / 255), 0};
    }
}
