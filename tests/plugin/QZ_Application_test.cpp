#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Interpret.h"
#include "QZ_PluginHost.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"
#include "QZ_Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
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
    if (x > 1.0f)
        x = 1.0f;
    else if (!(x >= -1.0f))
        x = -1.0f;
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
    EXPECT_EQ(a.envelopeIn.load(), 0);
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
    a.follow(false); // the editor's side
    EXPECT_STREQ(a.texts.sustainText, "-45dB");
}

TEST(Sustainer, FreqRetunesTheHighPass) {
    Host h;
    h.set(2, 0.5f); // 225 Hz
    EXPECT_EQ(static_cast<QZ_Effect_Hipass*>(h.app().blocks[QZ_Application::HIPASS])->f, 225);
    h.app().follow(false);
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
    for (size_t i = 0; i < whole.size(); ++i)
        ASSERT_EQ(whole[i], parts[i]) << i;
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
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(out[i], through_chain(in[i])) << i;
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
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ(b->data[i], 0);
}

// The envelope of a signal as the plug-in's own detector follows it (one-pole
// smoothing of the magnitude, attack 200 Hz, release 1 Hz), in dB of full scale.
std::vector<double> envelope_db(const std::vector<float>& v, double rate) {
    auto coefficient = [&](double f) { return 2 * M_PI * f / (2 * M_PI * f + rate); };
    double attack = coefficient(200), release = coefficient(1), e = 0;
    std::vector<double> db(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        double r = std::fabs(double(v[i]));
        e += (r - e) * (r < e ? release : attack);
        db[i] = 20 * std::log10(e);
    }
    return db;
}

TEST(Sustainer, HoldsLoudNotesAtTheLevelAndRaisesTheTail) {
    const int rate = 44100;
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, float(rate));
    h.set(1, 24.0f / 45.0f);          // Sustain -24 dB
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
        auto piece =
            h.process(std::vector<float>(in.begin() + long(at), in.begin() + long(at + n)));
        out.insert(out.end(), piece.begin(), piece.end());
    }
    const size_t delay = 441; // 10 ms at 44100 Hz (D = 440, read D + 1 back)
    auto env_in = envelope_db(in, rate), env_out = envelope_db(out, rate);
    const double factor_db = 20 * std::log10(128.0 / 127.0); // the factor block's scale
    // Above the sustain level the limited envelope is the level itself (the
    // knee is 1 % of it), so the gain is target / envelope and the output's
    // envelope, seen by the same detector, sits at 1.0079 * 10^(L / 20). What
    // is left: the gain leads the signal by 10 ms while the input falls by
    // 12 dB/s (0.12 dB), and the knee and rounding (under 0.1 dB).
    // The detector hears the input through the 150 Hz high-pass, which takes
    // |H| off a 220 Hz tone; the gain, applied to the unfiltered input, puts
    // it back: y = x - lp(x), lp(z) = k / (1 - (1 - k) / z), k = w / (w + fs).
    double w = 2 * M_PI * 150, k = w / (w + rate), phase = 2 * M_PI * 220 / rate;
    std::complex<double> z = std::polar(1.0, phase);
    double hp_db = 20 * std::log10(std::abs(1.0 - k / (1.0 - (1.0 - k) / z)));
    for (double t : {0.5, 0.75, 1.0}) {
        size_t a = size_t(t * rate) + delay;
        EXPECT_NEAR(env_out[a], factor_db - 6.0 - hp_db, 0.3) << "at " << t << " s";
    }
    // Below it (4 s on, input near -48 dBFS) the smoothed limit is the
    // envelope itself and the gain is 1.0079 * 10^((L - S) / 20): +18.07 dB.
    for (double t : {4.0, 4.5}) {
        size_t a = size_t(t * rate);
        EXPECT_NEAR(env_out[a + delay] - env_in[a], factor_db + 18.0, 0.3) << "at " << t << " s";
    }
}

} // namespace
