#pragma once
// One of the editor's images as the artwork tool handles it, before encoding
// or after decoding.
#include <cstdint>
#include <string>
#include <vector>

namespace qz::art {

struct Image {
    std::string name;  // resource name, upper case
    int32_t width = 0; // of one frame
    int32_t height = 0;
    int32_t frames = 1;           // more than one only for strips
    bool strip = false;           // QZVF rather than QZIF
    std::vector<uint32_t> pixels; // 0xAARRGGBB, straight alpha, frames one below the other

    uint32_t at(int32_t x, int32_t y, int32_t frame = 0) const {
        return pixels[(size_t(frame) * size_t(height) + size_t(y)) * size_t(width) + size_t(x)];
    }
    uint32_t& at(int32_t x, int32_t y, int32_t frame = 0) {
        return pixels[(size_t(frame) * size_t(height) + size_t(y)) * size_t(width) + size_t(x)];
    }
};

} // namespace qz::art
