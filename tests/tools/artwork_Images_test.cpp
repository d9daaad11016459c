// The generated artwork: what the editor's widgets rely on (sizes, the meter's
// lamp coding, transparent corners for the hit tests, pieces that repeat
// without a seam) and that every build embeds exactly those bytes.
#include "artwork_Images_test.h"
#include "Decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace qz::art::test {

std::vector<uint8_t> generated(const std::string& file) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    const std::string path = std::string(dir && *dir ? dir : ".") + "/resources/" + file;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

struct ImageShape {
    const char* name;
    int width, height, frames;
};
// The editor's images; edge pieces, BGND and GMM repeat when drawn larger.
const ImageShape kImages[] = {
    {"ALB", 10, 10, 1},    {"ALM", 10, 10, 1}, {"ALT", 10, 10, 1},   {"AMB", 10, 10, 1},
    {"AMT", 10, 10, 1},    {"ARB", 10, 10, 1}, {"ARM", 10, 10, 1},   {"ART", 10, 10, 1},
    {"BGND", 63, 63, 1},   {"BUT", 40, 24, 2}, {"GLB", 10, 10, 1},   {"GLM", 10, 10, 1},
    {"GLT", 10, 10, 1},    {"GMB", 10, 10, 1}, {"GMM", 128, 128, 1}, {"GMT", 10, 10, 1},
    {"GRB", 10, 10, 1},    {"GRM", 10, 10, 1}, {"GRT", 10, 10, 1},   {"I61X11", 61, 11, 1},
    {"TUNE", 32, 32, 100},
};

std::string file_of(const ImageShape& s) {
    return std::string(s.name) + (s.frames > 1 ? ".qzvf" : ".qzif");
}

Image load(const char* name) {
    for (const ImageShape& s : kImages)
        if (std::string(s.name) == name) return decode(generated(file_of(s)));
    ADD_FAILURE() << "no image " << name;
    return {};
}

uint32_t alpha(uint32_t px) {
    return px >> 24;
}

int distance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int shift = 0; shift < 32; shift += 8)
        d += std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF));
    return d;
}

TEST(Artwork, EveryImageHasTheSizeAndFormatTheEditorExpects) {
    for (const ImageShape& s : kImages) {
        SCOPED_TRACE(s.name);
        const std::vector<uint8_t> bytes = generated(file_of(s));
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), s.frames > 1 ? "QZVF" : "QZIF");
        const Image img = decode(bytes); // also checks the length against the header
        EXPECT_EQ(img.width, s.width);
        EXPECT_EQ(img.height, s.height);
        EXPECT_EQ(img.frames, s.frames);
    }
}

TEST(Artwork, MeterTemplateCodesThirtyOnePixelLampsPerLine) {
    const Image m = load("I61X11");
    ASSERT_EQ(m.pixels.size(), 61u * 11u);
    std::map<std::pair<int, int>, std::set<std::pair<int, int>>> lamps; // (line, lamp) -> pixels
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const uint32_t px = m.at(x, y);
            if (px == 0) continue;
            ASSERT_EQ(alpha(px), 255u) << x << "," << y << ": lamps are opaque, the rest all 0";
            ASSERT_EQ(px >> 8 & 0xFF, 0u) << x << "," << y << ": green is 0";
            const int lamp = px >> 16 & 0xFF, line = px & 0xFF;
            ASSERT_LT(lamp, 30);
            ASSERT_LT(line, 2);
            lamps[{line, lamp}].insert({x, y});
        }
    ASSERT_EQ(lamps.size(), 60u);
    for (int line = 0; line < 2; ++line) {
        int previous_x = -1;
        for (int lamp = 0; lamp < 30; ++lamp) {
            const auto& pixels = lamps[{line, lamp}];
            ASSERT_FALSE(pixels.empty());
            const int x = pixels.begin()->first;
            for (const auto& p : pixels)
                EXPECT_EQ(p.first, x)
                    << "line " << line << " lamp " << lamp << " is one pixel wide";
            EXPECT_GT(x, previous_x) << "lamps run left to right";
            previous_x = x;
        }
    }
    // The upper line lies above the lower one (a lamp's pixels share x, so
    // they are ordered by y).
    const auto& upper = lamps[std::pair{0, 0}];
    const auto& lower = lamps[std::pair{1, 0}];
    EXPECT_LT(upper.rbegin()->second, lower.begin()->second);
}

// Mean colour jump across the seam where the image meets its own copy, next
// to the mean jump between neighbouring pixels inside it. Each pixel is first
// averaged with its neighbours along the seam, so that a fine grain does not
// hide a jump in the broader texture.
struct Seam {
    double across = 0, inside = 0;
};
Seam seam(const Image& img, bool horizontal) {
    const int n = horizontal ? img.width : img.height, m = horizontal ? img.height : img.width;
    auto channel = [&](int along, int other, int shift) {
        const uint32_t px = horizontal ? img.at(along, other) : img.at(other, along);
        return int(px >> shift & 0xFF);
    };
    constexpr int kReach = 3;
    auto smoothed = [&](int along, int other, int shift) {
        double sum = 0;
        for (int k = -kReach; k <= kReach; ++k)
            sum += channel(along, ((other + k) % m + m) % m, shift);
        return sum / (2 * kReach + 1);
    };
    auto jump = [&](int a, int b, int other) {
        double d = 0;
        for (int shift = 0; shift < 32; shift += 8)
            d += std::abs(smoothed(a, other, shift) - smoothed(b, other, shift));
        return d;
    };
    Seam s;
    for (int j = 0; j < m; ++j) {
        s.across += jump(n - 1, 0, j);
        for (int i = 1; i < n; ++i)
            s.inside += jump(i - 1, i, j);
    }
    s.across /= m;
    s.inside /= double(m) * (n - 1);
    return s;
}

