// Pictures, the blend, and the QZIF reader (with our encoder).
#include "Pic/Base.h"
#include "QZ_Encode.h"
#include "QZ_Pic.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using qz::test::word;

QZ_Pix_A32 pix(uint32_t argb) {
    QZ_Pix_A32 p;
    std::memcpy(&p, &argb, 4);
    return p;
}

// A heap picture filled with one colour.
struct Filled : QZ_Pic_Base<QZ_Pix_A32> {
    Filled(int32_t w, int32_t h, uint32_t argb) {
        EXPECT_TRUE(resize(w, h));
        for (int32_t i = 0; i < w * h; ++i)
            pixels[i] = pix(argb);
    }
};

// The blend as written: every pixel looked up with its own modulo.
void reference_blend(const QZ_Pic_Base<QZ_Pix_A32>& s, QZ_Pic_Base<QZ_Pix_A32>& d, int32_t dx,
                     int32_t dy, const QZ_Rect& r) {
    if (!s.pixels) return;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            QZ_Pix_A32 sp = s.pixels[(y % s.height) * s.width + x % s.width];
            QZ_Pix_A32& dp = d.pixels[(y - r.top + dy) * d.width + x - r.left + dx];
            int a = sp.a;
            auto ch = [a](uint8_t dc, uint8_t sc) {
                int diff = (int(sc) - int(dc)) * a;
                int shifted = diff >= 0 ? diff / 256 : -((-diff + 255) / 256); // floor
                return uint8_t((int(dc) + shifted) & 255);
            };
            dp = {ch(dp.b, sp.b), ch(dp.g, sp.g), ch(dp.r, sp.r), ch(dp.a, sp.a)};
        }
}

TEST(Blend, GivenFigures) {
    struct Case {
        const char* what;
        uint32_t src, dst, want;
    } cases[] = {
        {"opaque white over black", 0xFFFFFFFF, 0xFF000000, 0xFFFEFEFE},
        {"opaque black over white", 0xFF000000, 0xFFFFFFFF, 0xFF000000},
        {"alpha 0 leaves the pixel", 0x00FFFFFF, 0x80123456, 0x80123456},
        {"alpha 128 over alpha 0", 0x80000000, 0x00000000, 0x40000000},
        {"channels keep their order", 0xFF102030, 0xFF000000, 0xFF0F1F2F},
    };
    for (const Case& c : cases) {
        Filled s(1, 1, c.src), d(1, 1, c.dst);
        blend(s, d, 0, 0, {0, 0, 1, 1});
        EXPECT_EQ(word(d.pixels[0]), c.want) << c.what;
    }
}

TEST(Blend, RepeatsTheSourceAcrossALargerRectangle) {
    QZ_Pic_Base<QZ_Pix_A32> s;
    ASSERT_TRUE(s.resize(10, 10));
    for (int32_t i = 0; i < 100; ++i)
        s.pixels[i] = pix(0xFF000000u | uint32_t(i) * 0x010101u);
    Filled d(30, 10, 0xFF000000);
    blend(s, d, 0, 0, {0, 0, 30, 10});
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 30; ++x)
            ASSERT_EQ(word(d.row(y)[x]),
                      0xFF000000u | uint32_t((y * 10 + x % 10) * 255 >> 8) * 0x010101u)
                << x << "," << y;

    QZ_Pic_Base<QZ_Pix_A32> empty;
    blend(empty, d, 0, 0, {0, 0, 30, 10});
    EXPECT_EQ(word(d.pixels[0]), 0xFF000000u) << "an empty source draws nothing";
}

