#include "QZ_BlockTest.h"
#include "QZ_Effect_Nshift.h"
#include "QZ_Effect_Shift.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

using qz::test::Chain;
using qz::test::cmd;
using Shifter = QZ_Effect_Shifter;

namespace {

using qz::test::wrap32;

int32_t truncate(double v) {
    if (v != v) return 0;
    return int32_t(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

// Both shifters written out plainly, sample by sample. Each pass starts by
// bringing the phase and the step into the window, and Shift's output delay
// is held within the history: what the blocks do where nothing else is safe.
struct Reference {
    bool shift = false;
    std::vector<int32_t> in = std::vector<int32_t>(8192, 0);
    std::vector<int32_t> out = std::vector<int32_t>(8192, 0);
    int64_t w = 0, phi = 0, s = 0, pd = 8388608;

    int32_t read(const std::vector<int32_t>& h, int64_t a, bool wide) const {
        int64_t k = a / 16384, f = a - 16384 * k;
        int64_t v0 = h[size_t((w + k) % 8192)], v1 = h[size_t((w + k + 1) % 8192)];
        if (wide) return wrap32((v1 * f + v0 * (16384 - f)) >> 14);
        return wrap32((v1 >> 14) * f + (v0 >> 14) * (16384 - f));
    }
    int64_t comb() const {
        long double ratio = 1.0L - (long double)(step()) * 0.00006103515625L;
        long double d = ratio == 0.0L ? 1e30L : (long double)(pd) / ratio;
        return d < 16384 ? 16384 : d > 134217727 ? 134217727 : int64_t(d);
    }
    int64_t step() const { return s % pd; }

    std::vector<int32_t> run(const std::vector<int32_t>& x) {
        phi = ((phi % pd) + pd) % pd;
        const double pi = 3.141592653589793;
        std::vector<int32_t> o(x.size());
        for (size_t n = 0; n < x.size(); ++n) {
            w = (w + 8191) % 8192;
            in[size_t(w)] = x[n];
            phi += step();
            if (phi < 0)
                phi += pd;
            else if (phi >= pd)
                phi -= pd;
            double a = qz::sine(pi * double(phi) / double(2 * pd));
            double b = qz::sine(pi * double(phi + pd) / double(2 * pd));
            double g1 = a * a, g2 = b * b;
            double y = g1 * read(in, phi, shift) + g2 * read(in, phi + pd, shift);
            if (shift) {
                double c = g1 < g2 ? g1 / g2 : g2 / g1;
                double k = g1 < g2 ? 1.0 / g2 : 1.0 / g1;
                y = k * y - c * read(out, comb(), true);
                out[size_t(w)] = truncate(y);
            }
            o[n] = truncate(y);
        }
        return o;
    }
};

template <class T> T* make(Chain& c, QZ_Buffer* in, QZ_Buffer* out, const std::string& options) {
    const char* name = std::is_same_v<T, QZ_Effect_Shift> ? "QZ_Effect_Shift" : "QZ_Effect_Nshift";
    return c.block<T>(std::string(name) + " -i %o -o %o " + options, in, out);
}

TEST(Shifters, WindowFollowsTheClockWithinTheHistory) {
    for (auto [fs, pd] : {std::pair{48000, 8388608u},
                          {44100, 7707033u},
                          {96000, 16777216u},
                          {8000, 1398101u},
                          {1, 174u},
                          {383000, 66934101u},
                          {384000, 67100672u},
                          {INT32_MAX, 67100672u}})
        EXPECT_EQ(Shifter::window(fs), pd) << fs;

    Chain c(16);
    QZ_Buffer* b = c.buffer();
    auto* e = make<QZ_Effect_Nshift>(c, b, b, "");
    EXPECT_EQ(e->pd, 8388608u); // 512 samples before any clock
    QZ_command(cmd("QZ_Effect %o -clock 44100"), e);
    EXPECT_EQ(e->pd, 7707033u);
    // without a clock the window stays: a window of 0 would have no weights
    QZ_command(cmd("QZ_Effect %o -clock 0"), e);
    EXPECT_EQ(e->pd, 7707033u);
    QZ_command(cmd("QZ_Effect %o -clock -48000"), e);
    EXPECT_EQ(e->pd, 7707033u);
}

TEST(Shifters, StepAndPhaseTruncateRealsAndAnswerIntegers) {
    Chain c(16);
    QZ_Buffer* b = c.buffer();
    auto* e = make<QZ_Effect_Shift>(c, b, b, "-s 8192.9 -p -3.9");
    EXPECT_EQ(e->s, 8192);
    EXPECT_EQ(e->p, -3);
    int32_t s = 0, p = 0;
    EXPECT_EQ(QZ_command(cmd("%o -s -16384 -s -p 1e10 -p"), e, &s, &p), QZ_OK);
    EXPECT_EQ(s, -16384);
    EXPECT_EQ(p, INT32_MAX);
}

// s 0, phase 0: the second head alone, one window back.
TEST(Nshift, ZeroStepDelaysByOneWindow) {
    const int n = 512;
    for (int fs : {48000, 44100}) {
        Chain c(n);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        make<QZ_Effect_Nshift>(c, in, out, "-clock " + std::to_string(fs));
        std::vector<int32_t> x, y;
        for (uint32_t pass = 0; pass < 4; ++pass) {
            auto r = qz::test::random_samples(n, 10 + pass);
            c.set(in, r);
            c.run();
            x.insert(x.end(), r.begin(), r.end());
            auto o = c.get(out);
            y.insert(y.end(), o.begin(), o.end());
        }
        for (size_t k = 0; k < y.size(); ++k) {
            auto at = [&](size_t d) { return k >= d ? x[k - d] : 0; };
            // at 48000 exactly 512 samples, low 14 bits cleared; at 44100
            // 470 + 6553/16384 samples, interpolated
            int32_t want = fs == 48000 ? at(512) & ~16383
                                       : wrap32(int64_t(at(471) >> 14) * 6553 +
                                                int64_t(at(470) >> 14) * (16384 - 6553));
            ASSERT_EQ(y[k], want) << fs << " sample " << k;
        }
    }
}

struct Case {
    int32_t s, p, fs;
};

// Steps that lower and raise, the extremes the comb delay is held at, steps
// and phases beyond the window, a short window and the longest.
const Case cases[] = {
    {0, 0, 48000},
    {-16384, 0, 44100},
    {8192, 12345, 48000},
    {-5000, 700000, 96000},
    {16000, 0, 48000},
    {16384, 0, 44100},
    {16385, 0, 44100},
    {30000, -99, 48000},
    {-8388607, 0, 48000},
    {8388608, 5, 48000},
    {-20000000, INT32_MAX, 44100},
    {INT32_MIN, INT32_MIN, 44100},
    {500, 0, 1000},
    {-16384, 0, 400000},
};

template <class T> void matches_reference() {
    const int n = 4000; // three passes go round the history
    for (const Case& k : cases) {
        for (int mode = 0; mode < 6; ++mode) {
            const bool inPlace = mode % 2 == 1;
            Chain c(n);
            QZ_Buffer* in = c.buffer();
            QZ_Buffer* out = inPlace ? in : c.buffer();
            auto* e =
                make<T>(c, in, out,
                        "-clock " + std::to_string(k.fs) + " -s " + std::to_string(k.s) + " -p " +
                            std::to_string(k.p) + " -mode " + qz::test::mode_name(mode));
            Reference ref;
            ref.shift = std::is_same_v<T, QZ_Effect_Shift>;
            ref.s = k.s;
            ref.phi = k.p;
            ref.pd = e->pd;
            for (uint32_t pass = 0; pass < 3; ++pass) {
                if (pass == 2) { // a new phase between passes restarts the crossfade there
                    QZ_command(cmd("%o -p 1000"), e);
                    ref.phi = 1000;
                }
                auto x = qz::test::random_samples(n, 100 * mode + pass);
                c.set(in, x);
                if (!inPlace) c.set(out, qz::test::random_samples(n, 7 + pass)); // mode is ignored
                c.run();
                auto want = ref.run(x);
                ASSERT_EQ(c.get(out), want) << "s " << k.s << " p " << k.p << " fs " << k.fs
                                            << " mode " << mode << " pass " << pass;
                ASSERT_EQ(e->p, ref.phi);
                ASSERT_GE(e->p, 0);
                ASSERT_LT(uint32_t(e->p), e->pd);
            }
        }
    }
}

TEST(Shift, MatchesReference) {
    matches_reference<QZ_Effect_Shift>();
}
TEST(Nshift, MatchesReference) {
    matches_reference<QZ_Effect_Nshift>();
}

TEST(Shift, CombDelayIsOneWindowInOutputTimeHeldWithinTheHistory) {
    for (auto [s, d] : {std::pair{0, 8388608},
                        {-16384, 4194304},
                        {8192, 16777216},
                        {16000, 134217727},
                        {16384, 134217727},
                        {16385, 16384},
                        {-8388607, 16384}})
        EXPECT_EQ(QZ_Effect_Shift::comb_delay(s, 8388608u), d) << s;
    EXPECT_EQ(QZ_Effect_Shift::comb_delay(-1000, 7707033u), 7263692); // 7707033 / (1 + 1000/16384)
}

// Zero crossings over one second after the first window of a 937.5 Hz sine.
template <class T> int32_t crossings(int32_t s) {
    const int n = 512, fs = 48000;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    make<T>(c, in, out, "-clock 48000 -s " + std::to_string(s));
    std::vector<int32_t> y;
    for (int pass = 0; pass * n < fs + 2 * n; ++pass) {
        std::vector<int32_t> x(n);
        for (int k = 0; k < n; ++k)
            x[size_t(k)] = int32_t(std::lround(
                std::sin(2 * 3.141592653589793 * 937.5 * (pass * n + k) / fs) * (1 << 29)));
        c.set(in, x);
        c.run();
        auto o = c.get(out);
        y.insert(y.end(), o.begin() + (pass == 0 ? n - 1 : 0), o.end());
    }
    int32_t count = 0;
    for (int k = 1; k <= fs; ++k)
        count += (y[size_t(k - 1)] < 0) != (y[size_t(k)] < 0);
    return count;
}

TEST(Shifters, StepsDoubleAndHalveTheFrequency) {
    // 937.5 Hz crosses zero 1875 times a second
    for (auto [s, want] : {std::pair{-16384, 3750}, {8192, 937}, {0, 1875}}) {
        EXPECT_NEAR(crossings<QZ_Effect_Shift>(s), want, 2) << s;
        EXPECT_NEAR(crossings<QZ_Effect_Nshift>(s), want, 2) << s;
    }
}

TEST(Shifters, ResetClearsTheHistoriesOnly) {
    Chain c(64);
    QZ_Buffer* b = c.buffer();
    auto* e = make<QZ_Effect_Shift>(c, b, b, "-s 100");
    c.set(b, std::vector<int32_t>(64, 1 << 28));
    c.run();
    ASSERT_NE(e->history[e->w], 0);
    const uint32_t w = e->w;
    const int32_t p = e->p;
    EXPECT_EQ(p, 6400);
    QZ_command(cmd("%o -on 0"), e);
    c.run(); // switched off: reset after the pass
    EXPECT_TRUE(std::all_of(e->history, e->history + 8192, [](int32_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(e->outHistory, e->outHistory + 8192, [](int32_t v) { return v == 0; }));
    EXPECT_EQ(e->w, (w - 64) & 8191);
    EXPECT_EQ(e->p, p + 6400);
}

TEST(Shifters, WithoutBuffersNothingIsTouched) {
    Chain c(16);
    QZ_Buffer* b = c.buffer();
    c.set(b, std::vector<int32_t>(16, 5));
    auto* e = c.block<QZ_Effect_Nshift>("QZ_Effect_Nshift -i %o -s 77", b);
    c.run();
    EXPECT_EQ(c.get(b), std::vector<int32_t>(16, 5));
    EXPECT_EQ(e->p, 0);
    EXPECT_EQ(e->w, 0u);
}

// Every build computes the same samples: a fingerprint of each block's output
// over twenty passes, the same natively and on Windows.
template <class T> uint32_t fingerprint() {
    const int n = 512;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    make<T>(c, in, out, "-clock 44100 -s -5461 -p 1234");
    uint32_t h = 2166136261u;
    for (uint32_t pass = 0; pass < 20; ++pass) {
        c.set(in, qz::test::random_samples(n, 300 + pass));
        c.run();
        for (int32_t v : c.get(out))
            h = (h ^ uint32_t(v)) * 16777619u;
    }
    return h;
}

TEST(Shifters, SameBitsOnEveryBuild) {
    EXPECT_EQ(fingerprint<QZ_Effect_Shift>(), 1290855832u);
    EXPECT_EQ(fingerprint<QZ_Effect_Nshift>(), 64100443u);
}

} // namespace