TEST(Artwork, RepeatedPiecesTileWithoutSeams) {
    struct Case {
        const char* name;
        bool horizontal, vertical;
    };
    // The glass repeats only sideways: 108 of its 128 rows fill the panel's height.
    for (const Case& c :
         {Case{"BGND", true, true}, Case{"GMM", true, false}, Case{"AMT", true, false},
          Case{"AMB", true, false}, Case{"ALM", false, true}, Case{"ARM", false, true},
          Case{"GMT", true, false}, Case{"GMB", true, false}, Case{"GLM", false, true},
          Case{"GRM", false, true}}) {
        SCOPED_TRACE(c.name);
        const Image img = load(c.name);
        for (bool horizontal : {true, false}) {
            if (horizontal ? !c.horizontal : !c.vertical) continue;
            const Seam s = seam(img, horizontal);
            // No bigger a step than a typical one inside the texture.
            EXPECT_LE(s.across, s.inside + 1.5)
                << (horizontal ? "left/right" : "top/bottom") << " seam; inside " << s.inside;
        }
    }
}

TEST(Artwork, GlassBorderLeavesItsInnerFourPixelsToTheGlass) {
    // GMM runs under the inner 4 pixels of the border; the right and bottom
    // pieces are drawn over it and must not hide it.
    struct Case {
        const char* name;
        int x0, y0, x1, y1; // the inner corner region, exclusive
    };
    for (const Case& c :
         {Case{"GLT", 6, 6, 10, 10}, Case{"GMT", 0, 6, 10, 10}, Case{"GRT", 0, 6, 4, 10},
          Case{"GLM", 6, 0, 10, 10}, Case{"GRM", 0, 0, 4, 10}, Case{"GLB", 6, 0, 10, 4},
          Case{"GMB", 0, 0, 10, 4}, Case{"GRB", 0, 0, 4, 4}}) {
        const Image img = load(c.name);
        for (int y = c.y0; y < c.y1; ++y)
            for (int x = c.x0; x < c.x1; ++x)
                EXPECT_EQ(img.at(x, y), 0u) << c.name << " at " << x << "," << y;
    }
}

// Buttons and knobs take a press only where alpha >= 128.
TEST(Artwork, ControlsAreSolidInsideAndClearInTheirCorners) {
    for (const char* name : {"BUT", "TUNE"}) {
        const Image img = load(name);
        for (int f = 0; f < img.frames; ++f) {
            const int w = img.width - 1, h = img.height - 1;
            for (auto [x, y] : {std::pair{0, 0}, {w, 0}, {0, h}, {w, h}})
                EXPECT_LT(alpha(img.at(x, y, f)), 128u) << name << " frame " << f;
            EXPECT_GE(alpha(img.at(img.width / 2, img.height / 2, f)), 128u)
                << name << " frame " << f;
        }
    }
    const Image but = load("BUT");
    int changed = 0;
    for (int y = 0; y < but.height; ++y)
        for (int x = 0; x < but.width; ++x)
            changed += but.at(x, y, 0) != but.at(x, y, 1);
    EXPECT_GT(changed, 100) << "the lit frame must look lit";
}

// The pointer: pixels of a frame that differ from the knob at rest (the
// commonest value of each pixel over all frames); their weighted mean angle
// from the centre, in degrees clockwise from straight up.
double pointer_angle(const Image& knob, int frame) {
    double sx = 0, sy = 0;
    for (int y = 0; y < knob.height; ++y)
        for (int x = 0; x < knob.width; ++x) {
            std::map<uint32_t, int> counts;
            for (int f = 0; f < knob.frames; ++f)
                ++counts[knob.at(x, y, f)];
            uint32_t body = 0;
            int best = 0;
            for (auto [v, n] : counts)
                if (n > best) best = n, body = v;
            const int d = distance(knob.at(x, y, frame), body);
            sx += d * (x + 0.5 - knob.width / 2.0);
            sy += d * (y + 0.5 - knob.height / 2.0);
        }
    return std::atan2(sx, -sy) * 180.0 / M_PI;
}

TEST(Artwork, KnobPointerSweepsFromLowerLeftOverTheTopToLowerRight) {
    const Image knob = load("TUNE");
    ASSERT_EQ(knob.frames, 100);
    for (int f : {0, 25, 49, 75, 99}) {
        const double want = -135.0 + 270.0 * f / 99;
        EXPECT_NEAR(pointer_angle(knob, f), want, 12.0) << "frame " << f;
    }
    const size_t frame_size = size_t(knob.width) * size_t(knob.height);
    for (int f = 1; f < knob.frames; ++f)
        EXPECT_FALSE(std::equal(knob.pixels.begin() + (f - 1) * frame_size,
                                knob.pixels.begin() + f * frame_size,
                                knob.pixels.begin() + f * frame_size))
            << "frames " << f - 1 << " and " << f << " are the same";
    // Only the pointer moves, so most tiles are shared between frames.
    EXPECT_LT(qzvf_tile_count(generated("TUNE.qzvf")), 2000u);
}

TEST(Artwork, BuildEmbedsEveryImageAsGenerated) {
    for (const ImageShape& s : kImages) {
        const auto bytes = embedded(s.name);
        ASSERT_TRUE(bytes.has_value()) << s.name << " is not embedded";
        EXPECT_TRUE(*bytes == generated(file_of(s))) << s.name << " differs from its file";
    }
}

} // namespace
} // namespace qz::art::test
