#include "QZ_BlockTest.h"
#include "QZ_Effect_Dist.h"

#include <algorithm>
#include <random>

using qz::test::Chain;
using qz::test::cmd;

namespace {

using qz::test::wrap32;

// The clipper written out plainly in 64-bit arithmetic, one sample at a time.
struct Reference {
    int64_t T, H, K, flags;
    int32_t B;

    int32_t step(int32_t x) {
        int64_t v = int64_t(wrap32(int64_t(x >> 1) - B)) >> 1;
        int64_t lo = (flags & 1) ? std::max<int64_t>(wrap32(-T - H), std::min<int64_t>(B, T))
                                 : int64_t(wrap32(-T));
        int64_t c = std::max(std::min(v, T), lo);
        int64_t e = wrap32(v - c);
        int64_t F = wrap32(H * 4);
        int64_t L = e > 0 ? F >> 1 : int64_t(wrap32(F - (F >> 1))) >> ((flags & 1) ? 3 : 0);
        int64_t d = wrap32(L + (e < 0 ? -e : e));
        int64_t q = d == 0 ? 0 : std::clamp<int64_t>(L * e / d, INT32_MIN, INT32_MAX);
        int64_t y = wrap32(c + q);
        B = wrap32(B + ((int64_t(wrap32(v - y)) * K) >> 32));
        return wrap32(y * 4);
    }
};

Reference reference_of(const QZ_Effect_Dist* d) {
    return {d->threshold, d->half, d->rate, d->l, d->bias};
}

float query_real(QZ_Effect_Dist* d, const char* option) {
    float f = -1.0f;
    EXPECT_EQ(QZ_command(cmd(std::string("%o -") + option), d, &f), QZ_OK);
    return f;
}

TEST(Dist, DefaultsGiveTheGivenThresholdAndKnee) {
    Chain c(16);
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist");
    EXPECT_EQ(d->level, 16777216);
    EXPECT_EQ(d->threshold, 8388608);
    EXPECT_EQ(d->half, 4194304);
    EXPECT_EQ(d->rate, 0x4000000);
    EXPECT_EQ(d->bias, 0);
    EXPECT_EQ(query_real(d, "s"), 0.5f);
    EXPECT_EQ(query_real(d, "k"), 0.0f);
    EXPECT_EQ(query_real(d, "d"), 1.0f / 64); // half the default 1/32
    int32_t flags = -1;
    QZ_command(cmd("%o -l"), d, &flags);
    EXPECT_EQ(flags, 0);
}

TEST(Dist, LevelAnswersHalfTheValueGiven) {
    Chain c(16);
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -d 1");
    EXPECT_EQ(d->level, 536870912);
    EXPECT_EQ(query_real(d, "d"), 0.5f);
    QZ_command(cmd("%o -d .25"), d);
    EXPECT_EQ(d->level, 134217728);
    EXPECT_EQ(query_real(d, "d"), 0.125f);
    QZ_command(cmd("%o -d 9"), d); // beyond 32 bits: saturates
    EXPECT_EQ(d->level, INT32_MAX);
}

TEST(Dist, SoftnessAndLevelRederiveThresholdAndKnee) {
    Chain c(16);
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -s .01");
    EXPECT_EQ(d->threshold, 16609443);
    EXPECT_EQ(d->half, 83886);
    QZ_command(cmd("%o -d .25"), d);
    EXPECT_EQ(d->threshold, 132875550);
    EXPECT_EQ(d->half, 671089);
    QZ_command(cmd("%o -s 1"), d); // no threshold: all knee
    EXPECT_EQ(d->threshold, 0);
    EXPECT_EQ(d->half, 67108864);
    QZ_command(cmd("%o -s -3 -d 3.9"), d); // T far beyond D: no overflow in H
    EXPECT_EQ(d->threshold, INT32_MAX);
    EXPECT_EQ(d->half, int32_t((int64_t(d->level) - INT32_MAX) / 2));
}

TEST(Dist, BiasRateFollowsTheClockNormalisedTo48k) {
    Chain c(16);
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k .5");
    EXPECT_EQ(d->rate, 0x4000000); // no clock yet: kept
    QZ_command(cmd("QZ_Effect %o -clock 44100"), d);
    EXPECT_EQ(d->rate, 1168698583);
    QZ_command(cmd("%o -k .001"), d);
    EXPECT_EQ(d->rate, 2337397);
    QZ_command(cmd("QZ_Effect %o -clock 48000"), d);
    EXPECT_EQ(d->rate, 2147483);
    QZ_command(cmd("QZ_Effect %o -clock 0"), d);
    EXPECT_EQ(d->rate, 2147483);
    QZ_command(cmd("%o -clock 44100 -k 0"), d);
    EXPECT_EQ(d->rate, 0);
    EXPECT_EQ(query_real(d, "k"), 0.0f);
}

TEST(Dist, RateZeroKeepsTheBiasWhateverTheClipping) {
    const int n = 256;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -s .01 -i %o -o %o -clock 44100 -l 1",
                                      in, out);
    ASSERT_EQ(d->rate, 0);
    d->bias = 12345;
    for (uint32_t pass = 0; pass < 4; ++pass) {
        c.set(in, qz::test::random_samples(n, 300 + pass));
        c.run();
        EXPECT_EQ(d->bias, 12345);
    }
    // the same stage with a rate moves it
    QZ_command(cmd("%o -k .01"), d);
    c.run();
    EXPECT_NE(d->bias, 12345);
}

