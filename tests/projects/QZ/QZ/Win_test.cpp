// The window's grid, paint order, tint and mouse rules, and the widgets they
// drive, without a window system: an off-screen window records what a screen
// would have been asked to do.
#include "QZ_Interpret.h"
#include "QZ_Library.h"
#include "QZ_Made.h"
#include "QZ_TestSupport.h"
#include "QZ_cfuncs.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Pic.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using qz::test::cmd;

namespace {

// Records repaint requests and the cells a paint hands on.
struct Recorder : QZ_Win_Surface {
    std::vector<QZ_Rect> invalidated, copied;
    Recorder(int32_t w = 200, int32_t h = 156) : QZ_Win_Surface(w, h) {}
    void invalidate(const QZ_Rect& r) override {
        invalidated.push_back(r);
        QZ_Win_Surface::invalidate(r);
    }
    void copy_cell(void* t, const QZ_Rect& clip, int32_t sx, int32_t sy) override {
        copied.push_back(clip);
        QZ_Win_Surface::copy_cell(t, clip, sx, sy);
    }
};

// The images live in the plug-in's resources: the DLL's under wine, the
// generated table natively.
class Widgets : public testing::Test {
protected:
    static void SetUpTestSuite() { qz::test::use_plugin_resources(); }
    template <class W, class... A> W* make(const char* command, A... args) {
        return made.make<W>(command, args...);
    }
    qz::test::Made made;
};

uint32_t at(const QZ_Pic_Base<QZ_Pix_A32>& p, int32_t x, int32_t y) {
    return qz::test::word(p.row(y)[x]);
}

TEST_F(Widgets, GridCellsAndPaintOrder) {
    Recorder win;
    EXPECT_EQ(win.columns, 4);
    EXPECT_EQ(win.rows, 3);
    win.paint(&win.surface, {0, 0, 200, 156});
    ASSERT_EQ(win.copied.size(), 12u);
    EXPECT_EQ(win.copied[0], (QZ_Rect{0, 128, 64, 156})) << "bottom row first, left to right";
    EXPECT_EQ(win.copied[3], (QZ_Rect{192, 128, 200, 156}));
    EXPECT_EQ(win.copied[11], (QZ_Rect{192, 0, 200, 64}));
    win.copied.clear();
    win.paint(&win.surface, {150, 100, 900, 700});
    EXPECT_EQ(win.copied.size(), 4u) << "limited to the last row and column";
    EXPECT_EQ(win.copied.back(), (QZ_Rect{192, 100, 256, 128}));

    struct Case {
        int32_t left, width, cells;
    } cases[] = {{0, 64, 1}, {1, 64, 2},    {64, 0, 0},   {0, 0, 1},
                 {10, 0, 1}, {-100, 50, 0}, {150, 500, 2}};
    for (const Case& c : cases) {
        auto* w = make<QZ_Wid_Pic>("QZ_Wid_Pic -l %i -t 0 -w %i -h 10", c.left, c.width);
        w->attach(&win);
        EXPECT_EQ(w->entryCount, c.cells) << "left " << c.left << " width " << c.width;
        w->attach(&win);
        EXPECT_EQ(w->entryCount, c.cells) << "attached twice: one set";
        w->attach(nullptr);
        EXPECT_EQ(w->entryCount, 0);
        w->attach(nullptr); // without a window: nothing
    }
}

TEST_F(Widgets, PictureRepeatsItsImageAndTakesItsSize) {
    auto* fit = make<QZ_Wid_Pic>("QZ_Wid_Pic -res alt");
    EXPECT_EQ(fit->width, 10);
    EXPECT_EQ(fit->height, 10);
    auto* row = make<QZ_Wid_Pic>("QZ_Wid_Pic -w 180 -h 10 -l 3 -t 5 -res amt");
    EXPECT_EQ(row->width, 180);
    QZ_Pic_Base<QZ_Pix_A32> strip;
    ASSERT_TRUE(strip.resize(180, 10));
    std::memset(strip.pixels, 0, 180 * 10 * 4);
    row->draw(strip, 0, 0, {0, 0, 180, 10});
    for (int32_t x = 0; x < 180; ++x)
        for (int32_t y = 0; y < 10; ++y)
            ASSERT_EQ(at(strip, x, y), at(strip, x % 10, y)) << x << "," << y;
    EXPECT_NE(at(strip, 0, 0) | at(strip, 5, 5), 0u);
    Recorder win;
    row->attach(&win);
    int32_t l = -1;
    QZ_command(cmd("%o -l 7.9"), row);
    QZ_command(cmd("%o -l"), row, &l);
    EXPECT_EQ(l, 7);
    EXPECT_EQ(row->entries[0].cell, &win.cell_at(0, 0)) << "moved while attached: placed anew";

    qz::test::ReportCapture capture;
    auto* none = make<QZ_Wid_Pic>("QZ_Wid_Pic -res no-such-image");
    EXPECT_EQ(none->image.pixels, nullptr);
    EXPECT_EQ(capture.reports().size(), 1u);
}

TEST_F(Widgets, HoverAndDisabledTints) {
    // The knob inside one cell, over a cleared back buffer: every pixel of
    // its paint is known.
    Recorder win;
    auto* pic = make<QZ_Wid_Pic>("QZ_Wid_Pic -l 100 -t 100 -w 50 -h 50 -res bgnd");
    auto* knob = make<QZ_Wid_Knob>("QZ_Wid_Knob -res tune -l 10 -t 10 -w 32 -h 32 -val 50");
    pic->attach(&win);
    knob->attach(&win);
    auto paint_knob = [&](auto&& how) {
        std::memset(win.back.pixels, 0, 64 * 64 * 4);
        how();
    };
    paint_knob([&] { win.invalidate(knob->rect()); });
    std::vector<uint32_t> plain(32 * 32);
    for (int32_t i = 0; i < 32 * 32; ++i)
        plain[size_t(i)] = at(win.surface, 10 + i % 32, 10 + i / 32);

    win.invalidated.clear();
    paint_knob([&] { win.mouse_move(26, 26); });
    ASSERT_EQ(win.hovered, knob);
    ASSERT_EQ(win.invalidated.size(), 1u);
    auto tinted = [&](double k) {
        QZ_Pic_Base<QZ_Pix_A32> one;
        one.resize(1, 1);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x) {
                std::memset(one.pixels, 0, 4);
                knob->draw(one, 0, 0, {x, y, x + 1, y + 1});
                QZ_Pix_A32 p = one.pixels[0], want{0, 0, 0, 0};
                if (p.a * k <= 255)
                    p.a = uint8_t(p.a * k);
                else
                    for (uint8_t* c : {&p.r, &p.g, &p.b})
                        *c = uint8_t(std::fmin(255.0, *c * k));
                qz::blend_pixel(want, p);
                uint32_t w;
                std::memcpy(&w, &want, 4);
                ASSERT_EQ(at(win.surface, 10 + x, 10 + y), w)
                    << "tint " << k << " at " << x << "," << y;
            }
    };
    tinted(1.5);

