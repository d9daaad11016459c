#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Interpret.h"
#include "QZ_Math.h"
#include "QZ_Object.h"
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Text.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

using qz::test::close_to;
using qz::test::cmd;
using qz::test::Host;
using A = QZ_Application;

namespace {

QZ_Wid_Knob* knob(Host& h, int field) {
    return static_cast<QZ_Wid_Knob*>(h.app().widgets[field]);
}
std::string readout(Host& h, int field) {
    return static_cast<QZ_Wid_Text*>(h.app().widgets[field])->text;
}
// One frame of a knob's strip, in its value's units.
float step(QZ_Wid_Knob* k) {
    return std::fabs(k->mx - k->mn) / float(k->strip.frames - 1);
}

struct KnobCase {
    int param, knob, text;
};
const KnobCase kKnobs[] = {{1, A::W_SUSTAIN_KNOB, A::W_SUSTAIN_TEXT},
                           {2, A::W_TONE_KNOB, A::W_TONE_TEXT},
                           {3, A::W_LEVEL_KNOB, A::W_LEVEL_TEXT}};

TEST(Editor, AfterCreateEveryWidgetExistsAndShowsTheDefaults) {
    Host h;
    for (int i = 0; i < A::WIDGETS; ++i)
        EXPECT_NE(h.app().widgets[i], nullptr) << i;
    const char* texts[] = {"-6dB", "150Hz", "-6dB"};
    const float values[] = {-6.0f, 150.0f, -6.0f};
    for (int i = 0; i < 3; ++i) {
        QZ_Wid_Knob* k = knob(h, kKnobs[i].knob);
        ASSERT_GT(k->strip.frames, 1);
        EXPECT_NEAR(k->value(), values[i], step(k)) << i;
        EXPECT_EQ(readout(h, kKnobs[i].text), texts[i]);
        // the knob is bound to its parameter and hands the application over
        EXPECT_EQ(k->var, static_cast<QZ_value*>(h.app().param(kKnobs[i].param)));
        EXPECT_EQ(k->dat, &h.app());
    }
    EXPECT_EQ(h.said, ""); // nothing refused, nothing missing
}

TEST(Editor, SetParameterMovesTheKnobAndTheReadOut) {
    struct {
        int c;
        float x, value;
        const char* text;
    } cases[] = {{0, 0.2f, -9.0f, "-9dB"}, {0, 1.0f, -45.0f, "-45dB"}, {1, 1.0f, 400.0f, "400Hz"},
                 {1, 0.0f, 50.0f, "50Hz"}, {2, 0.0f, -45.0f, "-45dB"}, {2, 1.0f, -3.0f, "-3dB"}};
    Host h;
    for (auto& t : cases) {
        const KnobCase& kc = kKnobs[t.c];
        QZ_Wid_Knob* k = knob(h, kc.knob);
        const int32_t frame = k->frame;
        const std::string text = readout(h, kc.text);
        h.set(kc.param, t.x);
        // Nothing of the editor's on the host's thread: it follows on its own.
        EXPECT_EQ(k->frame, frame) << t.text;
        EXPECT_EQ(readout(h, kc.text), text);
        h.app().follow(false);
        EXPECT_NEAR(k->value(), t.value, step(k)) << t.text;
        EXPECT_EQ(readout(h, kc.text), t.text);
    }
}

TEST(Editor, RealParametersTakeTheirRangeFromTheirKnobs) {
    Host h;
    QZ_command(cmd("QZ_Wid_Knob %o -mx -30"), h.app().widgets[A::W_SUSTAIN_KNOB]);
    h.set(1, 1.0f);
    EXPECT_EQ(h.app().sustain.real(), -30.0f);
    h.set(1, 0.5f);
    EXPECT_EQ(h.get(1), 0.5f);
}

TEST(Editor, StateSwitchesTheKnobsCaptionsReadOutsAndMeterOnly) {
    Host h;
    for (float x : {0.0f, 1.0f}) {
        h.set(0, x);
        h.app().follow(false);
        for (int i = 0; i < A::WIDGETS; ++i) {
            bool follows = i >= A::W_SUSTAIN_CAPTION;
            auto* w = static_cast<QZ_Wid*>(h.app().widgets[i]);
            EXPECT_EQ(w->enabled, follows ? int(x) : 1) << i;
        }
    }
}

// The editor object as a host reaches it: through the dispatcher where hosts
// are given it; directly where the plug-in keeps it off-screen.
struct EditorHost : Host {
    QZ_Main_Vst_Editor* editor() { return object()->editorObject(); }
    ERect* rect() {
        ERect* r = nullptr;
        if (QZ_Main_Vst_Editor::forHosts())
            EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
        else
            EXPECT_TRUE(editor()->getRect(&r));
        return r;
    }
    // No host window: the framework window stays without a screen on Windows.
    void open() {
        if (QZ_Main_Vst_Editor::forHosts())
            EXPECT_EQ(dispatch(effEditOpen), 1);
        else
            EXPECT_TRUE(editor()->open(nullptr));
    }
    void close() {
        if (QZ_Main_Vst_Editor::forHosts())
            EXPECT_EQ(dispatch(effEditClose), 0);
        else
            editor()->close();
    }
};

TEST(EditorHost, OpenCloseOpenShowsTheSameWidgetsWithCurrentValues) {
    EditorHost h;
    ASSERT_NE(h.editor(), nullptr);
    QZ_Win* win = h.editor()->window();
    EXPECT_EQ(win->width, 200);
    EXPECT_EQ(win->height, 156);
    ERect* r = h.rect();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->top, 0);
    EXPECT_EQ(r->left, 0);
    EXPECT_EQ(r->bottom, 156);
    EXPECT_EQ(r->right, 200);
    QZ_Object* before[A::WIDGETS];
    std::copy(std::begin(h.app().widgets), std::end(h.app().widgets), before);
    size_t objects = qz::live_objects();
    for (int round = 0; round < 2; ++round) {
        h.open();
        EXPECT_EQ(h.rect(), r);
        EXPECT_EQ(h.app().window, win);
        for (int i = 0; i < A::WIDGETS; ++i) {
            EXPECT_EQ(h.app().widgets[i], before[i]);
            EXPECT_EQ(static_cast<QZ_Wid*>(before[i])->win, win) << i;
        }
        EXPECT_EQ(win->widgets.count, A::WIDGETS);
        // the host's idle and key calls change nothing
        for (int32_t op : {effEditIdle, effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
            EXPECT_EQ(h.dispatch(op, 'a', 1), 0);
        h.close();
        for (QZ_Object* o : before)
            EXPECT_EQ(static_cast<QZ_Wid*>(o)->win, nullptr);
        EXPECT_EQ(win->widgets.count, 0);
        EXPECT_EQ(h.app().window, win); // kept after close
        h.set(1, 0.2f);                 // while closed
    }
    h.open();
    EXPECT_EQ(readout(h, A::W_SUSTAIN_TEXT), "-9dB");
    EXPECT_NEAR(knob(h, A::W_SUSTAIN_KNOB)->value(), -9.0f, step(knob(h, A::W_SUSTAIN_KNOB)));
    EXPECT_EQ(qz::live_objects(), objects);
    EXPECT_EQ(h.rect(), r);
    EXPECT_EQ(h.said, "");
}

// The panel as an editor opened off-screen shows it: the widgets attached
// to a window of their own, painted whole, detached again.
std::vector<uint32_t> panel_of(Host& h) {
    QZ_Win_Surface win(200, 156);
    h.app().attach(&win);
    win.invalidate({0, 0, 200, 156});
    std::vector<uint32_t> px(size_t(200) * 156);
    for (int y = 0; y < 156; ++y)
        std::memcpy(px.data() + size_t(y) * 200, win.surface.row(y), 200 * 4);
    h.app().detach();
    return px;
}

TEST(EditorHost, ChangesWhileClosedShowAtTheNextOpenAsInAnInstanceMadeWithThem) {
    const float x[A::PARAMS] = {0.0f, 0.2f, 0.9f, 0.35f}; // State off: the fading too
    Host changed, made;
    const auto first = panel_of(changed); // opened and closed with the defaults
    for (int p = 0; p < A::PARAMS; ++p) {
        changed.set(p, x[p]);
        made.set(p, x[p]);
    }
    const auto reopened = panel_of(changed);
    EXPECT_NE(reopened, first);
    EXPECT_EQ(reopened, panel_of(made)); // read-outs, knobs, button, fading: every pixel
    for (const KnobCase& k : kKnobs) {
        EXPECT_EQ(knob(changed, k.knob)->frame, knob(made, k.knob)->frame);
        EXPECT_EQ(readout(changed, k.text), readout(made, k.text));
    }
    EXPECT_EQ(readout(changed, A::W_SUSTAIN_TEXT), "-9dB");
    auto button = [](Host& h) { return static_cast<QZ_Wid_Butt*>(h.app().widgets[A::W_BUTTON]); };
    EXPECT_EQ(button(changed)->frame, 0);
    EXPECT_EQ(button(made)->frame, 0);
}

TEST(EditorHost, EveryFrameOfEveryKnobComesBackToItselfThroughItsParameter) {
    Host h;
    for (const KnobCase& kc : kKnobs) {
        QZ_Wid_Knob* k = knob(h, kc.knob);
        A::Param* p = h.app().param(kc.param);
        for (int32_t f = 0; f < k->strip.frames; ++f) {
            k->frame = f;
            p->setReal(k->value()); // what a drag to frame f stores
            p->apply(&h.app());
            h.app().follow(false);
            ASSERT_EQ(k->frame, f) << kc.param;
            ASSERT_EQ(p->real(), k->value());
        }
    }
    // A value between frames shows the frame below it, as before.
    h.set(1, 0.2f); // -9 dB: frame 19.8
    h.app().follow(false);
    EXPECT_EQ(knob(h, A::W_SUSTAIN_KNOB)->frame, 19);
}

// The panel in an off-screen window, driven by the window's own mouse rules.
struct Panel : testing::Test {
    Host h;
    QZ_Win_Surface win{200, 156};
    void SetUp() override {
        h.app().attach(&win);
        win.invalidate({0, 0, 200, 156});
    }
    void TearDown() override { h.app().detach(); }
    QZ_Rect rect(int field) { return static_cast<QZ_Wid*>(h.app().widgets[field])->rect(); }
    std::vector<uint32_t> pixels(const QZ_Rect& r) {
        std::vector<uint32_t> px;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                uint32_t v;
                std::memcpy(&v, win.surface.row(y) + x, 4);
                px.push_back(v);
            }
        return px;
    }
};

TEST_F(Panel, DraggingAKnobSetsItsParameterReadOutAndBlocks) {
    struct {
        int knob, text, param, dx, dy;
        const char* unit;
    } cases[] = {{A::W_SUSTAIN_KNOB, A::W_SUSTAIN_TEXT, 1, 20, 0, "dB"},
                 {A::W_TONE_KNOB, A::W_TONE_TEXT, 2, 0, -30, "Hz"},
                 {A::W_LEVEL_KNOB, A::W_LEVEL_TEXT, 3, -25, 0, "dB"}};
    A& a = h.app();
    for (auto& c : cases) {
        QZ_Wid_Knob* k = knob(h, c.knob);
        int32_t frame = k->frame;
        int32_t K = static_cast<QZ_Effect_Koef*>(a.blocks[A::LEVEL_FACTOR])->K;
        QZ_Rect r = rect(c.knob);
        int32_t x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
        auto shown = pixels(r);
        win.mouse_move(x, y);
        win.button_down(x, y);
        win.mouse_move(x + c.dx, y + c.dy);
        win.button_up();
        EXPECT_EQ(k->frame, frame + c.dx - c.dy);
        float v = a.param(c.param)->real();
        EXPECT_EQ(v, k->value());
        EXPECT_NEAR(h.get(c.param), (v - k->mn) / (k->mx - k->mn), 1e-6);
        char text[64];
        std::snprintf(text, sizeof text, "%.0f%s", double(v), c.unit);
        EXPECT_EQ(readout(h, c.text), text);
        EXPECT_NE(pixels(r), shown); // the knob was repainted
        if (c.param == 2)
            EXPECT_EQ(static_cast<QZ_Effect_Hipass*>(a.blocks[A::HIPASS])->f, qz::trunc32(v));
        else
            EXPECT_NE(static_cast<QZ_Effect_Koef*>(a.blocks[A::LEVEL_FACTOR])->K, K);
    }
}

TEST_F(Panel, ADragShowsTheFrameItSetsAndAClickWithoutMovementChangesNothing) {
    QZ_Wid_Knob* k = knob(h, A::W_SUSTAIN_KNOB);
    h.set(1, 13.0f / 99.0f);
    EXPECT_TRUE(win.refresh());
    ASSERT_EQ(k->frame, 13);
    QZ_Rect r = rect(A::W_SUSTAIN_KNOB);
    const int32_t x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    win.mouse_move(x, y);
    win.button_down(x, y);
    win.mouse_move(x + 14, y);
    win.button_up();
    EXPECT_EQ(k->frame, 27); // not 26: frame 27's value maps back to 27
    EXPECT_FLOAT_EQ(h.app().sustain.real(), -45.0f * 27 / 99);
    EXPECT_EQ(h.text(effGetParamDisplay, 1), "-12.272");
    EXPECT_EQ(readout(h, A::W_SUSTAIN_TEXT), "-12dB");

    // A host's value between frames survives a click: press, the move to
    // the same point that platforms send with it, release.
    h.set(1, 0.2f);
    EXPECT_TRUE(win.refresh());
    win.mouse_move(x, y);
    win.button_down(x, y);
    win.mouse_move(x, y);
    win.button_up();
    EXPECT_EQ(h.app().sustain.real(), -9.0f);
    // but a move away and back is a turn
    win.button_down(x, y);
    win.mouse_move(x + 1, y);
    win.mouse_move(x, y);
    win.button_up();
    EXPECT_EQ(h.app().sustain.real(), k->value());
}

TEST_F(Panel, StateOffFadesTheKnobsSideOnly) {
    const int unchanged[] = {A::W_BUTTON_CAPTION, A::W_TITLE, 1, 18};
    const int faded[] = {A::W_SUSTAIN_KNOB, A::W_TONE_KNOB,       A::W_LEVEL_KNOB,
                         A::W_METER,        A::W_SUSTAIN_CAPTION, A::W_LEVEL_TEXT};
    std::vector<std::vector<uint32_t>> on_u, on_f;
    for (int i : unchanged)
        on_u.push_back(pixels(rect(i)));
    for (int i : faded)
        on_f.push_back(pixels(rect(i)));
    h.set(0, 0.0f);
    EXPECT_EQ(pixels(rect(A::W_SUSTAIN_KNOB)), on_f[0]); // not drawn by the host's call
    EXPECT_TRUE(win.refresh());
    for (size_t i = 0; i < std::size(unchanged); ++i)
        EXPECT_EQ(pixels(rect(unchanged[i])), on_u[i]) << unchanged[i];
    for (size_t i = 0; i < std::size(faded); ++i)
        EXPECT_FALSE(close_to(pixels(rect(faded[i])), on_f[i], 2)) << faded[i];
    // and the button, clicked, turns it on again
    QZ_Rect b = rect(A::W_BUTTON);
    int32_t x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
    win.mouse_move(x, y);
    win.button_down(x, y);
    win.button_up();
    EXPECT_EQ(h.app().state.asInt(), 1);
    EXPECT_EQ(h.get(0), 1.0f);
    win.mouse_leave();
    win.invalidate({0, 0, 200, 156});
    // back as it was, but for rounding where the panel's own images blend
    for (size_t i = 0; i < std::size(faded); ++i)
        EXPECT_TRUE(close_to(pixels(rect(faded[i])), on_f[i], 2)) << faded[i];
}

TEST(Meter, LevelOfTheFirstEnvelopeSample) {
    struct {
        int32_t s;
        float m, tolerance;
    } cases[] = {{0, 0.0f, 0.0f},
                 {-1, 0.0f, 0.0f}, // log10(0)
                 {1 << 30, 0.99966f, 2e-5f},
                 {1 << 29, 0.89932f, 2e-5f},
                 {2147483647, 1.0f, 0.0f},
                 {-2147483647 - 1, 1.0f, 0.0f},
                 {int32_t(2147483648.0 * 0.001 - 1), 0.1f, 1e-5f}};
    for (auto& c : cases) {
        float m = A::meterLevel(c.s);
        EXPECT_NEAR(m, c.m, c.tolerance) << c.s;
        EXPECT_GE(m, 0.0f);
        EXPECT_LE(m, 1.0f);
    }
    // The level goes through double first: the same float as the long
    // double formula everywhere, the clamped ends and the rounding edges too.
    auto exact = [](int32_t s) {
        long double a = std::fabs(static_cast<long double>(int64_t(s) + 1));
        float f = float((20.0L * std::log10(a * 0x1p-31L) + 60.0L + 6.0L) * (1.0L / 60.0L));
        return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f;
    };
    uint32_t x = 12345;
    for (int k = 0; k < 1 << 21; ++k) {
        x = x * 1664525u + 1013904223u;
        const int32_t s = k < 1 << 20 ? int32_t(x) : int32_t(x >> (x & 31));
        ASSERT_EQ(A::meterLevel(s), exact(s)) << s;
    }
}

TEST_F(Panel, MeterFollowsEverySecondCallAndTheEditorPaintsIt) {
    A& a = h.app();
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(a.meterLines[0].level, 0.0f); // as the silent run left it
    auto dark = pixels(rect(A::W_METER));
    std::vector<float> loud(2048);
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = 0.9f * float(std::sin(0.1 * double(i)));
    const uint32_t steps = a.meterSteps.load();
    h.process(loud); // the second call since create: no step
    EXPECT_EQ(a.meterSteps.load(), steps);
    h.process(loud);
    EXPECT_EQ(a.meterSteps.load(), steps + 1);
    const float in = A::meterLevel(a.envelopeIn.load()), out = A::meterLevel(a.envelopeOut.load());
    EXPECT_GT(in, 0.5f);
    EXPECT_GT(out, 0.5f);
    // The audio side only publishes its envelopes: no level computed, no
    // lamp recoloured, nothing painted.
    EXPECT_EQ(a.meterIn.load(), 0.0f);
    EXPECT_EQ(a.meterLines[0].level, 0.0f);
    EXPECT_EQ(pixels(rect(A::W_METER)), dark);
    EXPECT_TRUE(win.refresh()); // the editor's refresh computes the levels
    EXPECT_EQ(a.meterLines[0].level, in);
    EXPECT_EQ(a.meterLines[1].level, out);
    auto lit = pixels(rect(A::W_METER));
    EXPECT_NE(lit, dark);
    a.detach();
    h.process(loud);
    h.process(loud);
    EXPECT_TRUE(win.refresh());
    EXPECT_EQ(pixels(rect(A::W_METER)), lit); // closed: nothing followed
}

} // namespace
