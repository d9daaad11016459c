#include "QZ_BlockTest.h"
#include "QZ_Effect_Ampdet.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

int32_t rect(int32_t x) {
    return x < 0 ? int32_t(uint32_t(0) - uint32_t(x)) : x;
}

int32_t follow(int32_t e, int32_t r, int64_t attack, int64_t release) {
    int64_t c = uint32_t(r) < uint32_t(e) ? release : attack;
    int32_t d = int32_t(uint32_t(r) - uint32_t(e));
    return int32_t(uint32_t(e) + uint32_t(uint64_t((d * c) >> 31)));
}

TEST(Ampdet, CoefficientFigures) {
    struct {
        const char* f;
        int32_t c;
    } cases[] = {{"5000", 893390197}, {"200", 59497522}, {"10", 3055292},
                 {"1", 305920},       {".5", 152971},    {"0", 2147483647}};
    Chain c(16);
    for (auto& k : cases) {
        auto* d = c.block<QZ_Effect_Ampdet>(std::string("QZ_Effect_Ampdet -clock 44100 -f1 ") +
                                            k.f + " -f2 " + k.f);
        EXPECT_EQ(d->attack, k.c) << k.f;
        EXPECT_EQ(d->release, k.c) << k.f;
    }
}

TEST(Ampdet, FrequencyWithoutClockWaitsForTheClock) {
    Chain c(16);
    auto* d = c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -f1 200 -f2 1");
    EXPECT_EQ(d->attack, 0);
    float f1 = 0;
    QZ_command(cmd("%o -f1"), d, &f1);
    EXPECT_EQ(f1, 200.0f);
    QZ_command(cmd("QZ_Effect %o -clock 44100"), d);
    EXPECT_EQ(d->attack, 59497522);
    EXPECT_EQ(d->release, 305920);
}

TEST(Ampdet, MatchesReferenceInEveryModeWithAndWithoutRectifiedOutput) {
    const int n = 400;
    for (int with_a = 0; with_a < 2; ++with_a)
        for (int mode = 0; mode < 6; ++mode) {
            Chain c(n);
            QZ_Buffer* in = c.buffer();
            QZ_Buffer* out = c.buffer();
            QZ_Buffer* a = c.buffer();
            std::string command = "QZ_Effect_Ampdet -i %o -o %o -clock 44100 -f1 3000 -f2 20 ";
            command += with_a ? "-a %o" : "-a 0";
            auto* d = c.block<QZ_Effect_Ampdet>(command + " -mode " + qz::test::mode_name(mode), in,
                                                out, a);
            int64_t at = d->attack, rl = d->release;
            int32_t e = 0;
            for (uint32_t pass = 0; pass < 2; ++pass) {
                auto x = qz::test::random_samples(n, 40 + pass);
                auto o = qz::test::random_samples(n, 50 + pass);
                c.set(in, x);
                c.set(out, o);
                c.set(a, o);
                c.run();
                std::vector<int32_t> envelope(n), rectified(n);
                for (size_t j = 0; j < envelope.size(); ++j) {
                    rectified[j] = with_a ? rect(x[j]) : o[j];
                    envelope[j] = e = follow(e, rect(x[j]), at, rl);
                }
                ASSERT_TRUE(qz::test::written(mode, c.get(out), o, envelope));
                ASSERT_EQ(c.get(a), rectified);
            }
            EXPECT_EQ(d->envelope, e);
        }
}

TEST(Ampdet, CornerZeroReachesFallingInputExactlyAndRisingOneBelow) {
    Chain c(2);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d =
        c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -i %o -o %o -clock 44100 -f1 0 -f2 0", in, out);
    c.set(in, {1000000, -1000000});
    c.run();
    EXPECT_EQ(out->data[0], 999999);     // rising: one below
    EXPECT_EQ(out->data[1], 999999 + 0); // equal rectified input counts as rising
    c.set(in, {-500, 0});
    c.run();
    EXPECT_EQ(out->data[0], 500); // falling: reached exactly
    EXPECT_EQ(out->data[1], 0);
    EXPECT_EQ(d->envelope, 0);
}

TEST(Ampdet, SustainerSmootherRisesSlowlyAndFallsAtOnce) {
    Chain c(64);
    QZ_Buffer* b = c.buffer();
    c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -i %o -o %o -f1 10 -f2 0 -clock 44100", b, b);
    c.set(b, std::vector<int32_t>(64, 1 << 29));
    c.run();
    EXPECT_LT(b->data[63], (1 << 29) / 8); // 10 Hz: under a tenth of the way after 64 samples
    EXPECT_GT(b->data[63], 0);
    c.set(b, std::vector<int32_t>(64, 1000));
    c.run();
    EXPECT_EQ(b->data[0], 1000);
}

TEST(Ampdet, WithoutEnvelopeOutputOnlyRectifies) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* a = c.buffer();
    auto* d = c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -i %o -a %o -clock 44100 -f1 0", in, a);
    c.set(in, {-5, 6, INT32_MIN, INT32_MAX});
    c.run();
    EXPECT_EQ(c.get(a), (std::vector<int32_t>{5, 6, INT32_MIN, INT32_MAX}));
    EXPECT_EQ(d->envelope, 0);
}

TEST(Ampdet, MostNegativeSampleCountsAsRising) {
    Chain c(1);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -i %o -o %o -clock 44100 -f1 5000 -f2 0",
                                        in, out);
    d->envelope = INT32_MAX;
    c.set(in, {INT32_MIN});
    c.run();
    // the release corner 0 would have dropped it to the input at once
    EXPECT_NE(d->envelope, INT32_MIN);
    EXPECT_EQ(d->envelope, follow(INT32_MAX, INT32_MIN, 893390197, 2147483647));
}

TEST(Ampdet, SubModeSubtractsTheEnvelope) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -i %o -o %o -mode sub", in, out);
    d->envelope = 300; // coefficients 0: the envelope stays
    c.set(out, std::vector<int32_t>(8, 1000));
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 700));
}

TEST(Ampdet, NoInputNoWork) {
    Chain c(8);
    QZ_Buffer* out = c.buffer();
    c.set(out, std::vector<int32_t>(8, 3));
    c.block<QZ_Effect_Ampdet>("QZ_Effect_Ampdet -o %o -f1 0 -clock 44100", out);
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 3));
}

} // namespace