    auto* other = make<QZ_Wid_Knob>("QZ_Wid_Knob -res tune -l 42 -t 10 -w 32 -h 32 -val 50");
    other->attach(&win);
    win.invalidated.clear();
    win.mouse_move(58, 26);
    EXPECT_EQ(win.hovered, other);
    EXPECT_EQ(win.invalidated, (std::vector<QZ_Rect>{knob->rect(), other->rect()}))
        << "old plain, then new lit";
    win.mouse_move(26, 26);
    other->attach(nullptr);

    win.invalidated.clear();
    paint_knob([&] { win.mouse_move(120, 120); });
    EXPECT_EQ(win.hovered, nullptr) << "a picture is never hovered";
    ASSERT_EQ(win.invalidated.size(), 1u) << "the knob repainted plain";
    for (int32_t i = 0; i < 32 * 32; ++i)
        ASSERT_EQ(at(win.surface, 10 + i % 32, 10 + i / 32), plain[size_t(i)]) << i;

    win.invalidated.clear();
    paint_knob([&] { QZ_command(cmd("QZ_Wid %o -enabled 0"), knob); });
    EXPECT_EQ(win.invalidated.size(), 1u) << "disabling repaints at once";
    tinted(0.4);
    win.mouse_move(26, 26);
    win.button_down(26, 26);
    EXPECT_EQ(win.captured, nullptr) << "a disabled knob takes no press";
    win.mouse_move(60, 26);
    EXPECT_EQ(knob->frame, 49);
    win.button_up();
    win.invalidated.clear();
    QZ_command(cmd("QZ_Wid %o -vis 0"), knob);
    EXPECT_TRUE(win.invalidated.empty()) << "hiding asks for no paint";
}

