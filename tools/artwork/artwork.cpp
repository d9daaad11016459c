// Draws the editor's images, encodes them, and writes into a directory:
// NAME.qzif / NAME.qzvf, resources.rc (Windows builds), resources_table.cpp
// (native builds), preview/NAME.png, preview/editor.png and contact-sheet.png.
// Files whose content is unchanged are left alone.
//   artwork OUTPUT_DIR [--list]
//   artwork --png IN.bmp OUT.png    a test's screenshot made into a PNG
#include "Decode.h"
#include "Draw.h"
#include "Preview.h"
#include "ResourceFiles.h"
#include "Screenshot.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using namespace qz::art;

namespace {

int run(const fs::path& dir, bool list) {
    fs::create_directories(dir / "preview");
    int written = 0, files = 0;
    auto put = [&](const fs::path& path, const auto& content) {
        ++files;
        written += write_if_changed(path, content) ? 1 : 0;
    };

    std::vector<Encoded> encoded;
    ImageSet decoded;
    for (const Image& img : draw_all()) {
        Encoded e = encode(img);
        // Previews come from the bytes, so they show what the plug-in will get.
        Image back = decode(e.bytes);
        back.name = img.name;
        if (back.width != img.width || back.height != img.height || back.frames != img.frames ||
            back.pixels != img.pixels)
            throw std::runtime_error(img.name + ": decoded pixels differ from the drawn ones");
        if (list) {
            std::printf("%-7s %s %3d x %-3d %3d frame%s", img.name.c_str(),
                        img.strip ? "QZVF" : "QZIF", img.width, img.height, img.frames,
                        img.frames == 1 ? " " : "s");
            if (img.strip)
                std::printf(" %5u tiles", qzvf_tile_count(e.bytes));
            else
                std::printf("            ");
            std::printf(" %7zu bytes\n", e.bytes.size());
        }
        put(dir / e.file, e.bytes);
        put(dir / "preview" / (img.name + ".png"), preview_png(back));
        decoded.emplace(img.name, std::move(back));
        encoded.push_back(std::move(e));
    }
    put(dir / "resources.rc", resource_script(encoded, dir));
    put(dir / "resources_table.cpp", resource_table(encoded));
    put(dir / "preview" / "editor.png", editor_png(decoded));
    put(dir / "contact-sheet.png", contact_sheet_png(decoded));
    std::printf("artwork: %zu images, %d of %d files updated in %s\n", encoded.size(), written,
                files, dir.string().c_str());
    return 0;
}

int convert(const fs::path& bmp, const fs::path& png) {
    std::ifstream in(bmp, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + bmp.string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    write_if_changed(png, png_from_bmp(bytes));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--png") == 0) {
        try {
            return convert(argv[2], argv[3]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "artwork: %s: %s\n", argv[2], e.what());
            return 1;
        }
    }
    const bool list = argc == 3 && std::strcmp(argv[2], "--list") == 0;
    if (argc < 2 || argc > 3 || (argc == 3 && !list) || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: artwork OUTPUT_DIR [--list]\n"
                             "       artwork --png IN.bmp OUT.png\n");
        return 2;
    }
    try {
        return run(argv[1], list);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "artwork: %s\n", e.what());
        return 1;
    }
}