TEST(Dist, LinearRegionPassesInputMinusTwiceTheBias) {
    const int n = 512;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -i %o -o %o -clock 44100", in, out);
    const int64_t limit = 4 * int64_t(d->threshold); // 4T
    for (int32_t bias : {0, 1000, -777777}) {
        d->bias = bias;
        std::mt19937 g(uint32_t(bias) + 1);
        std::vector<int32_t> x(n);
        for (auto& s : x)
            s = int32_t(int64_t(g() % uint32_t(2 * limit - 8)) - limit + 4 + 2 * bias);
        x[0] = int32_t(limit - 4 + 2 * bias); // the edges of the linear region
        x[1] = int32_t(-limit + 4 + 2 * bias);
        c.set(in, x);
        c.run();
        for (int j = 0; j < n; ++j)
            ASSERT_EQ(out->data[j], int32_t((int64_t(x[size_t(j)]) - 2 * bias) & ~int64_t(3)))
                << "bias " << bias << " sample " << j;
    }
}

TEST(Dist, NearlyHardClipAtSoftnessOnePercent) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -s .01 -d .25 -i %o -o %o -clock 44100",
                                      in, out);
    const int64_t D = d->level, T = d->threshold, H = d->half;
    EXPECT_EQ(H, (D - T) / 2);
    EXPECT_EQ(H, 671089); // 0.005 D
    // a ramp over the whole range: monotonic, odd, and never past 4(T + 2H)
    int32_t previous = INT32_MIN;
    for (int64_t x = INT32_MIN; x <= INT32_MAX; x += 1 << 20) {
        c.set(in, {int32_t(x), int32_t(-x - 1)});
        c.run();
        int32_t y = out->data[0];
        ASSERT_GE(y, previous) << x;
        ASSERT_LE(std::abs(int64_t(y)), 4 * (T + 2 * H)) << x;
        ASSERT_LE(std::abs(int64_t(y) + out->data[1]), 4) << x; // odd up to rounding
        previous = y;
    }
    // full scale sits just under 4D, and the knee starts at 4T
    c.set(in, {INT32_MAX, INT32_MIN, int32_t(4 * T), int32_t(4 * T + 4 * 2 * H)});
    c.run();
    EXPECT_GT(out->data[0], 4 * (D - 2 * H));
    EXPECT_LT(out->data[0], 4 * D);
    EXPECT_LT(out->data[1], -4 * (D - 2 * H));
    EXPECT_EQ(out->data[2], 4 * T);
    EXPECT_GT(out->data[3], 4 * T);
    EXPECT_LT(out->data[3], 4 * (T + 2 * H));
}

