// The LV2 plug-in through its descriptor, as an LV2 host drives it, beside
// the VST 2.x plug-in driven as rampart drives it with the same settings: the
// same bits out, meters and latency on their ports, and nothing locked or
// allocated where a port did not change.
#include "QZ_Counting.h"
#include "QZ_Lv2.h"
#include "QZ_Lv2_Names.h"
#include "QZ_Lv2_Plugin.h"
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace qz::lv2;
using qz::test::Host;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// An LV2 host's side: the instance, its control ports and its audio.
struct Lv2 {
    const LV2_Descriptor* d = lv2_descriptor(0);
    LV2_Handle h = nullptr;
    float controls[PORTS] = {};
    std::string said;

    explicit Lv2(double rate) {
        // The defaults the description gives, as a host starts them.
        controls[STATE] = 1.0f;
        controls[SUSTAIN] = -6.0f;
        controls[FREQ] = 150.0f;
        controls[LEVEL] = -6.0f;
        const LV2_Feature* none[] = {nullptr};
        said = qz::test::stdout_of([&] { h = d->instantiate(d, rate, "/nowhere/", none); });
        if (!h) return;
        for (uint32_t p = STATE; p < PORTS; ++p)
            d->connect_port(h, p, &controls[p]);
        d->activate(h);
    }
    ~Lv2() {
        if (h) said += qz::test::stdout_of([&] { d->cleanup(h); });
    }
    Lv2(const Lv2&) = delete;
    Lv2& operator=(const Lv2&) = delete;

    QZ_Lv2_Plugin& plugin() { return *static_cast<QZ_Lv2_Plugin*>(h); }

    // One run: the host's input, both outputs written.
    void run(std::vector<float> in, std::vector<float>& out1, std::vector<float>& out2) {
        out1.assign(in.size(), -7.0f);
        out2.assign(in.size(), -7.0f);
        d->connect_port(h, IN, in.data());
        d->connect_port(h, OUT_1, out1.data());
        d->connect_port(h, OUT_2, out2.data());
        said += qz::test::stdout_of([&] { d->run(h, uint32_t(in.size())); });
    }
};

// What a VST 2.x host sends for a value shown in a parameter's unit, as
// rampart computes it from its options (over the range from the value at 0
// to the value at 1); a switch is on above 0, as an LV2 toggle. Not a
// number: nothing is sent.
struct Range {
    double at0, at1;
};
const Range kRanges[QZ_Application::PARAMS] = {{0, 1}, {0, -45}, {50, 400}, {-45, -3}};

void set_like_rampart(Host& vst, int index, float v) {
    if (std::isnan(v)) return;
    const float x =
        index == 0
            ? (v > 0.0f ? 1.0f : 0.0f)
            : float((double(v) - kRanges[index].at0) / (kRanges[index].at1 - kRanges[index].at0));
    vst.set(index, x);
}

// A signal that keeps the chain busy: bursts of noise that decay, then quiet.
std::vector<float> signal(size_t n, uint32_t seed) {
    std::vector<float> x(n);
    uint32_t s = seed;
    for (size_t i = 0; i < n; ++i) {
        s = s * 1664525u + 1013904223u;
        const float noise = float(int32_t(s)) * 0x1p-31f;
        const float envelope = std::exp(-float(i % 20000) / 3000.0f);
        x[i] = noise * envelope * (i % 60000 < 40000 ? 0.9f : 0.01f);
    }
    return x;
}

bool same_bits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

struct Change {
    int block;
    uint32_t port;
    float value;
};

struct Case {
    const char* name;
    double rate;
    std::vector<Change> changes;
};

class SameBits : public ::testing::TestWithParam<Case> {};

