// The text widget on the platform's own text drawing (GDI under wine,
// FreeType natively), measured from the pixels it inks.
#include "QZ_Interpret.h"
#include "QZ_Library.h"
#include "QZ_Made.h"
#include "QZ_TestSupport.h"
#include "Wid_Pic.h"
#include "Wid_Text.h"
#include "Wid_Text_preview.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using qz::test::cmd;

namespace {

constexpr QZ_Rect ALL{0, 0, 200, 156};

// What a rendering left in the widget's image: where it inked, and whether
// every pixel is either opaque ink or all zero.
struct Ink {
    int32_t left = INT32_MAX, top = INT32_MAX, right = 0, bottom = 0; // right, bottom exclusive
    int count = 0;
    int stray = 0;               // neither opaque with a colour nor all zero
    uint8_t r = 0, g = 0, b = 0; // the strongest of each channel
    bool any() const { return count > 0; }
};

Ink ink_of(const QZ_Pic_Base<QZ_Pix_A32>& p) {
    Ink k;
    for (int32_t y = 0; y < p.height; ++y)
        for (int32_t x = 0; x < p.width; ++x) {
            QZ_Pix_A32 c = p.row(y)[x];
            if (c.a == 255 && (c.r | c.g | c.b)) {
                ++k.count;
                k.left = std::min(k.left, x);
                k.top = std::min(k.top, y);
                k.right = std::max(k.right, x + 1);
                k.bottom = std::max(k.bottom, y + 1);
                k.r = std::max(k.r, c.r);
                k.g = std::max(k.g, c.g);
                k.b = std::max(k.b, c.b);
            } else if (c.r | c.g | c.b | c.a) {
                ++k.stray;
            }
        }
    return k;
}

class TextWidget : public testing::Test {
protected:
    static void SetUpTestSuite() { qz::test::use_plugin_resources(); }
    template <class W = QZ_Wid_Text, class... A> W* make(const char* command, A... args) {
        return made.make<W>(command, args...);
    }
    // Attached and painted: what the first paint renders.
    Ink shown(QZ_Wid_Text* w) {
        if (w->win != &win) w->attach(&win);
        win.invalidate(ALL);
        return ink_of(w->image);
    }
    QZ_Win_Surface win{200, 156};
    qz::test::Made made; // deleted before the window, which they may be on
};

TEST_F(TextWidget, OptionsStartAsGivenAndKeepTheirRules) {
    auto* w = make("QZ_Wid_Text");
    ASSERT_NE(w, nullptr);
    const char* text = nullptr;
    int32_t color = 0, size = -1, horz = -1, bold = -1;
    ASSERT_EQ(
        QZ_command(cmd("%o -text -color -size -horz -bold"), w, &text, &color, &size, &horz, &bold),
        QZ_OK);
    EXPECT_STREQ(text, "test string");
    EXPECT_EQ(color, 0x00FFFFFF);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(horz, 0);
    EXPECT_EQ(bold, 0);
    EXPECT_EQ(w->font.get(), nullptr);

    // Given literally, and as a hex word whose top bit is set: the bits as they are.
    QZ_command(cmd("%o -color 0x00A57BBD -size 11.7 -horz -1 -bold 0.5"), w);
    QZ_command(cmd("%o -color -size -horz -bold"), w, &color, &size, &horz, &bold);
    EXPECT_EQ(uint32_t(color), 0x00A57BBDu);
    EXPECT_EQ(size, 11);
    EXPECT_EQ(horz, -1);
    EXPECT_EQ(bold, 1) << "any value but 0";
    QZ_command(cmd("%o -color 0xFF102030"), w);
    EXPECT_EQ(w->color, 0xFF102030u);

    char name[] = "Tahoma";
    QZ_command(cmd("%o -font %s"), w, name);
    std::strcpy(name, "Other");
    EXPECT_STREQ(w->font.get(), "Tahoma") << "the face name is the widget's own copy";

    std::string out = qz::test::stdout_of(
        [&] { EXPECT_EQ(QZ_command(cmd("%o -res bgnd"), w), QZ_ERROR_COMMAND_NOT_PARAM); });
    EXPECT_NE(out.find("param 'res"), std::string::npos)
        << "a widget option, not the picture widget's";
}

TEST_F(TextWidget, NothingIsRenderedWhileDetachedAndAllAtTheFirstPaint) {
    auto* w = make("QZ_Wid_Text -l 20 -t 30 -w 60 -h 16 -font Tahoma -size 11 -text Detached");
    w->update();
    w->redraw();
    EXPECT_EQ(w->image.pixels, nullptr);
    w->attach(&win);
    EXPECT_EQ(w->image.pixels, nullptr) << "attaching does not render";
    win.invalidate(ALL);
    ASSERT_EQ(w->image.width, 60);
    ASSERT_EQ(w->image.height, 16);
    Ink k = ink_of(w->image);
    EXPECT_GT(k.count, 20);
    EXPECT_EQ(k.stray, 0) << "opaque where inked, all zero elsewhere";
    int onWindow = 0;
    for (int32_t y = 30; y < 46; ++y)
        for (int32_t x = 20; x < 80; ++x) {
            QZ_Pix_A32 p = win.surface.row(y)[x];
            onWindow += (p.r | p.g | p.b) != 0;
        }
    EXPECT_GT(onWindow, k.count / 2) << "and shown where the widget is";
}

TEST_F(TextWidget, OnlyANewTextReferenceRendersAgain) {
    char first[] = "Hello";
    auto* w =
        make("QZ_Wid_Text -w 80 -h 20 -font Tahoma -size 14 -color 0x000000FF -text %s", first);
    Ink red = shown(w);
    ASSERT_TRUE(red.any());
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);

