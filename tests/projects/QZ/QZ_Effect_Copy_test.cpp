#include "QZ_BlockTest.h"
#include "QZ_Effect_Copy.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

TEST(Copy, EverySecondInputSampleIntoConsecutiveOutputSamples) {
    Chain c(256);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o -is 2 -os 1", in, out);
    auto x = qz::test::random_samples(256, 1);
    c.set(in, x);
    c.set(out, std::vector<int32_t>(256, 9));
    c.run();
    for (int m = 0; m < 256; ++m)
        ASSERT_EQ(out->data[m], m < 128 ? x[size_t(2 * m)] : 9) << m;
}

TEST(Copy, MatchesSequentialReferenceForEveryModeStrideAndAliasing) {
    const int n = 97;
    const int strides[][2] = {{1, 1}, {2, 1}, {1, 2}, {3, 2}, {2, 3}, {1, 5}, {97, 1}};
    for (int mode = 0; mode < 6; ++mode)
        for (auto& s : strides)
            for (int in_place = 0; in_place < 2; ++in_place) {
                Chain c(n);
                QZ_Buffer* in = c.buffer();
                QZ_Buffer* out = in_place ? in : c.buffer();
                c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o -is %i -os %i -mode " +
                                            std::string(qz::test::mode_name(mode)),
                                        in, out, s[0], s[1]);
                c.set(in, qz::test::random_samples(n, uint32_t(mode * 100 + s[0] * 10 + s[1])));
                if (!in_place) c.set(out, qz::test::random_samples(n, 5));
                std::vector<int32_t> x = c.get(in), o = c.get(out);
                std::vector<int32_t>& src =
                    in_place ? o : x; // one buffer: reads see earlier writes
                int count = n / s[0];
                if ((count - 1) * s[1] >= n) count = (n - 1) / s[1] + 1;
                if (!(in_place && mode == 0))
                    for (int m = 0; m < count; ++m) {
                        int32_t& t = o[size_t(m * s[1])];
                        t = qz::test::reference_mode(mode, t, src[size_t(m * s[0])]);
                    }
                c.run();
                ASSERT_EQ(c.get(out), o) << "mode " << mode << " is " << s[0] << " os " << s[1]
                                         << " in place " << in_place;
            }
}

TEST(Copy, OntoItselfInSetLeavesTheBufferWhateverTheStrides) {
    Chain c(64);
    QZ_Buffer* b = c.buffer();
    auto* e = c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o", b, b);
    auto x = qz::test::random_samples(64, 3);
    c.set(b, x);
    for (auto s : {std::pair{1, 1}, {2, 1}, {1, 2}, {5, 3}}) {
        QZ_command(cmd("%o -is %i -os %i"), e, s.first, s.second);
        c.run();
        ASSERT_EQ(c.get(b), x) << s.first << " " << s.second;
    }
}

TEST(Copy, NothingForStridesBelowOneOrShortInputs) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.set(in, std::vector<int32_t>(8, 1));
    auto* e = c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o", in, out);
    int32_t is = 0, os = 0;
    QZ_command(cmd("%o -is -os"), e, &is, &os);
    EXPECT_EQ(is, 1);
    EXPECT_EQ(os, 1);
    for (auto s : {std::pair{0, 1}, {1, 0}, {-1, 1}, {1, -2}, {INT32_MIN, INT32_MIN}, {9, 1}}) {
        QZ_command(cmd("%o -is %i -os %i"), e, s.first, s.second);
        c.run();
        ASSERT_EQ(c.get(out), std::vector<int32_t>(8, 0)) << s.first << " " << s.second;
    }
    QZ_command(cmd("%o -is 1 -os 1"), e);
    QZ_command(cmd("%o -bl 0"), c.pipe);
    c.run();
    EXPECT_EQ(c.get(out, 8), std::vector<int32_t>(8, 0));
    QZ_command(cmd("%o -bl 8"), c.pipe);
    c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o", in);
    c.block<QZ_Effect_Copy>("QZ_Effect_Copy -o %o", out);
    c.run(); // the first block copies; the two without a buffer do nothing
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 1));
}

TEST(Copy, ShortOutputTakesOnlyTheSamplesThatFit) {
    Chain c(16);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer(10);
    for (int k = 0; k < 10; ++k)
        out->copy[k] = 77; // right after the output's contents
    std::vector<int32_t> x(16);
    for (int k = 0; k < 16; ++k)
        x[size_t(k)] = k + 1;
    c.set(in, x);
    c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o -os 3", in, out);
    c.block<QZ_Effect_Copy>("QZ_Effect_Copy -i %o -o %o -os %i", in, out, INT32_MAX);
    c.run(); // the second writes only o[0]: (M - 1) * os + 1 would not fit
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{1, 0, 0, 2, 0, 0, 3, 0, 0, 4}));
    EXPECT_EQ(std::vector<int32_t>(out->copy, out->copy + 10), std::vector<int32_t>(10, 77));
}

} // namespace