TEST_P(SameBits, AsTheVstPluginWithTheSameSettingsBlockByBlock) {
    const Case& c = GetParam();
    Lv2 lv2(c.rate);
    ASSERT_NE(lv2.h, nullptr);
    Host vst; // as rampart: open, the rate, then the parameters
    vst.dispatch(effOpen);
    vst.dispatch(effSetSampleRate, 0, 0, nullptr, float(c.rate));
    vst.dispatch(effMainsChanged, 0, 1);

    // Host blocks of every kind: one frame, none, pieces and a remainder.
    const size_t sizes[] = {512, 1, 7, 0, 1300, 4096, 64, 513, 20000, 333};
    const std::vector<float> x = signal(400000, 7);
    size_t at = 0;
    int block = 0;
    std::vector<float> a1, a2, b1, b2;
    const float delay = float(int32_t(c.rate * double(0.01f)) + 1);
    for (; at < x.size(); ++block) {
        for (const Change& ch : c.changes)
            if (ch.block == block) {
                lv2.controls[ch.port] = ch.value;
                set_like_rampart(vst, parameter_of(ch.port), ch.value);
            }
        const size_t n = std::min(sizes[block % std::size(sizes)], x.size() - at);
        const std::vector<float> in(x.begin() + long(at), x.begin() + long(at + n));
        lv2.run(in, a1, a2);
        vst.process(in, b1, b2);
        ASSERT_TRUE(same_bits(a1, b1)) << c.name << ": block " << block << " at frame " << at;
        ASSERT_TRUE(same_bits(a2, b2)) << c.name << ": block " << block;
        // The meters the VST 2.x editor shows, on their ports.
        EXPECT_EQ(lv2.controls[METER_IN], vst.app().meterIn.load()) << block;
        EXPECT_EQ(lv2.controls[METER_OUT], vst.app().meterOut.load()) << block;
        // The delay while on (the 10 ms the gain leads by), none while off.
        const bool on = vst.app().state.whole() != 0;
        EXPECT_EQ(lv2.controls[LATENCY], on ? delay : 0.0f) << block;
        at += n;
    }
    EXPECT_GT(block, 50);
    // The parameters hold the same values.
    for (int i = 0; i < QZ_Application::PARAMS; ++i)
        EXPECT_EQ(lv2.plugin().app.param(i)->load(), vst.app().param(i)->load()) << i;
    EXPECT_EQ(lv2.said, "");
}

INSTANTIATE_TEST_SUITE_P(
    Lv2, SameBits,
    ::testing::Values(
        Case{"defaults", 44100, {}},
        // rampart render --sustain -24 --tone 300 --level -12
        Case{"settings", 48000, {{0, SUSTAIN, -24.0f}, {0, FREQ, 300.0f}, {0, LEVEL, -12.0f}}},
        Case{"automation",
             44100,
             {{3, SUSTAIN, -30.0f},
              {5, LEVEL, -3.0f},
              {8, FREQ, 51.5f},
              {10, STATE, 0.0f},
              {13, STATE, 1.0f},
              {14, SUSTAIN, -6.0f},
              {17, SUSTAIN, -12.3f},
              {17, LEVEL, -20.7f},
              {25, STATE, 0.0f},
              {26, STATE, 1.0f}}},
        // Beyond the ranges: held at their ends, as setParameter holds 0 … 1;
        // not a number: nothing changes; a toggle is on above 0.
        Case{"bounds",
             96000,
             {{1, SUSTAIN, 10.0f},
              {2, LEVEL, -100.0f},
              {3, FREQ, kNaN},
              {4, FREQ, 1000.0f},
              {6, STATE, -1.0f},
              {9, STATE, 0.25f},
              {11, LEVEL, kNaN},
              {12, SUSTAIN, -1e30f}}},
        Case{"low rate", 8000, {{2, SUSTAIN, -40.0f}, {2, FREQ, 50.0f}}}),
    [](const ::testing::TestParamInfo<Case>& i) {
        std::string s = i.param.name;
        for (char& ch : s)
            if (ch == ' ') ch = '_';
        return s;
    });

TEST(Lv2Plugin, DescriptorAndRatesItRefuses) {
    const LV2_Descriptor* d = lv2_descriptor(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, uri);
    EXPECT_EQ(lv2_descriptor(1), nullptr);
    EXPECT_EQ(d->extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);
    const LV2_Feature* none[] = {nullptr};
    for (double rate : {0.0, -44100.0, 0.5, double(kNaN), HUGE_VAL, 3e9})
        EXPECT_EQ(d->instantiate(d, rate, "/nowhere/", none), nullptr) << rate;
    // A rate between whole hertz is clocked at the hertz below, as the VST
    // 2.x plug-in's sample-rate handler does.
    Lv2 fractional(44100.9);
    ASSERT_NE(fractional.h, nullptr);
    EXPECT_EQ(fractional.plugin().app.clock, 44100);
}

TEST(Lv2Plugin, APortKeepingItsValueIsNotAppliedAgain) {
    Lv2 lv2(44100);
    std::vector<float> o1, o2;
    const std::vector<float> in(256, 0.1f);
    // The defaults are the plug-in's own starting values: nothing to apply,
    // and the parameters keep them exactly.
    for (int i = 0; i < 20; ++i)
        lv2.run(in, o1, o2);
    EXPECT_EQ(lv2.plugin().applied, 0u);
    EXPECT_EQ(lv2.plugin().app.sustain.real(), -6.0f);
    lv2.controls[SUSTAIN] = -24.0f;
    for (int i = 0; i < 20; ++i)
        lv2.run(in, o1, o2);
    EXPECT_EQ(lv2.plugin().applied, 1u);
    EXPECT_FLOAT_EQ(lv2.plugin().app.sustain.real(), -24.0f);
    // Another value, and both toggles' ways of saying on.
    lv2.controls[LEVEL] = -9.0f;
    lv2.controls[STATE] = 0.0f;
    lv2.run(in, o1, o2);
    lv2.controls[STATE] = 0.5f;
    lv2.run(in, o1, o2);
    lv2.run(in, o1, o2);
    EXPECT_EQ(lv2.plugin().applied, 4u);
    EXPECT_EQ(lv2.plugin().app.state.whole(), 1);
}

