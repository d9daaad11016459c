#include "QZ_BlockTest.h"
#include "QZ_Effect_Bapass.h"

#include <cmath>

using qz::test::Chain;
using qz::test::cmd;

namespace {

int32_t hi(int64_t p) {
    return int32_t(uint32_t(uint64_t(p >> 31)));
}
int32_t w(int64_t v) {
    return int32_t(uint32_t(uint64_t(v)));
}

TEST(Bapass, CoefficientFigures) {
    Chain c(16);
    auto* bp = c.block<QZ_Effect_Bapass>("QZ_Effect_Bapass -f 1000 -q .5 -clock 44100");
    EXPECT_EQ(bp->A, 227011923);
    EXPECT_EQ(bp->B, 414639745);
    EXPECT_EQ(bp->C, 207319872);
}

TEST(Bapass, CoefficientsKeptForDegenerateSettings) {
    Chain c(16);
    auto* bp = c.block<QZ_Effect_Bapass>("QZ_Effect_Bapass -f 1000 -q .5");
    EXPECT_EQ(bp->A, 0); // clock 0
    QZ_command(cmd("QZ_Effect %o -clock 44100"), bp);
    EXPECT_EQ(bp->A, 227011923);
    QZ_command(cmd("%o -q 1"), bp);
    EXPECT_EQ(bp->B, 414639745);
    QZ_command(cmd("%o -q 0 -f 0"), bp);
    EXPECT_EQ(bp->C, 207319872);
    float q = 0;
    QZ_command(cmd("%o -q .5 -q"), bp, &q);
    EXPECT_EQ(q, 0.5f);
    QZ_command(cmd("%o -q 2 -q"), bp, &q);
    EXPECT_EQ(q, 2.0f);
}

TEST(Bapass, MatchesReferenceInEveryMode) {
    const int n = 256;
    for (int mode = 0; mode < 6; ++mode) {
        Chain c(n);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        auto* bp = c.block<QZ_Effect_Bapass>(
            std::string("QZ_Effect_Bapass -i %o -o %o -clock 44100 -f 3000 -q .7 -mode ") +
                qz::test::mode_name(mode),
            in, out);
        int64_t A = bp->A, B = bp->B, C = bp->C;
        int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (uint32_t pass = 0; pass < 2; ++pass) {
            auto x = qz::test::random_samples(n, 21 + pass);
            auto o = qz::test::random_samples(n, 31 + pass);
            c.set(in, x);
            c.set(out, o);
            c.run();
            std::vector<int32_t> ys(n);
            for (size_t j = 0; j < ys.size(); ++j) {
                int32_t xv = x[j];
                int32_t y = w(int64_t(hi(int64_t(w(int64_t(xv) - x2)) * C)) - y2 +
                              hi(int64_t(y2) * B) + 2 * int64_t(y1) - 2 * int64_t(hi(y1 * A)));
                ys[j] = y;
                x2 = x1;
                x1 = xv;
                y2 = y1;
                y1 = y;
            }
            ASSERT_TRUE(qz::test::written(mode, c.get(out), o, ys));
        }
    }
}

TEST(Bapass, PassesTheCentreAndRejectsFarFrequencies) {
    const int n = 512;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.block<QZ_Effect_Bapass>("QZ_Effect_Bapass -i %o -o %o -clock 44100 -f 1000 -q .5", in, out);
    auto peak = [&](double hz) {
        c.pipe->reset();
        double best = 0;
        for (int pass = 0; pass < 20; ++pass) {
            for (int j = 0; j < n; ++j)
                in->data[j] = int32_t(std::lround(
                    (1 << 28) * std::sin(2 * 3.141592653589793 * hz * (pass * n + j) / 44100)));
            c.run();
            if (pass >= 10)
                for (int j = 0; j < n; ++j)
                    best = std::max(best, std::abs(double(out->data[j])));
        }
        return best / (1 << 28);
    };
    EXPECT_NEAR(peak(1000), 1.0, 0.05);
    EXPECT_LT(peak(40), 0.1);
    EXPECT_LT(peak(15000), 0.1);
}

} // namespace
