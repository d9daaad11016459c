// Frame strips: the QZVF reader (with our encoder), drawing frames and the hit test.
#include "QZ_Encode.h"
#include "QZ_TestSupport.h"
#include "Vid.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using qz::test::word;

// Frames one below the other, as the encoder takes them.
struct Strip {
    int32_t w, h, frames;
    std::vector<uint32_t> px;
    uint32_t& at(int32_t f, int32_t x, int32_t y) { return px[size_t((f * h + y) * w + x)]; }
};

Strip random_strip(int32_t w, int32_t h, int32_t frames, uint32_t seed) {
    Strip s{w, h, frames, std::vector<uint32_t>(size_t(w) * h * frames)};
    std::mt19937 g(seed);
    for (auto& p : s.px)
        p = uint32_t(g());
    return s;
}

// Each 4 × 4 tile position i of the strip filled with the colour of ids[i].
Strip strip_of_tiles(int32_t w, int32_t h, int32_t frames, const std::vector<int>& ids) {
    Strip s{w, h, frames, std::vector<uint32_t>(size_t(w) * h * frames)};
    int32_t tw = (w - 1) / 4 + 1, th = (h - 1) / 4 + 1;
    for (int32_t f = 0; f < frames; ++f)
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                s.at(f, x, y) = 0xFF000000u + uint32_t(ids[size_t((f * th + y / 4) * tw + x / 4)]);
    return s;
}

// An opaque canvas with a border, to see what a draw touches.
struct Canvas : QZ_Pic_Base<QZ_Pix_A32> {
    Canvas(int32_t w, int32_t h) {
        EXPECT_TRUE(resize(w, h));
        std::memset(pixels, 0x5A, size_t(w) * h * 4);
    }
};

TEST(Qzvf, ExactSizesOfTheGivenStrips) {
    struct Case {
        int32_t w, h, frames, distinct;
        size_t bytes;
    } cases[] = {{40, 24, 2, 74, 4996}, {32, 32, 100, 1525, 110420}};
    for (const Case& c : cases) {
        int32_t per_frame = ((c.w - 1) / 4 + 1) * ((c.h - 1) / 4 + 1);
        std::vector<int> ids(size_t(per_frame * c.frames));
        for (size_t i = 0; i < ids.size(); ++i)
            ids[i] = int(i % size_t(c.distinct));
        Strip s = strip_of_tiles(c.w, c.h, c.frames, ids);
        std::vector<uint8_t> file = qz::art::encode_qzvf(c.w, c.h, c.frames, s.px.data());
        EXPECT_EQ(file.size(), c.bytes) << c.w << "x" << c.h;
        QZ_Vid v;
        ASSERT_TRUE(v.map(file.data()));
        EXPECT_EQ(v.tiles, c.distinct);
        EXPECT_EQ(v.frames, c.frames);
        EXPECT_EQ(v.pool, file.data() + 20);
        EXPECT_EQ(v.index, file.data() + 20 + 64 * c.distinct);
    }
}

TEST(Qzvf, RoundTripDrawsEveryFrameAndNothingBeyondIt) {
    // Widths and heights that are and are not multiples of 4.
    for (auto [w, h] : {std::pair{10, 7}, {8, 8}, {13, 5}, {1, 1}}) {
        Strip s = random_strip(w, h, 3, uint32_t(w * 100 + h));
        for (auto& p : s.px)
            p |= 0xFF000000u; // opaque: the canvas shows the frame as it is
        std::vector<uint8_t> file = qz::art::encode_qzvf(w, h, 3, s.px.data());
        // The pixels of edge tiles beyond the frame made opaque: drawing must never show them.
        QZ_Vid v;
        ASSERT_TRUE(v.map(file.data()));
        int32_t tw = (w - 1) / 4 + 1, th = (h - 1) / 4 + 1;
        for (int32_t i = 0; i < 3 * tw * th; ++i) {
            int32_t tx = i % tw, ty = i / tw % th;
            uint16_t t = uint16_t(v.index[2 * i] | v.index[2 * i + 1] << 8);
            for (int32_t y = 0; y < 4; ++y)
                for (int32_t x = 0; x < 4; ++x)
                    if (tx * 4 + x >= w || ty * 4 + y >= h)
                        std::memset(file.data() + 20 + 64 * t + y * 16 + x * 4, 0xFF, 4);
        }
        for (int32_t f = 0; f < 3; ++f) {
            Canvas c(w + 8, h + 8);
            ASSERT_TRUE(v.draw_frame(f, c, 3, 2, {0, 0, w, h}));
            for (int32_t y = 0; y < c.height; ++y)
                for (int32_t x = 0; x < c.width; ++x) {
                    bool inside = x >= 3 && x < 3 + w && y >= 2 && y < 2 + h;
                    uint32_t want = 0x5A5A5A5A;
                    if (inside) {
                        uint32_t p =
                            s.at(f, x - 3, y - 2); // opaque over 0x5A: (s - 0x5A) * 255 >> 8
                        want = 0;
                        for (int sh = 0; sh < 32; sh += 8) {
                            int sc = int(p >> sh & 255);
                            want |= uint32_t((0x5A + ((sc - 0x5A) * 255 >> 8)) & 255) << sh;
                        }
                    }
                    ASSERT_EQ(word(c.row(y)[x]), want)
                        << w << "x" << h << " frame " << f << " at " << x << "," << y;
                }
        }
    }
}

