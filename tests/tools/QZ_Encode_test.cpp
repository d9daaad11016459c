// What a decoding round trip cannot see: exact bytes on any host, tile
// numbering and padding, and the inputs the encoder refuses.
#include "QZ_Encode.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qz::art {
namespace {

uint32_t word_at(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

TEST(QzifEncode, WritesHeaderAndPixelsLittleEndian) {
    const uint32_t px[] = {0x11223344, 0xAABBCCDD};
    const std::vector<uint8_t> want = {'Q', 'Z', 'I',  'F',  2,    0,    0,    0,    1,    0,
                                       0,   0,   0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA};
    EXPECT_EQ(encode_qzif(2, 1, px), want);
}

// 6 x 5 frames (2 x 2 tiles, the right and bottom ones partly beyond the
// frame), the second frame differing from the first in one pixel only.
TEST(QzvfEncode, StoresEachTileOnceInOrderOfFirstUse) {
    constexpr int w = 6, h = 5;
    const uint32_t a = 0xFF102030, b = 0x80405060, c = 0xFF000001;
    std::vector<uint32_t> px(2 * w * h, a);
    px[4 * w + 5] = b;         // frame 0, (5, 4)
    px[w * h + 4 * w + 5] = b; // frame 1, the same
    px[w * h] = c;             // frame 1, (0, 0)
    const std::vector<uint8_t> out = encode_qzvf(w, h, 2, px.data());

    ASSERT_EQ(out.size(), 20u + 64 * 5 + 2 * 8);
    EXPECT_EQ(word_at(out, 4), 6u);
    EXPECT_EQ(word_at(out, 8), 5u);
    EXPECT_EQ(word_at(out, 12), 5u) << "tile count";
    EXPECT_EQ(word_at(out, 16), 2u) << "frame count";

    const size_t index = 20 + 64 * 5;
    const uint16_t want_index[] = {0, 1, 2, 3, 4, 1, 2, 3};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(out[index + 2 * i] | out[index + 2 * i + 1] << 8, want_index[i]) << "entry " << i;

    auto tile_px = [&](int tile, int x, int y) {
        return word_at(out, 20 + 64 * tile + 16 * y + 4 * x);
    };
    // Tile 1: frame columns 4 and 5, then two columns beyond the frame.
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(tile_px(1, 0, y), a);
        EXPECT_EQ(tile_px(1, 1, y), a);
        EXPECT_EQ(tile_px(1, 2, y), 0u);
        EXPECT_EQ(tile_px(1, 3, y), 0u);
    }
    // Tile 3: only row 0, columns 0 and 1 lie inside the frame.
    EXPECT_EQ(tile_px(3, 0, 0), a);
    EXPECT_EQ(tile_px(3, 1, 0), b);
    for (int y = 1; y < 4; ++y)
        EXPECT_EQ(tile_px(3, 0, y), 0u);
    EXPECT_EQ(tile_px(4, 0, 0), c);
    EXPECT_EQ(tile_px(4, 1, 0), a);
}

std::string message_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(ImageEncode, RefusesSizesThatAreNotPositive) {
    const uint32_t px[4] = {};
    EXPECT_NE(message_of([&] { encode_qzif(0, 1, px); }).find("width"), std::string::npos);
    EXPECT_NE(message_of([&] { encode_qzif(1, -3, px); }).find("height"), std::string::npos);
    EXPECT_NE(message_of([&] { encode_qzvf(-1, 1, 1, px); }).find("width"), std::string::npos);
    EXPECT_NE(message_of([&] { encode_qzvf(1, 0, 1, px); }).find("height"), std::string::npos);
    EXPECT_NE(message_of([&] { encode_qzvf(2, 2, 0, px); }).find("frame count"), std::string::npos);
}

TEST(ImageEncode, RefusesImagesTooLargeToAddress) {
    const uint32_t px[1] = {};
    EXPECT_THROW(encode_qzif(0x7FFFFFFF, 0x7FFFFFFF, px), std::invalid_argument);
    EXPECT_THROW(encode_qzvf(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, px), std::invalid_argument);
}

// One 4 x 4 frame per tile, each unlike all others.
std::vector<uint32_t> distinct_frames(int count) {
    std::vector<uint32_t> px(size_t(count) * 16, 0);
    for (int f = 0; f < count; ++f)
        px[size_t(f) * 16] = uint32_t(f);
    return px;
}

TEST(QzvfEncode, TakesAtMost65536DistinctTiles) {
    const std::vector<uint32_t> full = distinct_frames(65536);
    const std::vector<uint8_t> out = encode_qzvf(4, 4, 65536, full.data());
    EXPECT_EQ(word_at(out, 12), 65536u);
    EXPECT_EQ(out[out.size() - 2], 0xFF);
    EXPECT_EQ(out[out.size() - 1], 0xFF) << "the last tile is number 65535";

    const std::vector<uint32_t> over = distinct_frames(65537);
    EXPECT_NE(message_of([&] { encode_qzvf(4, 4, 65537, over.data()); }).find("65536"),
              std::string::npos);
}

} // namespace
} // namespace qz::art
