#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Interpret.h"
#include "QZ_PluginHost.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using qz::test::cmd;
using qz::test::Host;

namespace {

std::vector<float> ramp(size_t n, uint32_t seed) {
    std::vector<float> v(n);
    uint32_t s = seed;
    for (float& x : v) {
        s = s * 1664525u + 1013904223u;
        x = float(int32_t(s)) / 2147483648.0f * 0.9f;
    }
    return v;
}

// What the plug-in does to a host sample on the way in and out of the chain.
float through_chain(float x) {
    if (x > 1.0f) x = 1.0f;
    else if (!(x >= -1.0f)) x = -1.0f;
    return float(int32_t(double(x) * 1073741824.0)) * 9.313226e-10f;
}

TEST(Sustainer, AfterCreateEveryBlockIsOnWithTheDefaults) {
    Host h;
    QZ_Application& a = h.app();
    for (QZ_Effect* e : a.blocks) {
        ASSERT_NE(e, nullptr);
        EXPECT_TRUE(e->on);
        EXPECT_TRUE(e->wasOn);
    }
    EXPECT_EQ(static_cast<QZ_Effect_Hipass*>(a.blocks[QZ_Application::HIPASS])->f, 150);
    // k = 10^((L - S) / 20) = 1: K = 2^31 / 127
    EXPECT_EQ(static_cast<QZ_Effect_Koef*>(a.blocks[QZ_Application::LEVEL_FACTOR])->K, 16909320);
    float d = 0;
    QZ_command(cmd("%o -d"), a.blocks[QZ_Application::LIMITER], &d);
    EXPECT_NEAR(2 * d, 0.250594, 1e-6); // the answer is half the level given
    EXPECT_STREQ(a.texts.sustainText, "-6dB");
    EXPECT_STREQ(a.texts.toneText, "150Hz");
    EXPECT_STREQ(a.texts.levelText, "-6dB");
    EXPECT_EQ(a.meterDivider, 1); // the silent run took the meter step
    EXPECT_EQ(a.meterIn, 0.0f);
    EXPECT_EQ(a.chain->bl, 512);
}

TEST(Sustainer, SustainAtMinus45SendsLimiterAndLevelFactor) {
    Host h;
    h.set(1, 1.0f);
    QZ_Application& a = h.app();
    char text[32];
    float d = 0;
    QZ_command(cmd("%o -d"), a.blocks[QZ_Application::LIMITER], &d);
    qz::fixed(text, sizeof text, 2.0 * d);
    EXPECT_STREQ(text, "0.002812");
    int32_t K = static_cast<QZ_Effect_Koef*>(a.blocks[QZ_Application::LEVEL_FACTOR])->K;
    EXPECT_EQ(K, qz::trunc32(double(89.125092f) * 2147483648.0 / 127.0));
    // changing Sustain re-sends the factor though the level did not change
    static_cast<QZ_Effect_Koef*>(a.blocks[QZ_Application::LEVEL_FACTOR])->K = 0;
    h.set(1, 1.0f);
    EXPECT_EQ(static_cast<QZ_Effect_Koef*>(a.blocks[QZ_Application::LEVEL_FACTOR])->K, K);
    EXPECT_STREQ(a.texts.sustainText, "-45dB");
}

TEST(Sustainer, FreqRetunesTheHighPass) {
    Host h;
    h.set(2, 0.5f); // 225 Hz
    EXPECT_EQ(static_cast<QZ_Effect_Hipass*>(h.app().blocks[QZ_Application::HIPASS])->f, 225);
    EXPECT_STREQ(h.app().texts.toneText, "225Hz");
}

TEST(Processing, HostBlocksAreCutInto512FramePieces) {
    Host one, three;
    one.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    three.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    auto in = ramp(1300, 7);
    auto whole = one.process(in);
    EXPECT_EQ(one.app().chain->bl, 276); // the last piece
    std::vector<float> parts;
    for (auto [at, n] : {std::pair{0, 512}, {512, 512}, {1024, 276}}) {
        auto piece = three.process(std::vector<float>(in.begin() + at, in.begin() + at + n));
        parts.insert(parts.end(), piece.begin(), piece.end());
    }
    ASSERT_EQ(parts.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) ASSERT_EQ(whole[i], parts[i]) << i;
}

TEST(Processing, OutputsAreIdenticalAndBlocksOfZeroFramesAreHarmless) {
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    std::vector<float> a, b;
    h.process(ramp(777, 3), a, b);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
    int divider = h.app().meterDivider;
    h.process({}, a, b);
    EXPECT_NE(h.app().meterDivider, divider); // the meter step still counts the call
    float* nothing[2] = {nullptr, nullptr};
    h.fx->processReplacing(h.fx, nothing, nothing, 64); // no channels given: no crash
}

TEST(Processing, StateOffPassesTheClippedInputAfterTheCrossFade) {
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    h.process(ramp(4096, 1)); // some history in every block
    h.set(0, 0.4f);
    EXPECT_EQ(h.app().state.asInt(), 0);
    h.process(ramp(512, 2)); // the switching pass
    for (int i = QZ_Application::HIPASS; i <= QZ_Application::MULTIPLIER; ++i)
        EXPECT_FALSE(h.app().blocks[i]->on);
    EXPECT_TRUE(h.app().blocks[QZ_Application::COPY]->on);
    std::vector<float> in = ramp(1000, 5);
    in[10] = 1.5f;
    in[11] = -1.5f;
    in[12] = std::numeric_limits<float>::quiet_NaN();
    in[13] = 1e-12f;
    auto out = h.process(in);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(out[i], through_chain(in[i])) << i;
    EXPECT_EQ(out[10], 1.0f);
    EXPECT_EQ(out[11], -1.0f);
    EXPECT_EQ(out[12], -1.0f);
    // and on again
    h.set(0, 0.6f);
    h.process(ramp(512, 9));
    for (int i = QZ_Application::HIPASS; i <= QZ_Application::MULTIPLIER; ++i)
        EXPECT_TRUE(h.app().blocks[i]->wasOn);
}

TEST(Processing, ResetOnOpenClearsTheChain) {
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    h.process(ramp(2048, 4));
    h.dispatch(effOpen);
    for (QZ_Buffer* b : h.app().buffers)
        for (int i = 0; i < 512; ++i) ASSERT_EQ(b->data[i], 0);
}

// Level in dB of full scale of the peak magnitude over [from, to).
double peak_db(const std::vector<float>& v, size_t from, size_t to) {
    float p = 0;
    for (size_t i = from; i < to && i < v.size(); ++i) p = std::max(p, std::fabs(v[i]));
    return 20 * std::log10(double(p));
}

TEST(Sustainer, HoldsLoudNotesAtTheLevelAndRaisesTheTail) {
    const int rate = 44100;
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
    h.set(1, 24.0f / 45.0f);        // Sustain -24 dB
    h.set(3, (45.0f - 6.0f) / 42.0f); // Level -6 dB
    ASSERT_NEAR(h.app().sustain.real(), -24.0f, 1e-4);
    ASSERT_NEAR(h.app().level.real(), -6.0f, 1e-4);
    // A 220 Hz tone decaying by 12 dB per second from full scale, for 5 s.
    std::vector<float> in(size_t(rate) * 5);
    for (size_t i = 0; i < in.size(); ++i) {
        double t = double(i) / rate;
        in[i] = float(std::pow(10.0, -12.0 * t / 20.0) * std::sin(2 * M_PI * 220 * t));
    }
    std::vector<float> out;
    for (size_t at = 0; at < in.size(); at += 1024) {
        size_t n = std::min<size_t>(1024, in.size() - at);
        auto piece = h.process(std::vector<float>(in.begin() + long(at), in.begin() + long(at + n)));
        out.insert(out.end(), piece.begin(), piece.end());
    }
    const size_t delay = 441; // 10 ms at 44100 Hz (D = 440, read D + 1 back)
    // Loud start (0.5 s to 1 s, input -6 to -12 dBFS, above the -24 dB sustain
    // level): the output sits near the level, 1.0079 * 10^(-6/20) of full scale.
    double target = 20 * std::log10(128.0 / 127.0) - 6.0;
    for (double t : {0.5, 0.75}) {
        size_t a = size_t(t * rate);
        EXPECT_NEAR(peak_db(out, a + delay, a + delay + 2205), target, 1.5) << "at " << t << " s";
    }
    // Quiet tail (4 s on, input about -48 dBFS, well below the sustain level):
    // the gain is 1.0079 * 10^((L - S) / 20), +18.07 dB.
    double raise = 20 * std::log10(128.0 / 127.0) + 18.0;
    for (double t : {4.0, 4.5}) {
        size_t a = size_t(t * rate);
        double gain = peak_db(out, a + delay, a + delay + 2205) - peak_db(in, a, a + 2205);
        EXPECT_NEAR(gain, raise, 1.0) << "at " << t << " s";
    }
}

} // namespace
