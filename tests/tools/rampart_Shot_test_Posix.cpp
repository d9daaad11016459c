// rampart shot, the real program: the editor's picture shows the parameters
// it was given and the level of the audio run through it.
#include "rampart_TestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>

namespace rampart {
namespace {

using test::contains;
using test::Ran;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // cairo's ARGB32 words, rows without padding
};

Picture read_png(const std::string& path) {
    Picture p;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        p.width = cairo_image_surface_get_width(s);
        p.height = cairo_image_surface_get_height(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < p.height; ++y) {
            auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
            p.pixels.insert(p.pixels.end(), row, row + p.width);
        }
    }
    cairo_surface_destroy(s);
    return p;
}

// Where the editor's layout puts things (QZ_Application.cpp).
struct Box {
    int left, top, width, height;
};
constexpr Box kMeter{119, 36, 61, 11};
constexpr Box kSustainKnob{26, 89, 32, 32};
constexpr Box kLevelKnob{142, 89, 32, 32};
constexpr Box kKnobRow{10, 75, 180, 60};

// Pixels inside `box` that differ; with `outside`, those outside it.
int differing(const Picture& a, const Picture& b, Box box, bool outside = false) {
    int n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            bool in = x >= box.left && x < box.left + box.width && y >= box.top &&
                      y < box.top + box.height;
            if (in != outside && a.pixels[y * a.width + x] != b.pixels[y * b.width + x]) ++n;
        }
    return n;
}

class Shot : public testing::Test {
protected:
    void SetUp() override { dir_ = test::scratch_dir(); }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

TEST_F(Shot, ShowsTheParametersAndTheMetersLevel) {
    test::Audio silence = test::ramp(20000);
    std::fill(silence.samples.begin(), silence.samples.end(), 0.0f);
    test::write_wav(file("silent.wav"), silence);
    test::write_wav(file("loud.wav"), test::ramp(20000));
    const std::map<std::string, std::vector<std::string>> shots = {
        {"plain", {}},
        {"off", {"--state", "off"}},
        {"sustain", {"--sustain", "-40"}},
        {"silent", {"--in", file("silent.wav")}},
        {"loud", {"--in", file("loud.wav"), "--block", "300"}},
    };
    std::map<std::string, Picture> pic;
    for (const auto& [name, options] : shots) {
        std::vector<std::string> args = {"shot", file(name + ".png")};
        args.insert(args.end(), options.begin(), options.end());
        Ran r = test::run_rampart(args);
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_TRUE(contains(r.out, "saved the editor (200 x 156) to " + file(name + ".png")))
            << r.out;
        EXPECT_FALSE(test::file_exists(file(name + ".png.part")));
        pic[name] = read_png(file(name + ".png"));
        ASSERT_EQ(pic[name].width, 200) << name;
        ASSERT_EQ(pic[name].height, 156) << name;
        for (uint32_t px : pic[name].pixels)
            ASSERT_EQ(px >> 24, 0xFFu) << name << ": the panel is opaque";
    }
    const Picture& plain = pic["plain"];
    EXPECT_GT(differing(plain, pic["off"], kKnobRow), 500); // dimmed knobs and captions
    EXPECT_GT(differing(plain, pic["sustain"], kSustainKnob), 0);
    EXPECT_EQ(differing(plain, pic["sustain"], kLevelKnob), 0);
    // Audio lights the meter by its level, and changes nothing else.
    const Picture& silent = pic["silent"];
    EXPECT_GT(differing(silent, pic["loud"], kMeter), 50);
    EXPECT_EQ(differing(silent, pic["loud"], kMeter, true), 0);
    EXPECT_EQ(differing(plain, silent, kMeter, true), 0);
}

TEST_F(Shot, FailsClearlyAndWritesNothing) {
    test::write_wav(file("in.wav"), test::ramp(100));
    test::expect_refused(
        {
            {{"shot", file("out.png"), "--in", file("none.wav")},
             1,
             "cannot open " + file("none.wav")},
            {{"shot", file("out.png"), "--in", file("in.wav"), "--channel", "2"},
             2,
             "--channel 2: " + file("in.wav") + " has one channel\n(see rampart shot --help)"},
            {{"shot", file("out.png"), "--sustain", "5"}, 2, "--sustain must be from -45 to 0 dB"},
            {{"shot", file("out.png"), "--channel", "1"}, 2, "shot: --channel needs --in"},
            {{"shot", file("out.bmp")}, 2, "name it .png"},
            {{"shot", file("no/such/dir/out.png")},
             1,
             "cannot write " + file("no/such/dir/out.png")},
        },
        file("out.png"));
}

} // namespace
} // namespace rampart
