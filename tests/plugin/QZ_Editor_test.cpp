#include "QZ_Interpret.h"
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"
#include "Wid_Knob.h"
#include "Wid_Text.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

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
        h.set(kc.param, t.x);
        QZ_Wid_Knob* k = knob(h, kc.knob);
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
        for (int i = 0; i < A::WIDGETS; ++i) {
            bool follows = i >= A::W_SUSTAIN_CAPTION;
            auto* w = static_cast<QZ_Wid*>(h.app().widgets[i]);
            EXPECT_EQ(w->enabled, follows ? int(x) : 1) << i;
        }
    }
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
}

TEST(Meter, FollowsEverySecondCallAndOnlyAsksForARepaint) {
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    QZ_Win_Surface surface(200, 156);
    A& a = h.app();
    a.attach(&surface);
    surface.invalidate({0, 0, 200, 156});
    EXPECT_FALSE(surface.paint_pending()); // the silent run left both lines at 0
    EXPECT_EQ(a.meterLines[0].level, 0.0f);
    QZ_Rect meter = static_cast<QZ_Wid*>(a.widgets[A::W_METER])->rect();
    auto shot = [&] {
        std::vector<uint32_t> px;
        for (int y = meter.top; y < meter.bottom; ++y)
            for (int x = meter.left; x < meter.right; ++x)
                px.push_back(reinterpret_cast<uint32_t&>(surface.surface.pixels[y * 200 + x]));
        return px;
    };
    auto dark = shot();
    std::vector<float> loud(2048);
    for (size_t i = 0; i < loud.size(); ++i) loud[i] = 0.9f * float(std::sin(0.1 * double(i)));
    h.process(loud); // the second call since create: no step
    EXPECT_FALSE(surface.paint_pending());
    h.process(loud);
    EXPECT_GT(a.meterIn, 0.5f);
    EXPECT_EQ(a.meterLines[0].level, a.meterIn);
    EXPECT_EQ(a.meterLines[1].level, a.meterOut);
    EXPECT_EQ(shot(), dark); // nothing painted on the audio side
    EXPECT_TRUE(surface.paint_pending());
    EXPECT_NE(shot(), dark);
    EXPECT_FALSE(surface.paint_pending()); // one request, one paint
    a.detach();
    h.process(loud);
    h.process(loud);
    EXPECT_FALSE(surface.paint_pending()); // closed: nothing asked for
}

} // namespace
