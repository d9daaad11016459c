#include "QZ_Encode.h"

#include <array>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace qz::art {
namespace {

constexpr int kTile = 4;
constexpr size_t kMaxTiles = 65536; // tile numbers are 16-bit

using Tile = std::array<uint32_t, kTile * kTile>;

struct TileHash {
    size_t operator()(const Tile& t) const {
        // FNV-1a over the words: cheap, and the map only needs a spread.
        uint64_t h = 1469598103934665603ull;
        for (uint32_t w : t) {
            h ^= w;
            h *= 1099511628211ull;
        }
        return static_cast<size_t>(h ^ (h >> 32));
    }
};

void put_u16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

void put_magic(std::vector<uint8_t>& out, const char* magic) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(magic[i]));
}

void check_positive(const char* format, const char* what, int32_t v) {
    if (v <= 0)
        throw std::invalid_argument(std::string(format) + ": " + what + " must be positive, got " +
                                    std::to_string(v));
}

// The whole file must be addressable on the target (32-bit size_t included).
size_t checked_size(const char* format, uint64_t bytes) {
    if (bytes > static_cast<uint64_t>(SIZE_MAX) || bytes > (uint64_t(1) << 40))
        throw std::invalid_argument(std::string(format) + ": image too large (" +
                                    std::to_string(bytes) + " bytes)");
    return static_cast<size_t>(bytes);
}

} // namespace

std::vector<uint8_t> encode_qzif(int32_t width, int32_t height, const uint32_t* pixels) {
    check_positive("QZIF", "width", width);
    check_positive("QZIF", "height", height);
    const uint64_t count = uint64_t(width) * uint64_t(height);
    std::vector<uint8_t> out;
    out.reserve(checked_size("QZIF", 12 + 4 * count));
    put_magic(out, "QZIF");
    put_u32(out, static_cast<uint32_t>(width));
    put_u32(out, static_cast<uint32_t>(height));
    for (uint64_t i = 0; i < count; ++i)
        put_u32(out, pixels[i]);
    return out;
}

std::vector<uint8_t> encode_qzvf(int32_t width, int32_t height, int32_t frames,
                                 const uint32_t* pixels) {
    check_positive("QZVF", "width", width);
    check_positive("QZVF", "height", height);
    check_positive("QZVF", "frame count", frames);
    const int32_t tw = (width - 1) / kTile + 1;
    const int32_t th = (height - 1) / kTile + 1;
    const uint64_t entries = uint64_t(frames) * uint64_t(tw) * uint64_t(th);
    checked_size("QZVF", uint64_t(frames) * uint64_t(width) * uint64_t(height) * 4 + entries * 2);

    std::unordered_map<Tile, uint32_t, TileHash> numbers;
    std::vector<const Tile*> pool; // in number order; keys are stable in the map
    std::vector<uint32_t> index;
    index.reserve(static_cast<size_t>(entries));

    for (int32_t f = 0; f < frames; ++f) {
        const uint32_t* frame = pixels + size_t(f) * size_t(height) * size_t(width);
        for (int32_t ty = 0; ty < th; ++ty) {
            for (int32_t tx = 0; tx < tw; ++tx) {
                Tile tile{}; // beyond the frame's edge: 0
                for (int y = 0; y < kTile; ++y) {
                    const int32_t fy = ty * kTile + y;
                    if (fy >= height) break;
                    for (int x = 0; x < kTile; ++x) {
                        const int32_t fx = tx * kTile + x;
                        if (fx < width)
                            tile[y * kTile + x] = frame[size_t(fy) * size_t(width) + size_t(fx)];
                    }
                }
                auto [it, added] = numbers.try_emplace(tile, static_cast<uint32_t>(pool.size()));
                if (added) {
                    if (pool.size() == kMaxTiles)
                        throw std::invalid_argument(
                            "QZVF: more than 65536 distinct 4x4 tiles; tile numbers are 16-bit");
                    pool.push_back(&it->first);
                }
                index.push_back(it->second);
            }
        }
    }

    std::vector<uint8_t> out;
    out.reserve(20 + 64 * pool.size() + 2 * index.size());
    put_magic(out, "QZVF");
    put_u32(out, static_cast<uint32_t>(width));
    put_u32(out, static_cast<uint32_t>(height));
    put_u32(out, static_cast<uint32_t>(pool.size()));
    put_u32(out, static_cast<uint32_t>(frames));
    for (const Tile* t : pool)
        for (uint32_t px : *t)
            put_u32(out, px);
    for (uint32_t n : index)
        put_u16(out, n);
    return out;
}

} // namespace qz::art