    // Options do not render; the same reference again does not either.
    QZ_command(cmd("%o -color 0x0000FF00 -text %s"), w, first);
    Ink still = shown(w);
    EXPECT_EQ(still.r, 255);
    EXPECT_EQ(still.g, 0);

    char second[] = "Hello";
    QZ_command(cmd("%o -text %s"), w, second);
    Ink green = shown(w);
    EXPECT_EQ(green.r, 0) << "an equal text at a new address renders";
    EXPECT_EQ(green.g, 255);
    EXPECT_EQ(green.count, red.count);

    // The editor's read-outs: one buffer rewritten, then update and redraw.
    std::strcpy(second, "Hi");
    QZ_command(cmd("%o -text %s"), w, second);
    EXPECT_EQ(shown(w).count, green.count) << "a plain paint keeps the last rendering";
    w->update();
    w->redraw();
    Ink hi = ink_of(w->image);
    EXPECT_LT(hi.right - hi.left, green.right - green.left);
}

TEST_F(TextWidget, HorzAlignsLeftCentreOrRightAndTheLineIsCentredVertically) {
    struct Case {
        int32_t horz;
        const char* where;
    } cases[] = {{-1, "left"}, {-7, "left"}, {0, "centre"}, {5, "right"}};
    for (const Case& c : cases) {
        auto* w = make("QZ_Wid_Text -w 120 -h 40 -font Tahoma -size 16 -horz %i -text HgH", c.horz);
        Ink k = shown(w);
        ASSERT_TRUE(k.any()) << c.horz;
        const int32_t before = k.left, after = 120 - k.right;
        if (std::strcmp(c.where, "left") == 0) {
            EXPECT_LE(before, 2) << c.horz;
            EXPECT_GT(after, 50) << c.horz;
        } else if (std::strcmp(c.where, "right") == 0) {
            EXPECT_LE(after, 2) << c.horz;
            EXPECT_GT(before, 50) << c.horz;
        } else {
            EXPECT_NEAR(before, after, 2) << c.horz;
        }
        // The line box (ascent and descent) is centred: capitals above the
        // middle, the descender of "g" below it.
        EXPECT_LT(k.top, 20);
        EXPECT_GT(k.bottom, 20);
        EXPECT_NEAR(k.top + k.bottom, 40, 6) << "top " << k.top << " bottom " << k.bottom;
        w->attach(nullptr);
    }
}

TEST_F(TextWidget, LongTextIsClippedToTheWidgetOnOneLine) {
    for (int32_t horz : {-1, 0, 1}) {
        auto* w = make("QZ_Wid_Text -w 40 -h 14 -font Tahoma -size 11 -horz %i -text %s", horz,
                       "a line of text far longer than its widget");
        Ink k = shown(w);
        EXPECT_GT(k.count, 20) << horz;
        EXPECT_EQ(k.stray, 0);
        EXPECT_LE(k.bottom - k.top, 14) << "one line";
        // Left and centred, ink up to both edges, bar a gap between letters.
        // Where a right-aligned line that does not fit starts is the
        // platform's own (wine's does not end it at the right edge).
        if (horz <= 0) {
            EXPECT_LE(k.left, 4) << horz;
            EXPECT_GE(k.right, 36) << horz;
        }
        w->attach(nullptr);
    }
}