TEST_F(Widgets, KnobWorkedExampleAndDrag) {
    Recorder win;
    auto* knob =
        make<QZ_Wid_Knob>("QZ_Wid_Knob -res tune -l 0 -t 0 -w 32 -h 32 -mn 0 -mx -45 -val -10");
    knob->attach(&win);
    EXPECT_EQ(knob->frame, 22);
    EXPECT_FLOAT_EQ(knob->value(), -10.0f);
    knob->press(10, 10);
    knob->drag(15, 10);
    EXPECT_EQ(knob->frame, 27);
    EXPECT_NEAR(knob->value(), -12.27f, 0.005f);
    knob->drag(15, 7);
    EXPECT_EQ(knob->frame, 30) << "up counts as right";

    knob->frame = 90;
    knob->press(0, 0);
    knob->drag(200, 0);
    EXPECT_EQ(knob->frame, 99);
    knob->drag(197, 0);
    EXPECT_EQ(knob->frame, 96) << "re-anchored at the end";

    QZ_command(cmd("%o -val -45"), knob);
    EXPECT_EQ(knob->frame, 99);
    QZ_command(cmd("%o -val -10 -mx -90"), knob);
    EXPECT_NEAR(knob->value(), -10.0f, 90.0f / 99);
    QZ_command(cmd("%o -mx 0"), knob);
    EXPECT_EQ(knob->frame, 0) << "mn equal to mx";
    EXPECT_EQ(knob->value(), 0.0f);

    QZ_command(cmd("%o -mn 0 -mx 100 -val 500"), knob);
    win.invalidated.clear();
    knob->redraw();
    EXPECT_TRUE(win.invalidated.empty()) << "a frame beyond the strip draws nothing";
    EXPECT_FALSE(knob->hit(16, 16));

    auto* bare = make<QZ_Wid_Knob>("QZ_Wid_Knob -w 32 -h 32 -val 50");
    EXPECT_EQ(bare->frame, 0) << "no strip: the value is ignored";
    bare->press(0, 0);
    bare->drag(10, 0);
    EXPECT_FALSE(bare->hit(5, 5));
}

struct Bound : QZ_value {
    int calls = 0;
    void* seen = nullptr;
    void apply(void* data) override {
        ++calls;
        seen = data;
    }
};
int notified = 0;
void notify(void*) {
    ++notified;
}

TEST_F(Widgets, ButtonStateNotifyAndBoundValue) {
    Recorder win;
    auto* b = make<QZ_Wid_Butt>("QZ_Wid_Butt -w 40 -h 24 -l 10 -t 10 -res but -com %o", &notify);
    b->attach(&win);
    notified = 0;
    QZ_command(cmd("%o -val 0.5"), b);
    EXPECT_TRUE(b->state);
    EXPECT_EQ(b->frame, 1);
    EXPECT_EQ(notified, 1);
    win.invalidated.clear();
    QZ_command(cmd("%o -val 1"), b);
    EXPECT_EQ(notified, 1) << "the same state again: no redraw, no notification";
    EXPECT_TRUE(win.invalidated.empty());

    win.mouse_move(30, 22);
    ASSERT_EQ(win.hovered, b);
    win.button_down(30, 22);
    win.button_up();
    EXPECT_FALSE(b->state) << "a press toggles";
    EXPECT_EQ(notified, 2);

    Bound v;
    int dat = 0;
    QZ_command(cmd("%o -var %o -dat %o"), b, &v, &dat);
    b->press(0, 0);
    EXPECT_EQ(v.calls, 1);
    EXPECT_EQ(v.seen, &dat);
    EXPECT_EQ(v.asInt(), 1);
    EXPECT_EQ(v.type, QZ_value::INT);
    EXPECT_FALSE(b->state) << "the old frame stays until the owner answers";
    EXPECT_EQ(b->frame, 0);
    // Kinds kept: an integer's, a real's (as the number), a switch's.
    for (int32_t kind : {int32_t(QZ_value::INT), int32_t(QZ_value::FLOAT), 6}) {
        Bound k;
        k.type = kind;
        QZ_command(cmd("%o -var %o"), b, &k);
        b->press(0, 0);
        EXPECT_EQ(k.type, kind);
        if (kind == QZ_value::FLOAT)
            EXPECT_EQ(k.asFloat(), 1.0f);
        else
            EXPECT_EQ(k.asInt(), 1);
    }

    EXPECT_FALSE(b->hit(0, 0)) << "a transparent corner is not the button";
    auto* bare = make<QZ_Wid_Butt>("QZ_Wid_Butt -w 40 -h 24");
    EXPECT_FALSE(bare->hit(20, 12));
}

} // namespace

namespace {

bool same(const QZ_Rect& a, const QZ_Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(RepaintRequest, KeptAsOneRectangleWithinTheWindowUntilPainted) {
    struct {
        std::vector<QZ_Rect> asked;
        bool painted;
        QZ_Rect expected;
    } cases[] = {
        {{{10, 20, 30, 40}}, true, {10, 20, 30, 40}},
        {{{10, 20, 30, 40}, {50, 5, 60, 25}}, true, {10, 5, 60, 40}},
        {{{-5, -5, 300, 300}}, true, {0, 0, 200, 156}},
        {{{10, 10, 10, 20}, {250, 0, 260, 10}}, false, {}}, // empty or outside: nothing
        {{}, false, {}},
    };
    for (auto& c : cases) {
        Recorder win;
        for (const QZ_Rect& r : c.asked)
            win.request_repaint(r);
        EXPECT_TRUE(win.invalidated.empty()); // asking paints nothing
        EXPECT_EQ(win.paint_pending(), c.painted);
        ASSERT_EQ(win.invalidated.size(), c.painted ? 1u : 0u);
        if (c.painted) {
            EXPECT_TRUE(same(win.invalidated[0], c.expected));
        }
        EXPECT_FALSE(win.paint_pending()); // taken by the paint
    }
}

} // namespace