TEST(Dist, AsymmetricFlagHoldsTheNegativeHalfNearTheBias) {
    const int n = 256;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* sym = c.buffer();
    QZ_Buffer* asym = c.buffer();
    c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -i %o -o %o -clock 44100", in, sym);
    auto* d =
        c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -l 1 -i %o -o %o -clock 44100", in, asym);
    auto x = qz::test::random_samples(n, 17);
    c.set(in, x);
    c.run();
    const int32_t narrow = 4 * ((2 * d->half) >> 3); // an eighth of the symmetric knee
    for (int j = 0; j < n; ++j) {
        if (x[size_t(j)] >= 0) {
            ASSERT_EQ(asym->data[j], sym->data[j]) << j; // positive half unchanged
        } else {
            ASSERT_LE(asym->data[j], 0) << j;
            ASSERT_GT(asym->data[j], -narrow) << j;
        }
    }
}

TEST(Dist, ModeIsIgnoredTheOutputIsOverwritten) {
    const int n = 128;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* a = c.buffer();
    QZ_Buffer* b = c.buffer();
    c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -i %o -o %o", in, a);
    c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -i %o -o %o -mode add", in, b);
    c.set(in, qz::test::random_samples(n, 5));
    c.set(b, qz::test::random_samples(n, 6));
    c.run();
    EXPECT_EQ(c.get(a), c.get(b));
}

// Both kernels against the reference, over settings that cover the knee's
// guarded corners: wrapped knee widths, zero and negative divisors, saturated
// quotients, dividends past 2^53.
TEST(Dist, KernelsMatchReferenceOverSettingsAndExtremes) {
    struct Setting {
        int32_t T, H, flags, K;
    };
    std::vector<Setting> settings = {
        {8388608, 4194304, 0, 0},      // defaults
        {132875550, 671089, 0, 0},     // the sustainer's limiter
        {268435456, 134217728, 0, 0},  // d 1: dividends past 2^53
        {1073741823, 536870912, 0, 0}, // knee width wraps negative
        {0, 0, 0, 0},                  // level 0: 0 / 0 on the clamp
        {1, 1, 1, 0},                  // narrow knee 0 below the bias
        {-5000, 100000, 1, 0},         // lower clamp above the upper
        {INT32_MIN, INT32_MAX, 1, 0},
        {INT32_MAX, INT32_MIN, 0, 0},
        {8388608, 4194304, 1, 2337397},
        {132875550, 671089, 0, 2147483647},
        {16609443, 83886, 1, -2147483647 - 1},
        {1073741823, 536870912, 1, 1168698583},
        {0, 0, 1, 1 << 26},
    };
    std::mt19937 g(2024);
    for (int k = 0; k < 40; ++k) // and arbitrary ones
        settings.push_back({int32_t(g()), int32_t(g()) >> (g() % 8), int32_t(g() % 2),
                            g() % 3 ? int32_t(g()) >> (g() % 16) : 0});
    const int n = 1027;
    for (size_t k = 0; k < settings.size(); ++k) {
        const Setting& s = settings[k];
        QZ_Effect_Dist::Params p = QZ_Effect_Dist::params(s.T, s.H, s.flags, s.K);
        Reference ref{s.T, s.H, s.K, s.flags, int32_t(g()) >> 4};
        int32_t B = ref.B;
        for (uint32_t pass = 0; pass < 3; ++pass) {
            auto x = qz::test::random_samples(n, uint32_t(k * 10 + pass));
            std::vector<int32_t> y(n, 0x5A5A5A5A);
            B = QZ_Effect_Dist::kernels[s.K != 0](x.data(), y.data(), n, p, B);
            for (int j = 0; j < n; ++j)
                ASSERT_EQ(y[size_t(j)], ref.step(x[size_t(j)]))
                    << "setting " << k << " pass " << pass << " sample " << j;
            ASSERT_EQ(B, ref.B) << "setting " << k;
        }
    }
}