TEST_F(TextWidget, ColourIsBlueGreenRedAndEdgesAreOpaqueColourMixedWithBlack) {
    auto* w = make("QZ_Wid_Text -w 60 -h 30 -font Tahoma -size 24 -bold 1 -color 0x00A57BBD -text "
                   "HI");
    Ink k = shown(w);
    ASSERT_TRUE(k.any());
    EXPECT_EQ(k.stray, 0);
    EXPECT_EQ(k.r, 0xBD);
    EXPECT_EQ(k.g, 0x7B);
    EXPECT_EQ(k.b, 0xA5);
    int full = 0, edge = 0;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 60; ++x) {
            QZ_Pix_A32 p = w->image.row(y)[x];
            if (!p.a) continue;
            // Darker toward black, never off the colour's order of channels.
            EXPECT_GE(p.r + 2, p.b) << x << "," << y;
            EXPECT_GE(p.b + 2, p.g) << x << "," << y;
            (p.r == 0xBD && p.g == 0x7B && p.b == 0xA5 ? full : edge)++;
        }
    EXPECT_GT(full, 20) << "the strokes' inside is the colour itself";
    EXPECT_GT(edge, 0) << "anti-aliased edges";
}

TEST_F(TextWidget, BoldAndSizeMakeOneFontEachAndShowWithTheNextText) {
    EXPECT_EQ(make("QZ_Wid_Text -size 12")->typeface, nullptr) << "no face name";
    EXPECT_EQ(make("QZ_Wid_Text -font Tahoma")->typeface, nullptr) << "no size";

    char text[] = "Sample";
    auto* w = make("QZ_Wid_Text -w 160 -h 40 -font Tahoma -size 10 -text %s", text);
    const auto regular = w->typeface;
    ASSERT_NE(regular, nullptr);
    QZ_command(cmd("%o -size 10 -font %s"), w, "Tahoma");
    EXPECT_EQ(w->typeface, regular) << "nothing changed, no new font";
    QZ_command(cmd("%o -bold 1"), w);
    const auto heavy = w->typeface;
    EXPECT_NE(heavy, regular);
    QZ_command(cmd("%o -bold 1"), w);
    EXPECT_EQ(w->typeface, heavy) << "bold again makes none";

    QZ_command(cmd("%o -bold 0"), w);
    Ink small = shown(w);
    QZ_command(cmd("%o -size 24 -bold 1"), w);
    Ink same = shown(w);
    EXPECT_EQ(same.count, small.count) << "the old font until the text changes";
    EXPECT_EQ(same.bottom - same.top, small.bottom - small.top);

    char again[] = "Sample";
    QZ_command(cmd("%o -text %s"), w, again);
    Ink big = shown(w);
    EXPECT_GT(big.bottom - big.top, (small.bottom - small.top) * 2 - 2);
    QZ_command(cmd("%o -size 10 -text %s"), w, text);
    EXPECT_GT(shown(w).count, small.count) << "bold inks more than regular";
}

// The editor's texts where the editor puts them, over its background, each
// one inked; leaves a picture of them for people to look at.
TEST_F(TextWidget, EditorTextsOverTheBackground) {
    make<QZ_Wid_Pic>("QZ_Wid_Pic -w 200 -h 156 -l 0 -t 0 -res bgnd")->attach(&win);
    // The title, and the button's caption in the platform's default font.
    std::vector<QZ_Wid_Text*> texts = {
        make("QZ_Wid_Text -l 10 -t 8 -h 16 -w 180 -font tahoma -size 11 -text %s",
             "Velvet Rampart"),
        make("QZ_Wid_Text -l 63 -t 41 -w 50 -h 14 -color 0x00A57BBD -horz -1 -text Sustain")};
    // Captions and read-outs.
    struct Label {
        const char* text;
        int32_t color, left, top, width;
    } labels[] = {
        {"In/Out", 14729408, 129, 48, 41}, {"Sustain", 14729408, 10, 75, 64},
        {"-6dB", 11579568, 10, 121, 64},   {"Tone", 14729408, 68, 75, 64},
        {"150Hz", 11579568, 68, 121, 64},  {"Level", 14729408, 126, 75, 64},
        {"-6dB", 11579568, 126, 121, 64},
    };
    for (const Label& l : labels)
        texts.push_back(make("QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w %i "
                             "-h 14",
                             "Tahoma", 11, l.color, l.text, l.left, l.top, l.width));
    for (QZ_Wid_Text* t : texts)
        t->attach(&win);
    win.invalidate(ALL);
    for (QZ_Wid_Text* t : texts) {
        Ink k = ink_of(t->image);
        EXPECT_GT(k.count, 15) << t->text;
        EXPECT_EQ(k.stray, 0) << t->text;
    }
    EXPECT_FALSE(qz::test::save_preview(win.surface, "text-widget").empty())
        << "the picture of the texts could not be written";
}

} // namespace
