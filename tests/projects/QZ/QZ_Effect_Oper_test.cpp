#include "QZ_ArithReference.h"
#include "QZ_BlockTest.h"
#include "QZ_Effect_Oper.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

const char* const opers[] = {"add", "sub", "mul", "div"};

// One pass of a block on the given inputs; answers the output.
std::vector<int32_t> oper(const char* op, std::vector<int32_t> a, std::vector<int32_t> b) {
    Chain c(int32_t(a.size()));
    QZ_Buffer* i1 = c.buffer();
    QZ_Buffer* i2 = c.buffer();
    QZ_Buffer* o = c.buffer();
    c.block<QZ_Effect_Oper>(std::string("QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper ") + op, i1, i2,
                            o);
    c.set(i1, a);
    c.set(i2, b);
    c.run();
    return c.get(o);
}

TEST(Oper, MatchesReferenceForEveryOperatorModeAndAliasing) {
    // the baseline loops and the wider ones where the processor has them
    qz::test::at_every_level([](qz::isa::Level level) {
        const int n = 301; // odd: the vector loops' tails run too
        for (int op = 0; op < 4; ++op)
            for (int mode = 0; mode < 6; ++mode)
                for (int alias = 0; alias < 4; ++alias) { // apart, o = i1, o = i2, all one
                    Chain c(n);
                    QZ_Buffer* x = c.buffer();
                    QZ_Buffer* y = alias == 3 ? x : c.buffer();
                    QZ_Buffer* o = alias == 1 || alias == 3 ? x : alias == 2 ? y : c.buffer();
                    c.block<QZ_Effect_Oper>(
                        std::string("QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper ") + opers[op] +
                            " -mode " + qz::test::mode_name(mode),
                        x, y, o);
                    uint32_t seed = uint32_t(op * 100 + mode * 10 + alias);
                    c.set(x, qz::test::random_samples(n, seed));
                    if (y != x) c.set(y, qz::test::random_samples(n, seed + 1000));
                    if (o != x && o != y) c.set(o, qz::test::random_samples(n, seed + 2000));
                    auto a = c.get(x), b = c.get(y), before = c.get(o);
                    c.run();
                    std::vector<int32_t> r(n);
                    for (size_t j = 0; j < r.size(); ++j)
                        r[j] = qz::test::ref_oper(op, a[j], b[j], false);
                    ASSERT_TRUE(qz::test::written(mode, c.get(o), before, r))
                        << opers[op] << " alias " << alias << " level " << level;
                }
    });
}

TEST(Oper, Figures) {
    const int32_t one = 1 << 24;
    EXPECT_EQ(oper("add", {INT32_MAX, INT32_MIN, INT32_MAX, -5}, {1, -1, INT32_MIN, 3}),
              (std::vector<int32_t>{INT32_MAX, INT32_MIN, -1, -2}));
    EXPECT_EQ(oper("sub", {INT32_MIN, INT32_MAX}, {1, -1}),
              (std::vector<int32_t>{INT32_MAX, INT32_MIN})); // wraps
    auto x = qz::test::random_samples(64, 7);
    EXPECT_EQ(oper("mul", x, std::vector<int32_t>(64, one)), x);
    EXPECT_EQ(oper("mul", {1 << 30, -(1 << 30), -1, 3}, {1 << 30, 1 << 30, 1, -(1 << 23)}),
              (std::vector<int32_t>{INT32_MAX, INT32_MIN, -1, -2})); // floor, not toward zero
    EXPECT_EQ(
        oper("div", {one, 0, -one, 0, INT32_MIN, 5, 0}, {one, 0, one, -1, 0, INT32_MIN, INT32_MAX}),
        (std::vector<int32_t>{one, one, -one, -(one / 2), INT32_MIN, 0, 0}));
}

TEST(Oper, UnknownKeywordKeepsTheOperator) {
    Chain c(4);
    auto* e = c.block<QZ_Effect_Oper>("QZ_Effect_Oper");
    char* answer = nullptr;
    QZ_command(cmd("%o -oper"), e, &answer);
    EXPECT_STREQ(answer, "add");
    for (const char* word : {"mul", "xyz", "MUL", "mult", "mu", "7"}) {
        QZ_command(cmd(std::string("%o -oper ") + word + " -oper"), e, &answer);
        EXPECT_STREQ(answer, "mul") << word;
    }
    EXPECT_EQ(e->oper, 2);
    QZ_command(cmd("%o -oper div -oper"), e, &answer);
    EXPECT_STREQ(answer, "div");
}

TEST(Oper, ProcessesOnlyWhatEveryBufferHolds) {
    Chain c(16);
    QZ_Buffer* a = c.buffer();
    QZ_Buffer* b = c.buffer(6);    // fixed, shorter second input
    QZ_Buffer* o = c.buffer(4);    // fixed, shorter output
    QZ_Buffer* none = c.buffer(0); // no storage
    for (int k = 0; k < 4; ++k)
        o->copy[k] = 77; // right after the output's contents
    c.set(a, std::vector<int32_t>(16, 5));
    c.set(b, std::vector<int32_t>(6, 2));
    c.block<QZ_Effect_Oper>("QZ_Effect_Oper -i1 %o -i2 %o -o %o", a, b, o);
    c.block<QZ_Effect_Oper>("QZ_Effect_Oper -i1 %o -i2 %o -o %o", none, b, a); // nothing to read
    c.block<QZ_Effect_Oper>("QZ_Effect_Oper -i1 %o -o %o", a, a);              // no second input
    c.run();
    EXPECT_EQ(c.get(o), std::vector<int32_t>(4, 7));
    EXPECT_EQ(std::vector<int32_t>(o->copy, o->copy + 4), std::vector<int32_t>(4, 77));
    EXPECT_EQ(c.get(a), std::vector<int32_t>(16, 5));
    QZ_command(cmd("%o -bl 0"), c.pipe);
    c.set(o, {1, 1, 1, 1});
    c.run(); // the output follows nothing: still 4 long, but the first input now holds none
    EXPECT_EQ(c.get(o), std::vector<int32_t>(4, 1));
}

} // namespace