// L = e = 2m gives the exact quotient m; with m odd above 2^26.5 the dividend
// 4m^2 is not a double, and a plain double division lands on m - 1.
TEST(Dist, KneeDividendsBeyond2To53StayExact) {
    const int32_t T = 1 << 28, m = 100000001;
    const int64_t L = 2 * int64_t(m);
    ASSERT_EQ(int64_t(double(L) * double(L) / double(2 * L)), m - 1); // the trap is real
    QZ_Effect_Dist::Params p = QZ_Effect_Dist::params(T, m, 0, 0);
    const int32_t x = 4 * (T + 2 * m);
    std::vector<int32_t> in = {5, x, -x, 7, -x, x, 0, x, x};
    for (int variant = 0; variant < 2; ++variant) {
        std::vector<int32_t> out(in.size());
        QZ_Effect_Dist::kernels[size_t(variant)](in.data(), out.data(), int32_t(in.size()), p, 0);
        EXPECT_EQ(out[1], 4 * (T + m)) << variant;
        EXPECT_EQ(out[2], -4 * (T + m)) << variant;
        Reference ref{T, m, 0, 0, 0};
        for (size_t j = 0; j < in.size(); ++j)
            EXPECT_EQ(out[j], ref.step(in[j])) << j;
    }
}

TEST(Dist, BlockMatchesReferenceInPlaceAndBeyond32768Samples) {
    for (int32_t n : {40000, 5, 1}) {
        for (int rate = 0; rate < 2; ++rate) {
            Chain c(n);
            QZ_Buffer* b = c.buffer();
            std::string k = rate ? ".05" : "0";
            auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -i %o -o %o -s .2 -d .7 -l 1 "
                                              "-clock 48000 -k " +
                                                  k,
                                              b, b);
            ASSERT_EQ(d->rate != 0, rate == 1);
            Reference ref = reference_of(d);
            for (uint32_t pass = 0; pass < 2; ++pass) {
                auto x = qz::test::random_samples(size_t(n), 900 + pass);
                c.set(b, x);
                c.run();
                for (int j = 0; j < n; ++j)
                    ASSERT_EQ(b->data[j], ref.step(x[size_t(j)]))
                        << "length " << n << " rate " << rate << " sample " << j;
                EXPECT_EQ(d->bias, ref.B);
            }
        }
    }
}

TEST(Dist, ZeroKneeOnTheClampGivesTheClampValue) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k 0 -d 0 -i %o -o %o -clock 44100", in, out);
    ASSERT_EQ(d->threshold, 0);
    ASSERT_EQ(d->half, 0);
    c.set(in, {0, 3, -4, INT32_MIN});
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{0, 0, 0, 0}));
    // a knee of 0 below the bias with the flag: H = 3 gives (12 - 6) >> 3 = 0
    QZ_command(cmd("%o -l 1"), d);
    d->threshold = 100;
    d->half = 3;
    c.set(in, {0, -400, 4 * 100, INT32_MIN});
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{0, 0, 400, 0}));
}

TEST(Dist, ResetClearsTheBias) {
    Chain c(64);
    QZ_Buffer* b = c.buffer();
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -k .1 -clock 44100 -s .01 -i %o -o %o", b, b);
    c.set(b, std::vector<int32_t>(64, INT32_MAX));
    c.run();
    EXPECT_NE(d->bias, 0);
    c.pipe->reset();
    EXPECT_EQ(d->bias, 0);
}

TEST(Dist, WithoutBuffersNothingIsWritten) {
    Chain c(8);
    QZ_Buffer* b = c.buffer();
    c.set(b, std::vector<int32_t>(8, 1 << 30));
    c.block<QZ_Effect_Dist>("QZ_Effect_Dist -i %o", b);
    auto* d = c.block<QZ_Effect_Dist>("QZ_Effect_Dist -o %o -k .5 -clock 44100", b);
    c.run();
    EXPECT_EQ(c.get(b), std::vector<int32_t>(8, 1 << 30));
    EXPECT_EQ(d->bias, 0);
    QZ_command(cmd("%o -bl 0"), c.pipe); // nothing to process
    QZ_command(cmd("%o -i %o"), d, b);
    c.run();
    EXPECT_EQ(d->bias, 0);
}

} // namespace