TEST(Qzvf, DrawsAPartOfAFrameAtItsPlace) {
    Strip s = random_strip(13, 9, 2, 11);
    std::vector<uint8_t> file = qz::art::encode_qzvf(13, 9, 2, s.px.data());
    QZ_Vid v;
    ASSERT_TRUE(v.map(file.data()));
    Canvas got(20, 20), want(20, 20);
    const QZ_Rect r{3, 2, 11, 7};
    ASSERT_TRUE(v.draw_frame(1, got, 5, 6, r));
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            uint32_t p = s.at(1, x, y);
            QZ_Pix_A32 sp;
            std::memcpy(&sp, &p, 4);
            qz::blend_pixel(want.row(y - r.top + 6)[x - r.left + 5], sp);
        }
    EXPECT_EQ(std::memcmp(got.pixels, want.pixels, 20 * 20 * 4), 0);
}

TEST(Qzvf, AlphaHitAt127And128) {
    Strip s = strip_of_tiles(10, 6, 2, std::vector<int>(2 * 3 * 2, 0));
    for (auto& p : s.px)
        p &= 0x00FFFFFF;
    s.at(1, 5, 2) = 0x7F000000;
    s.at(1, 6, 2) = 0x80000000;
    s.at(0, 9, 5) = 0xFF000000; // the last pixel of a frame whose width is not a multiple of 4
    std::vector<uint8_t> file = qz::art::encode_qzvf(10, 6, 2, s.px.data());
    QZ_Vid v;
    ASSERT_TRUE(v.map(file.data()));
    EXPECT_FALSE(v.alpha_hit(1, 5, 2));
    EXPECT_TRUE(v.alpha_hit(1, 6, 2));
    EXPECT_FALSE(v.alpha_hit(0, 6, 2)) << "frames are told apart";
    EXPECT_TRUE(v.alpha_hit(0, 9, 5));
    EXPECT_FALSE(v.alpha_hit(0, 10, 5)) << "outside the frame";
    EXPECT_FALSE(v.alpha_hit(2, 6, 2)) << "no such frame";
}

TEST(Qzvf, WrongMagicIsReportedAndAnEmptyViewDrawsAndHitsNothing) {
    uint32_t px[16] = {};
    std::vector<uint8_t> good = qz::art::encode_qzvf(4, 4, 1, px);
    std::vector<uint8_t> qzif = qz::art::encode_qzif(4, 4, px);
    QZ_Vid v;
    qz::test::ReportCapture capture;
    EXPECT_FALSE(v.map(qzif.data()));
    ASSERT_EQ(capture.reports().size(), 1u);
    EXPECT_EQ(
        capture.reports()[0].text.rfind("Error: Invalid QZVF header\nFile: "
                                        "projects/QZ/QZ/Vid.cpp\nLine: 14\nProc: QZ_Vid::map\n",
                                        0),
        0u)
        << capture.reports()[0].text;
    EXPECT_EQ(v.frames, 0);
    EXPECT_EQ(v.pool, nullptr);
    Canvas c(4, 4);
    EXPECT_FALSE(v.draw_frame(0, c, 0, 0, {0, 0, 4, 4}));
    EXPECT_FALSE(v.alpha_hit(0, 0, 0));
    EXPECT_EQ(word(c.pixels[0]), 0x5A5A5A5Au);

    ASSERT_TRUE(v.map(good.data()));
    good[0] = 'X';
    EXPECT_FALSE(v.map(good.data()));
    EXPECT_EQ(v.frames, 1) << "a rejected header leaves the view as it was";
}

} // namespace
