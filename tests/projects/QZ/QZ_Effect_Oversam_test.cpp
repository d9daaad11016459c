#include "QZ_BlockTest.h"
#include "QZ_Effect_Oversam.h"

using qz::test::Chain;
using qz::test::cmd;
using Oversam = QZ_Effect_Oversam;

namespace {

using qz::test::wrap32;

// The interpolation written out plainly in 64-bit arithmetic, wrapped where
// a 32-bit value is stored or divided; input past its end is silence.
struct ReferenceOversam {
    int32_t A = 0, B = 0, C = 0, MA = 0, MB = 0;

    void run(const std::vector<int32_t>& in, std::vector<int32_t>& out) {
        for (size_t j = 0; j < out.size(); ++j) {
            size_t m = j / 8;
            int64_t r = int64_t(j % 8);
            if (r == 0) {
                MA = MB;
                A = B;
                B = C;
                C = (m < in.size() ? in[m] : 0) / 8;
                MB = (wrap32(int64_t(C) - A) / 2) / 8;
            }
            int64_t U = A + r * MA, V = B - (8 - r) * MB;
            out[j] = wrap32((8 - r) * wrap32(U) + r * wrap32(V));
        }
    }
};

TEST(Oversam, ImpulseAtStepTwoHasFullWeight) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer(64);
    c.block<Oversam>("QZ_Effect_Oversam -i %o -o %o", in, out);
    c.set(in, {8 << 20});
    c.run();
    auto y = c.get(out);
    EXPECT_EQ(y[16], 8 << 20); // r = 0 of step 2: B at full weight
    for (int m = 0; m < 8; ++m) {
        bool any = false;
        for (int r = 0; r < 8; ++r)
            any = any || y[size_t(8 * m + r)] != 0;
        EXPECT_EQ(any, m < 4) << "step " << m;
    }
    // the tangents' parabola in step 0: -r (8 - r) 2^16
    EXPECT_EQ(y[4], -16 << 16);
}

TEST(Oversam, ConstantPassesOnceTheStateHasFilled) {
    for (int32_t v : {8000, -(1 << 30), 8 * 268435455, 0}) {
        Chain c(8);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer(64);
        c.block<Oversam>("QZ_Effect_Oversam -i %o -o %o", in, out);
        c.set(in, std::vector<int32_t>(8, v));
        c.run();
        auto y = c.get(out);
        // steps 0 and 1 ramp up from the zero state; step 2 starts at v but
        // still bends with the slope at i[0] taken against the zero before it
        EXPECT_EQ(y[16], v);
        for (int j = 24; j < 64; ++j)
            ASSERT_EQ(y[size_t(j)], v) << v << " at " << j;
        c.run(); // the state carries: the next block is flat from its start
        EXPECT_EQ(c.get(out), std::vector<int32_t>(64, v)) << v;
    }
}

TEST(Oversam, MatchesReferenceAcrossBlocksForAnyOutputLength) {
    struct {
        int32_t n; // input block length
        int32_t L; // output length
    } cases[] = {
        {64, 512}, // eight times the input
        {64, 509}, // the last step cut short
        {64, 100}, // shorter: only the first 13 inputs
        {16, 400}, // longer than the input: silence beyond it
        {1, 8},
    };
    for (auto t : cases)
        for (int mode = 0; mode < 6; ++mode) {
            Chain c(t.n);
            QZ_Buffer* in = c.buffer();
            QZ_Buffer* out = c.buffer(t.L);
            c.block<Oversam>(std::string("QZ_Effect_Oversam -i %o -o %o -k 3 -mode ") +
                                 qz::test::mode_name(mode),
                             in, out);
            ReferenceOversam ref;
            std::vector<int32_t> y(size_t(t.L));
            for (int b = 0; b < 6; ++b) {
                auto x = qz::test::random_samples(size_t(t.n), uint32_t(b * 100 + t.L + mode));
                c.set(in, x);
                c.set(out, qz::test::random_samples(size_t(t.L), 5));
                c.run();
                ref.run(x, y); // every mode stores
                ASSERT_EQ(c.get(out), y) << t.n << " -> " << t.L << " block " << b;
            }
        }
}

TEST(Oversam, FactorStaysEightAndResetClearsTheState) {
    Chain c(2);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer(16);
    auto* e = c.block<Oversam>("QZ_Effect_Oversam -i %o -o %o", in, out);
    int32_t k0 = 0, k = 0;
    EXPECT_EQ(QZ_command(cmd("%o -k -k 2.7 -k"), e, &k0, &k), QZ_OK);
    EXPECT_EQ(k0, 1);
    EXPECT_EQ(k, 2);
    c.set(in, {800, -1600});
    c.run();
    ReferenceOversam ref;
    std::vector<int32_t> y(16);
    ref.run({800, -1600}, y);
    EXPECT_EQ(c.get(out), y);
    EXPECT_NE(e->state.C, 0);
    QZ_command(cmd("%o -on 0"), e);
    c.run();
    EXPECT_EQ(e->state.A | e->state.B | e->state.C | e->state.MA | e->state.MB, 0);
}

TEST(Oversam, OutputFollowingTheBlockLengthGetsNoWork) {
    // the work is the output's own stored length, and one that follows the
    // soundpipe stores none
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* e = c.block<Oversam>("QZ_Effect_Oversam -i %o -o %o", in, out);
    c.set(in, std::vector<int32_t>(8, 800));
    c.set(out, std::vector<int32_t>(8, 3));
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 3));
    EXPECT_EQ(e->state.C, 0);
}

} // namespace
