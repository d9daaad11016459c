#include "Decode.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace qz::art {
namespace {

uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void expect(bool ok, const char* format, const std::string& what) {
    if (!ok) throw std::runtime_error(std::string(format) + ": " + what);
}

bool has_magic(const std::vector<uint8_t>& b, const char* magic) {
    return b.size() >= 4 && std::memcmp(b.data(), magic, 4) == 0;
}

// Width and height as the readers take them: signed, and here also positive.
int32_t dimension(const std::vector<uint8_t>& b, size_t at, const char* format) {
    const int32_t v = static_cast<int32_t>(u32(b, at));
    expect(v > 0, format, "size field " + std::to_string(v) + " is not positive");
    return v;
}

} // namespace

Image decode_qzif(const std::vector<uint8_t>& b) {
    expect(has_magic(b, "QZIF") && b.size() >= 12, "QZIF", "bad header");
    Image img;
    img.width = dimension(b, 4, "QZIF");
    img.height = dimension(b, 8, "QZIF");
    const uint64_t count = uint64_t(img.width) * uint64_t(img.height);
    expect(b.size() == 12 + 4 * count, "QZIF",
           "size " + std::to_string(b.size()) + " does not match the header");
    img.pixels.resize(size_t(count));
    for (size_t i = 0; i < img.pixels.size(); ++i)
        img.pixels[i] = u32(b, 12 + 4 * i);
    return img;
}

Image decode_qzvf(const std::vector<uint8_t>& b) {
    expect(has_magic(b, "QZVF") && b.size() >= 20, "QZVF", "bad header");
    Image img;
    img.strip = true;
    img.width = dimension(b, 4, "QZVF");
    img.height = dimension(b, 8, "QZVF");
    const uint32_t tiles = u32(b, 12);
    img.frames = dimension(b, 16, "QZVF");
    const uint64_t tw = (uint64_t(img.width) - 1) / 4 + 1, th = (uint64_t(img.height) - 1) / 4 + 1;
    const uint64_t entries = uint64_t(img.frames) * tw * th;
    const size_t index_at = 20 + 64 * size_t(tiles);
    expect(b.size() == index_at + 2 * entries, "QZVF",
           "size " + std::to_string(b.size()) + " does not match the header");
    img.pixels.resize(size_t(img.frames) * size_t(img.width) * size_t(img.height));
    for (int32_t f = 0; f < img.frames; ++f)
        for (int32_t y = 0; y < img.height; ++y)
            for (int32_t x = 0; x < img.width; ++x) {
                const size_t entry = (size_t(f) * th + size_t(y / 4)) * tw + size_t(x / 4);
                const uint32_t tile =
                    b[index_at + 2 * entry] | uint32_t(b[index_at + 2 * entry + 1]) << 8;
                expect(tile < tiles, "QZVF",
                       "tile number " + std::to_string(tile) + " out of range");
                img.at(x, y, f) =
                    u32(b, 20 + 64 * size_t(tile) + 16 * size_t(y % 4) + 4 * size_t(x % 4));
            }
    return img;
}

Image decode(const std::vector<uint8_t>& b) {
    return has_magic(b, "QZVF") ? decode_qzvf(b) : decode_qzif(b);
}

uint32_t qzvf_tile_count(const std::vector<uint8_t>& b) {
    expect(has_magic(b, "QZVF") && b.size() >= 20, "QZVF", "bad header");
    return u32(b, 12);
}

} // namespace qz::art