TEST(Lv2Plugin, LatencyPortGivesTheDelayTheOutputHas) {
    for (double rate : {44100.0, 48000.0, 22050.0, 96000.0}) {
        Lv2 lv2(rate);
        ASSERT_NE(lv2.h, nullptr);
        // A step: the output stays silent for exactly the reported delay.
        std::vector<float> o1, o2;
        lv2.run(std::vector<float>(4096, 0.25f), o1, o2);
        const float latency = lv2.controls[LATENCY];
        size_t first = 0;
        while (first < o1.size() && o1[first] == 0.0f)
            ++first;
        EXPECT_EQ(float(first), latency) << rate;
        // The chain's own figure: 0.01 s in single precision, truncated, + 1.
        EXPECT_EQ(latency, float(int32_t(rate * double(0.01f)) + 1)) << rate;
        // Off, the input passes as it is, undelayed, once the switch is done.
        lv2.controls[STATE] = 0.0f;
        lv2.run(std::vector<float>(512, 0.25f), o1, o2);
        lv2.run(std::vector<float>(512, 0.25f), o1, o2);
        EXPECT_EQ(lv2.controls[LATENCY], 0.0f);
        EXPECT_EQ(o1, std::vector<float>(512, 0.25f));
    }
}

TEST(Lv2Plugin, PortsNotConnectedAreLeftAloneAndAnUnconnectedInputIsSilence) {
    Lv2 a(44100), b(44100);
    const LV2_Descriptor* d = a.d;
    // a: no input, no second output; b: silence in.
    std::vector<float> o1(1000, -7.0f), b1, b2;
    d->connect_port(a.h, IN, nullptr);
    d->connect_port(a.h, OUT_1, o1.data());
    d->connect_port(a.h, OUT_2, nullptr);
    d->connect_port(a.h, LATENCY, nullptr);
    d->run(a.h, 1000);
    b.run(std::vector<float>(1000, 0.0f), b1, b2);
    EXPECT_EQ(o1, b1);
    // Ports beyond the last are not ours to keep.
    float stray = 0.0f;
    d->connect_port(a.h, PORTS, &stray);
    d->connect_port(a.h, 1000, &stray);
    d->run(a.h, 0);
    EXPECT_EQ(stray, 0.0f);
}

TEST(Lv2Plugin, ActivatingAgainStartsFromSilenceAsAFreshInstance) {
    Lv2 used(48000), fresh(48000);
    std::vector<float> a1, a2, b1, b2;
    used.controls[SUSTAIN] = fresh.controls[SUSTAIN] = -20.0f;
    used.run(signal(30000, 3), a1, a2);
    if (used.d->deactivate) used.d->deactivate(used.h);
    used.d->activate(used.h);
    const std::vector<float> x = signal(30000, 5);
    used.run(x, a1, a2);
    fresh.run(x, b1, b2);
    EXPECT_TRUE(same_bits(a1, b1));
}

#ifdef VR_COUNTS_LOCKS
TEST(Lv2Plugin, RunNeitherLocksNorAllocatesWithPortsChangingOrNot) {
    Lv2 lv2(44100);
    std::vector<float> in(1300, 0.25f), o1(1300), o2(1300);
    const LV2_Descriptor* d = lv2.d;
    d->connect_port(lv2.h, IN, in.data());
    d->connect_port(lv2.h, OUT_1, o1.data());
    d->connect_port(lv2.h, OUT_2, o2.data());
    // The counter sees an allocation in this program.
    const qz::test::Counted probe = qz::test::counted([] {
        void* volatile p = std::malloc(16);
        std::free(p);
    });
    ASSERT_EQ(probe.allocations, 1);
    const qz::test::Counted c = qz::test::counted([&] {
        for (int n = 0; n < 60; ++n) {
            if (n % 3 == 0) {
                lv2.controls[SUSTAIN] = -float(n % 45);
                lv2.controls[FREQ] = 50.0f + float(n);
                lv2.controls[LEVEL] = -3.0f - float(n % 40);
                lv2.controls[STATE] = float(n / 3 % 2);
            }
            d->run(lv2.h, uint32_t(n % 7 == 0 ? 0 : 1300));
        }
    });
    EXPECT_EQ(c.locks, 0);
    EXPECT_EQ(c.allocations, 0);
    EXPECT_GT(lv2.plugin().applied, 40u);
}
#endif

} // namespace