TEST(Blend, MatchesTheScalarReference) {
    std::mt19937 g(7);
    auto any = [&](int lo, int hi) {
        return int32_t(std::uniform_int_distribution<int>(lo, hi)(g));
    };
    for (int round = 0; round < 300; ++round) {
        QZ_Pic_Base<QZ_Pix_A32> s, d, want;
        ASSERT_TRUE(s.resize(any(1, 13), any(1, 13)));
        ASSERT_TRUE(d.resize(any(1, 40), any(1, 40)));
        ASSERT_TRUE(want.resize(d.width, d.height));
        for (int32_t i = 0; i < s.width * s.height; ++i)
            s.pixels[i] = pix(uint32_t(g()));
        // Alphas 0 and 255 at times, where the arithmetic has its ends.
        if (round % 3 == 0) s.pixels[0].a = 0;
        if (round % 3 == 1) s.pixels[0].a = 255;
        for (int32_t i = 0; i < d.width * d.height; ++i)
            want.pixels[i] = d.pixels[i] = pix(uint32_t(g()));
        int32_t w = any(0, d.width), h = any(0, d.height);
        int32_t dx = any(0, d.width - w), dy = any(0, d.height - h);
        int32_t left = any(0, 50), top = any(0, 50);
        QZ_Rect r{left, top, left + w, top + h};
        blend(s, d, dx, dy, r);
        reference_blend(s, want, dx, dy, r);
        ASSERT_EQ(std::memcmp(d.pixels, want.pixels, size_t(d.width) * d.height * 4), 0)
            << "round " << round;
    }
}

TEST(Picture, ResizeGivesRowsWithoutPaddingOrCountsAsEmpty) {
    QZ_Pic<QZ_Pix_A32> p;
    EXPECT_EQ(p.pixels, nullptr);
    ASSERT_TRUE(p.resize(7, 3));
    EXPECT_EQ(p.width, 7);
    EXPECT_EQ(p.row(2), p.pixels + 14);
    ASSERT_TRUE(p.resize(64, 64)); // the earlier memory is given back, not leaked
    EXPECT_EQ(p.row(63), p.pixels + 63 * 64);
    for (auto [w, h] : {std::pair{0, 5}, {5, -1}, {0x7FFFFFFF, 0x7FFFFFFF}}) {
        EXPECT_FALSE(p.resize(w, h)) << w << "x" << h;
        EXPECT_EQ(p.pixels, nullptr);
        EXPECT_EQ(p.width, 0);
        Filled d(2, 2, 0xFF000000);
        blend(p, d, 0, 0, {0, 0, 2, 2});
        EXPECT_EQ(word(d.pixels[3]), 0xFF000000u) << "a failed picture draws nothing";
    }
}

TEST(Qzif, RoundTripAndExactSize) {
    std::mt19937 g(3);
    for (auto [w, h] : {std::pair{61, 11}, {1, 1}, {63, 63}, {5, 128}}) {
        std::vector<uint32_t> px(size_t(w) * h);
        for (auto& p : px)
            p = uint32_t(g());
        std::vector<uint8_t> file = qz::art::encode_qzif(w, h, px.data());
        ASSERT_EQ(file.size(), 12u + 4u * w * h);
        QZ_Pic_Base<QZ_Pix_A32> pic;
        ASSERT_TRUE(pic.map(file.data()));
        EXPECT_EQ(pic.width, w);
        EXPECT_EQ(pic.height, h);
        EXPECT_EQ(static_cast<const void*>(pic.pixels), file.data() + 12) << "mapped, not copied";
        for (int32_t i = 0; i < w * h; ++i)
            ASSERT_EQ(word(pic.pixels[i]), px[size_t(i)]) << i;
    }
    EXPECT_EQ(qz::art::encode_qzif(61, 11, std::vector<uint32_t>(61 * 11).data()).size(), 2696u);
}

TEST(Qzif, WrongMagicIsReportedAndLeavesThePicture) {
    uint32_t px = 0xFF112233;
    std::vector<uint8_t> good = qz::art::encode_qzif(1, 1, &px);
    QZ_Pic_Base<QZ_Pix_A32> pic;
    ASSERT_TRUE(pic.map(good.data()));
    for (const char* magic : {"QZVF", "qzif", "\0ZIF"}) {
        std::vector<uint8_t> bad = good;
        std::memcpy(bad.data(), magic, 4);
        qz::test::ReportCapture capture;
        EXPECT_FALSE(pic.map(bad.data()));
        ASSERT_EQ(capture.reports().size(), 1u);
        const std::string& text = capture.reports()[0].text;
        EXPECT_EQ(text.rfind("Error: Invalid QZIF header\nFile: projects/QZ/QZ/Pic/Base.cpp\n"
                             "Line: 21\nProc: QZ_Pic_Base<TPix>::map\nDate: ",
                             0),
                  0u)
            << text;
        EXPECT_EQ(static_cast<const void*>(pic.pixels), good.data() + 12);
    }
}

} // namespace
