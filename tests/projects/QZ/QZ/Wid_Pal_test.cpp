// The level meter on the editor's template and lines.
#include "QZ_Interpret.h"
#include "QZ_Library.h"
#include "QZ_TestSupport.h"
#include "QZ_cfuncs.h"
#include "Wid_Pal.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using qz::test::cmd;

namespace {

using qz::test::word;

struct Counting : QZ_Win_Surface {
    int paints = 0;
    Counting() : QZ_Win_Surface(200, 156) {}
    void invalidate(const QZ_Rect& r) override {
        ++paints;
        QZ_Win_Surface::invalidate(r);
    }
};

class Meter : public testing::Test {
protected:
    static void SetUpTestSuite() { qz::test::use_plugin_resources(); }
    void SetUp() override {
        ASSERT_EQ(QZ_command(cmd("QZ_Wid_Pal -w 61 -h 11 -l 119 -t 36 -res i61x11"), &pal), QZ_OK);
        ASSERT_NE(pal->templ.pixels, nullptr);
        for (int i = 0; i < 2; ++i)
            QZ_command(cmd("QZ_Wid_Pal %o -ln %o -cg %i -ch r -bg 0xFF000000 -mn 0 -mx 29 -fg "
                           "0xFFC0E0FF -rl .9 "
                           "-rg 0xFFFF0000"),
                       pal, &lines[i], i);
    }
    void TearDown() override { QZ_command(cmd("%o -delete"), pal); }
    void select(int i) { QZ_command(cmd("%o -ln %o"), pal, &lines[i]); }
    // The working image's colour of lamp s of line i, at one of its pixels:
    // opaque in the template, red byte s, blue byte i. (Transparent template
    // pixels match line 0's lamp 0 too, but keep alpha 0 whatever is written.)
    uint32_t lamp(int i, int s) {
        for (int32_t y = 0; y < pal->templ.height; ++y)
            for (int32_t x = 0; x < pal->templ.width; ++x)
                if (word(pal->templ.row(y)[x]) ==
                    0xFF000000u + uint32_t(s) * 0x10000u + uint32_t(i))
                    return word(pal->image.row(y)[x]);
        ADD_FAILURE() << "no pixel for lamp " << s;
        return 0;
    }
    QZ_Wid_Pal* pal = nullptr;
    QZ_Wid_Pal_Line lines[2];
};

constexpr uint32_t BG = 0xFF000000, LIT = 0xFFC0E0FF, UPPER = 0xFFFF0000;

TEST_F(Meter, EditorLineLightsLampsAndMixesTheOneAtTheLevel) {
    Counting win;
    QZ_command(cmd("QZ_Wid %o -win %o"), pal, &win);
    select(0);
    pal->level(0.5f, true);
    EXPECT_EQ(win.paints, 1) << "the first level repaints even without a repaint asked for";
    for (int s = 0; s < 15; ++s)
        EXPECT_EQ(lamp(0, s), LIT) << s;
    for (int s = 15; s < 30; ++s)
        EXPECT_EQ(lamp(0, s), BG) << s;
    for (int s = 0; s < 30; ++s)
        EXPECT_EQ(lamp(1, s), 0xFF000000u + uint32_t(s) * 0x10000u + 1) << "line 2 untouched";

    pal->level(0.51f, false);
    EXPECT_EQ(win.paints, 2);
    float frac = 30 * 0.51f - 15;
    uint32_t mixed = 0;
    for (int sh = 0; sh < 32; sh += 8)
        mixed |= uint32_t((1 - frac) * float(BG >> sh & 255) + frac * float(LIT >> sh & 255)) << sh;
    EXPECT_EQ(lamp(0, 15), mixed);
    EXPECT_EQ(lamp(0, 15), 0xFF39434Cu) << "0.7 of the background, 0.3 of the lit colour";
    // The same level again rewrites the lamp at the level and no other: a
    // lamp marked by hand keeps its mark.
    for (int32_t y = 0; y < pal->image.height; ++y)
        for (int32_t x = 0; x < pal->image.width; ++x)
            if (word(pal->templ.row(y)[x]) == 0xFF0E0000u)
                std::memset(pal->image.row(y) + x, 0x11, 4);
    pal->level(0.51f, true);
    EXPECT_EQ(lamp(0, 15), mixed) << "the same level again";
    EXPECT_EQ(lamp(0, 14), 0x11111111u);

    pal->level(1.0f, true);
    EXPECT_EQ(lamp(0, 26), LIT) << "26/29 is just below the threshold";
    for (int s = 27; s < 30; ++s)
        EXPECT_EQ(lamp(0, s), UPPER) << s;
    pal->level(0.0f, true);
    for (int s = 0; s < 30; ++s)
        EXPECT_EQ(lamp(0, s), BG) << s;
    EXPECT_EQ(win.paints, 2) << "no repaint when told so";
    QZ_command(cmd("QZ_Wid %o -win 0"), pal);
}

TEST_F(Meter, OutOfRangeLevelsAndLampsAreLimited) {
    select(0);
    for (float x : {2.0f, 1.0f}) {
        pal->level(x, true);
        EXPECT_EQ(lamp(0, 29), UPPER) << x;
    }
    for (float x : {-1.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f}) {
        pal->level(x, true);
        EXPECT_EQ(lamp(0, 0), BG) << x;
    }
    // A line reaching the last lamp number, and one of a single lamp: nothing
    // outside the 256 boxes is touched, nothing divides by zero.
    QZ_Wid_Pal_Line wide, single;
    for (auto [l, mn, mx] : {std::tuple{&wide, 0, 255}, std::tuple{&single, 5, 5}}) {
        QZ_command(cmd("%o -ln %o -ch r -mn %i -mx %i -fg 0xFFFFFFFF -rl 2"), pal, l, mn, mx);
        pal->level(1.0f, true);
        pal->level(0.3f, true);
    }
    EXPECT_EQ(lamp(0, 5), 0x4C4C4C4Cu) << "the single lamp at 0.3 of white";
    EXPECT_EQ(lamp(0, 6), 0xFFFFFFFFu) << "lit by the wide line, left alone by the single one";
}

TEST_F(Meter, ChannelKeyAndBoxesAsConfigured) {
    QZ_Wid_Pal_Line l;
    QZ_command(cmd("%o -ln 0"), pal);
    char text[32];
    int capacity = sizeof text;
    EXPECT_EQ(QZ_command_text(cmd("%o -mn 3 -mn -ch"), text, &capacity, pal), QZ_OK);
    EXPECT_EQ(capacity, 0) << "no line selected: nothing reported";
    QZ_command(cmd("%o -ln %o -ch g -cg 0xFF00FF07"), pal, &l);
    EXPECT_EQ(l.cg, 0xFF00FF07u) << "ch before cg leaves the key as cg gave it";
    QZ_command(cmd("%o -ch x"), pal);
    EXPECT_EQ(l.channel, 1);
    EXPECT_EQ(l.cg, 0x00000007u) << "x keeps the channel but clears its byte and alpha";

    // Lamps 10 … 29 lie outside this line's range: never recoloured.
    select(0);
    QZ_command(cmd("%o -mx 9"), pal);
    uint32_t before = lamp(0, 20);
    pal->level(1.0f, true);
    EXPECT_EQ(lamp(0, 9), UPPER);
    EXPECT_EQ(lamp(0, 20), before);
    // Later settings do not move the boxes made at the first level.
    QZ_Wid_Pal_Line::Box box = lines[0].boxes[3];
    QZ_command(cmd("%o -mx 29 -cg 1"), pal);
    pal->level(0.0f, true);
    EXPECT_EQ(std::memcmp(&lines[0].boxes[3], &box, sizeof box), 0);
    EXPECT_EQ(lines[0].boxes[20].minX, 2147483647) << "lamp 20 still has no box";
}

} // namespace
