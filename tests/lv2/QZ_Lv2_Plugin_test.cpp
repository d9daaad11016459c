// The LV2 plug-in through its descriptor, as an LV2 host drives it, beside
// the VST 2.x plug-in driven as rampart drives it with the same settings.
#include "QZ_Counting.h"
#include "QZ_Lv2.h"
#include "QZ_Lv2_Names.h"
#include "QZ_Lv2_Plugin.h"
#include "QZ_PluginHost.h"
#include "QZ_RampartValue.h"
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
        // The description's defaults, as a host starts them.
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

    void run(std::vector<float> in, std::vector<float>& out1, std::vector<float>& out2) {
        out1.assign(in.size(), -7.0f);
        out2.assign(in.size(), -7.0f);
        d->connect_port(h, IN, in.data());
        d->connect_port(h, OUT_1, out1.data());
        d->connect_port(h, OUT_2, out2.data());
        said += qz::test::stdout_of([&] { d->run(h, uint32_t(in.size())); });
    }
};

// Bursts of noise that decay, then quiet: keeps the chain busy.
std::vector<float> signal(size_t n, uint32_t seed) {
    std::vector<float> x(n);
    uint32_t s = seed;
    for (size_t i = 0; i < n; ++i) {
        s = s * 1664525u + 1013904223u;
        const float envelope = std::exp(-float(i % 20000) / 3000.0f);
        x[i] = float(int32_t(s)) * 0x1p-31f * envelope * (i % 60000 < 40000 ? 0.9f : 0.01f);
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
    const float delay = float(int32_t(c.rate * double(0.01f)) + 1);
    std::vector<float> a1, a2, b1, b2;
    int block = 0;
    for (size_t at = 0; at < x.size(); ++block) {
        for (const Change& ch : c.changes)
            if (ch.block == block) {
                lv2.controls[ch.port] = ch.value;
                const int i = parameter_of(ch.port);
                if (!std::isnan(ch.value)) vst.set(i, qz::test::rampart_value(i, ch.value));
            }
        const size_t n = std::min(sizes[block % std::size(sizes)], x.size() - at);
        const std::vector<float> in(x.begin() + long(at), x.begin() + long(at + n));
        lv2.run(in, a1, a2);
        vst.process(in, b1, b2);
        ASSERT_TRUE(same_bits(a1, b1)) << c.name << ": block " << block << " at frame " << at;
        ASSERT_TRUE(same_bits(a2, b2)) << c.name << ": block " << block;
        EXPECT_EQ(lv2.controls[METER_IN], QZ_Application::meterLevel(vst.app().envelopeIn.load()))
            << block;
        EXPECT_EQ(lv2.controls[METER_OUT], QZ_Application::meterLevel(vst.app().envelopeOut.load()))
            << block;
        // The 10 ms the gain leads by while on, none while off.
        EXPECT_EQ(lv2.controls[LATENCY], vst.app().state.whole() != 0 ? delay : 0.0f) << block;
        at += n;
    }
    EXPECT_GT(block, 50);
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
        Case{"low_rate", 8000, {{2, SUSTAIN, -40.0f}, {2, FREQ, 50.0f}}}),
    [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(Lv2Plugin, DescriptorAndRatesItRefuses) {
    const LV2_Descriptor* d = lv2_descriptor(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, uri);
    EXPECT_EQ(lv2_descriptor(1), nullptr);
    EXPECT_EQ(d->extension_data("http://lv2plug.in/ns/ext/state#interface"), nullptr);
    const LV2_Feature* none[] = {nullptr};
    for (double rate : {0.0, -44100.0, 0.5, double(kNaN), HUGE_VAL, 3e9})
        EXPECT_EQ(d->instantiate(d, rate, "/nowhere/", none), nullptr) << rate;
    // Clocked at the whole hertz below, as the VST 2.x plug-in is.
    Lv2 fractional(44100.9);
    ASSERT_NE(fractional.h, nullptr);
    EXPECT_EQ(fractional.plugin().app.clock, 44100);
}

TEST(Lv2Plugin, APortKeepingItsValueIsNotAppliedAgain) {
    Lv2 lv2(44100);
    std::vector<float> o1, o2;
    auto run = [&](int times) {
        for (int i = 0; i < times; ++i)
            lv2.run(std::vector<float>(256, 0.1f), o1, o2);
    };
    // The defaults are the plug-in's own: nothing to apply.
    run(20);
    EXPECT_EQ(lv2.plugin().applied, 0u);
    lv2.controls[SUSTAIN] = -24.0f;
    run(20);
    EXPECT_EQ(lv2.plugin().applied, 1u);
    EXPECT_FLOAT_EQ(lv2.plugin().app.sustain.real(), -24.0f);
    // Another value, and both of the toggle's ways of saying on.
    lv2.controls[LEVEL] = -9.0f;
    lv2.controls[STATE] = 0.0f;
    run(1);
    lv2.controls[STATE] = 0.5f;
    run(2);
    EXPECT_EQ(lv2.plugin().applied, 4u);
    EXPECT_EQ(lv2.plugin().app.state.whole(), 1);
}

// SameBits checks the port's figure, on and off; here the output's delay agrees.
TEST(Lv2Plugin, LatencyPortGivesTheDelayTheOutputHas) {
    for (double rate : {44100.0, 48000.0, 22050.0, 96000.0}) {
        Lv2 lv2(rate);
        ASSERT_NE(lv2.h, nullptr);
        // A step: the output stays silent for exactly the reported delay.
        std::vector<float> o1, o2;
        lv2.run(std::vector<float>(4096, 0.25f), o1, o2);
        size_t first = 0;
        while (first < o1.size() && o1[first] == 0.0f)
            ++first;
        EXPECT_EQ(float(first), lv2.controls[LATENCY]) << rate;
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
    void* volatile p = nullptr;
    ASSERT_EQ(qz::test::counted([&] { p = std::malloc(16); }).allocations, 1);
    std::free(p);
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
