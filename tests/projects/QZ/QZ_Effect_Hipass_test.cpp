#include "QZ_BlockTest.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Lopass.h"
#include "QZ_Effect_Zero.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

// The one-pole step written out with plain 64-bit arithmetic.
int32_t step(int32_t x, int32_t y, uint32_t k) {
    uint32_t u = uint32_t(uint64_t(int64_t(x) - y + 2147483648LL));
    int64_t d = int64_t((uint64_t(u) * k) >> 32) - int64_t(k / 2);
    return int32_t(uint32_t(uint64_t(int64_t(y) + int32_t(uint32_t(uint64_t(d))))));
}

uint32_t k_of(QZ_Effect_Onepole* e) {
    return e->k;
}

TEST(Onepole, CoefficientFigures) {
    Chain c(16);
    QZ_Buffer* b = c.buffer();
    auto* hp = c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -i %o -o %o -f 200 -clock 44100", b, b);
    EXPECT_EQ(k_of(hp), 118995045u);
    QZ_command(cmd("QZ_Effect %o -clock 48000"), hp);
    EXPECT_EQ(k_of(hp), 109573357u);
    auto* lp = c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -clock 44100 -f 1000");
    EXPECT_EQ(k_of(lp), 535616699u);
    QZ_command(cmd("%o -f 20000"), lp);
    EXPECT_EQ(k_of(lp), 3179251445u);
}

TEST(Onepole, CoefficientKeptWithoutFrequencyOrClock) {
    Chain c(16);
    auto* hp = c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -f 200");
    EXPECT_EQ(k_of(hp), 0u); // no clock yet
    QZ_command(cmd("QZ_Effect %o -clock 44100"), hp);
    EXPECT_EQ(k_of(hp), 118995045u);
    QZ_command(cmd("%o -f 0"), hp);
    EXPECT_EQ(k_of(hp), 118995045u);
    QZ_command(cmd("QZ_Effect %o -clock 0"), hp);
    EXPECT_EQ(k_of(hp), 118995045u);
    int32_t f = 0;
    QZ_command(cmd("%o -f 200.9 -f"), hp, &f);
    EXPECT_EQ(f, 200);
}

TEST(Onepole, NegativeCornersSaturateTheCoefficient) {
    Chain c(16);
    auto* hp = c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -clock 44100 -f -100");
    EXPECT_EQ(k_of(hp), 0u);
    QZ_command(cmd("%o -f -7019"), hp); // the denominator crosses zero near here
    uint32_t k1 = k_of(hp);
    QZ_command(cmd("%o -f -7018"), hp);
    EXPECT_TRUE(k1 == 0u || k1 == UINT32_MAX);
    EXPECT_TRUE(k_of(hp) == 0u || k_of(hp) == UINT32_MAX);
}

TEST(Onepole, HipassMatchesReferenceOverRandomInput) {
    const int n = 512;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* hp = c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -i %o -o %o -clock 44100 -f 20000 "
                                         "-mode add",
                                         in, out);
    uint32_t k = hp->k;
    int32_t y = 0;
    for (uint32_t pass = 0; pass < 3; ++pass) {
        auto x = qz::test::random_samples(n, 11 + pass);
        c.set(in, x);
        c.set(out, qz::test::random_samples(n, 99));
        c.run();
        for (int j = 0; j < n; ++j) {
            y = step(x[size_t(j)], y, k);
            ASSERT_EQ(out->data[j], int32_t(uint32_t(x[size_t(j)]) - uint32_t(y)))
                << "pass " << pass << " sample " << j; // mode ignored: always set
        }
    }
}

