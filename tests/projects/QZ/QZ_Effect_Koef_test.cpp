#include "QZ_ArithReference.h"
#include "QZ_BlockTest.h"
#include "QZ_Effect_Koef.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

TEST(Koef, FactorFigures) {
    Chain c(4);
    auto* e = c.block<QZ_Effect_Koef>("QZ_Effect_Koef");
    EXPECT_EQ(e->K, 0);
    struct {
        const char* k;
        int32_t K;
    } cases[] = {
        {"1", 16909320},       {"-1", -16909320},          {"1.0", 16909320},   {"0.5", 8454660},
        {"126", 2130574327},   {"-126", -2130574327},      {"127", INT32_MAX},  {"-127", INT32_MIN},
        {"100000", INT32_MAX}, {"-2147483648", INT32_MIN}, {"1e30", INT32_MAX}, {"0", 0}};
    for (auto& k : cases) {
        int32_t K = 1;
        EXPECT_EQ(QZ_command(cmd(std::string("%o -k ") + k.k + " -k"), e, &K), QZ_OK);
        EXPECT_EQ(K, k.K) << k.k;
    }
    int32_t K = 0;
    QZ_command(cmd("%o -k %f -k"), e, 1.0, &K); // a float from the caller
    EXPECT_EQ(K, 16909320);
    QZ_command(cmd("%o -k word -k"), e, &K); // no number: the factor stays
    EXPECT_EQ(K, 16909320);
}

TEST(Koef, MatchesReferenceForEveryOperatorModeAndFactor) {
    // the baseline loops and the wider ones where the processor has them
    qz::test::at_every_level([](qz::isa::Level level) {
        const int n = 203;
        const char* const opers[] = {"add", "sub", "mul", "div"};
        const int32_t factors[] = {0,         1,          -1,       1 << 24,  INT32_MAX,
                                   INT32_MIN, -(1 << 30), 16909320, 987654321};
        for (int op = 0; op < 4; ++op)
            for (int mode = 0; mode < 6; ++mode)
                for (int in_place = 0; in_place < 2; ++in_place) {
                    Chain c(n);
                    QZ_Buffer* in = c.buffer();
                    QZ_Buffer* out = in_place ? in : c.buffer();
                    auto* e = c.block<QZ_Effect_Koef>(
                        std::string("QZ_Effect_Koef -i %o -o %o -oper ") + opers[op] + " -mode " +
                            qz::test::mode_name(mode),
                        in, out);
                    for (int32_t K : factors) {
                        e->K = K;
                        uint32_t seed = uint32_t(op * 1000 + mode * 10 + in_place) ^ uint32_t(K);
                        c.set(in, qz::test::random_samples(n, seed));
                        if (!in_place) c.set(out, qz::test::random_samples(n, seed + 1));
                        auto x = c.get(in), before = c.get(out);
                        c.run();
                        std::vector<int32_t> r(n);
                        for (size_t j = 0; j < r.size(); ++j)
                            r[j] = qz::test::ref_oper(op, x[j], K, true);
                        ASSERT_TRUE(qz::test::written(mode, c.get(out), before, r))
                            << opers[op] << " K " << K << " level " << level;
                    }
                }
    });
}

TEST(Koef, SumWrapsAndZeroCountsAsNegativeInTheQuotient) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* e = c.block<QZ_Effect_Koef>("QZ_Effect_Koef -i %o -o %o", in, out);
    e->K = 1;
    c.set(in, {INT32_MAX, INT32_MIN, 0, -1});
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{INT32_MIN, INT32_MIN + 1, 1, 0}));
    QZ_command(cmd("%o -oper div"), e);
    e->K = 1 << 20;
    c.set(in, {0, 1 << 24, -(1 << 24), 1});
    c.run();
    // 0 against a positive factor counts as negative: -floor(2^24 / (2^20 + 1))
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{-15, 268435216, -268435216, 31}));
    e->K = 0;
    c.set(in, {0, 1, -1, INT32_MIN});
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{1 << 24, -(1 << 25), 1 << 25, INT32_MAX}));
}

TEST(Koef, UnknownKeywordKeepsTheOperator) {
    Chain c(4);
    auto* e = c.block<QZ_Effect_Koef>("QZ_Effect_Koef -oper mul");
    char* answer = nullptr;
    QZ_command(cmd("%o -oper Div -oper"), e, &answer);
    EXPECT_STREQ(answer, "mul");
    QZ_command(cmd("%o -oper sub -oper"), e, &answer);
    EXPECT_STREQ(answer, "sub");
}

TEST(Koef, NeverPastTheOutputNorWithoutBuffers) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer(3);
    for (int k = 0; k < 3; ++k)
        out->copy[k] = 77;
    c.set(in, std::vector<int32_t>(8, 4));
    c.block<QZ_Effect_Koef>("QZ_Effect_Koef -i %o -o %o -mode stn", in, out);
    c.block<QZ_Effect_Koef>("QZ_Effect_Koef -o %o -k 5", in);
    c.block<QZ_Effect_Koef>("QZ_Effect_Koef -i %o -k 5", in);
    QZ_command(cmd("%o -bl 64"), c.pipe); // more than the buffers were made for
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(3, -4));
    EXPECT_EQ(std::vector<int32_t>(out->copy, out->copy + 3), std::vector<int32_t>(3, 77));
    EXPECT_EQ(c.get(in), std::vector<int32_t>(8, 4));
}

} // namespace