TEST(Onepole, LopassMatchesReferenceInEveryMode) {
    const int n = 300;
    for (int mode = 0; mode < 6; ++mode) {
        Chain c(n);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        auto* lp = c.block<QZ_Effect_Lopass>(
            std::string("QZ_Effect_Lopass -i %o -o %o -clock 48000 -f 5000 -mode ") +
                qz::test::mode_name(mode),
            in, out);
        uint32_t k = lp->k;
        int32_t y = 0;
        for (uint32_t pass = 0; pass < 2; ++pass) {
            auto x = qz::test::random_samples(n, 5 + pass);
            auto o = qz::test::random_samples(n, 77 + pass);
            c.set(in, x);
            c.set(out, o);
            c.run();
            std::vector<int32_t> ys(n);
            for (size_t j = 0; j < ys.size(); ++j)
                ys[j] = y = step(x[j], y, k);
            ASSERT_TRUE(qz::test::written(mode, c.get(out), o, ys));
        }
        EXPECT_EQ(lp->y, y);
    }
}

TEST(Onepole, WithoutCoefficientHipassPassesAndLopassStaysSilent) {
    const int n = 64;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* hout = c.buffer();
    QZ_Buffer* lout = c.buffer();
    c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -i %o -o %o -f 200", in, hout);
    c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -i %o -o %o -f 200", in, lout);
    auto x = qz::test::random_samples(n, 3);
    c.set(in, x);
    c.set(lout, x);
    c.run();
    EXPECT_EQ(c.get(hout), x);
    EXPECT_EQ(c.get(lout), std::vector<int32_t>(n, 0));
}

TEST(Onepole, HipassSettlesTowardZeroOnConstantInput) {
    const int n = 512;
    Chain c(n);
    QZ_Buffer* b = c.buffer();
    c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -i %o -o %o -clock 44100 -f 200", b, b);
    int32_t first = 0, last = 0;
    for (int pass = 0; pass < 8; ++pass) {
        c.set(b, std::vector<int32_t>(n, 1 << 28));
        c.run();
        if (pass == 0) first = b->data[0];
        last = b->data[n - 1];
    }
    EXPECT_GT(first, (1 << 28) - (1 << 24));
    EXPECT_LT(std::abs(last), 1 << 12);
}

TEST(Onepole, LopassStnWritesTheNegatedSetResult) {
    const int n = 128;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* a = c.buffer();
    QZ_Buffer* b = c.buffer();
    c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -i %o -o %o -clock 44100 -f 300", in, a);
    c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -i %o -o %o -clock 44100 -f 300 -mode stn", in, b);
    for (int pass = 0; pass < 2; ++pass) {
        c.set(in, std::vector<int32_t>(n, 1 << 29));
        c.run();
        for (int j = 0; j < n; ++j)
            ASSERT_EQ(b->data[j], -a->data[j]);
    }
    EXPECT_GT(a->data[n - 1], 0);
}

TEST(Onepole, MissingBufferDoesNothing) {
    Chain c(16);
    QZ_Buffer* b = c.buffer();
    c.set(b, std::vector<int32_t>(16, 5));
    c.block<QZ_Effect_Hipass>("QZ_Effect_Hipass -i %o -clock 44100 -f 200", b);
    c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -o %o -clock 44100 -f 200", b);
    c.run();
    EXPECT_EQ(c.get(b), std::vector<int32_t>(16, 5));
}

TEST(Onepole, ResetClearsTheMemory) {
    Chain c(16);
    QZ_Buffer* b = c.buffer();
    auto* lp = c.block<QZ_Effect_Lopass>("QZ_Effect_Lopass -i %o -o %o -clock 44100 -f 2000", b, b);
    c.set(b, std::vector<int32_t>(16, 1 << 28));
    c.run();
    EXPECT_NE(lp->y, 0);
    c.pipe->reset();
    EXPECT_EQ(lp->y, 0);
}

TEST(Zero, ClearsExactlyTheLengthQuery) {
    Chain c(32);
    QZ_Buffer* b = c.buffer();
    c.set(b, std::vector<int32_t>(32, 9));
    c.block<QZ_Effect_Zero>("QZ_Effect_Zero -o %o -mode add", b);
    QZ_command(cmd("%o -bl 20"), c.pipe);
    c.run();
    for (int j = 0; j < 32; ++j)
        EXPECT_EQ(b->data[j], j < 20 ? 0 : 9) << j;
    c.block<QZ_Effect_Zero>("QZ_Effect_Zero"); // no output: nothing to do
    c.run();
}

} // namespace
