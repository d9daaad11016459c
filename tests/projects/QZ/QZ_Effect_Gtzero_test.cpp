#include "QZ_BlockTest.h"
#include "QZ_Effect_Gtzero.h"
#include "QZ_Effect_Ltzero.h"

using qz::test::Chain;
using qz::test::cmd;

namespace {

struct Clipper {
    const char* create;
    bool below; // Gtzero: clips from below
};
const Clipper clippers[] = {{"QZ_Effect_Gtzero", true}, {"QZ_Effect_Ltzero", false}};

TEST(Halfwave, LevelZeroKeepsOneHalfWave) {
    const std::vector<int32_t> x = {-5, 7, 0, -1, INT32_MIN, INT32_MAX};
    const std::vector<int32_t> gt = {0, 7, 0, 0, 0, INT32_MAX};
    const std::vector<int32_t> lt = {-5, 0, 0, -1, INT32_MIN, 0};
    for (auto& k : clippers) {
        Chain c(6);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        c.block<QZ_Effect_Halfwave>(std::string(k.create) + " -i %o -o %o", in, out);
        c.set(in, x);
        c.run();
        EXPECT_EQ(c.get(out), k.below ? gt : lt) << k.create;
    }
}

TEST(Halfwave, MatchesReferenceForEveryLevelAndMode) {
    const int n = 301;
    const int32_t levels[] = {0, 1, -1, INT32_MIN, INT32_MAX, 1 << 29, -(1 << 29), 123456789};
    for (auto& k : clippers)
        for (int mode = 0; mode < 6; ++mode)
            for (int in_place = 0; in_place < 2; ++in_place) {
                Chain c(n);
                QZ_Buffer* in = c.buffer();
                QZ_Buffer* out = in_place ? in : c.buffer();
                auto* e = c.block<QZ_Effect_Halfwave>(
                    std::string(k.create) + " -i %o -o %o -mode " + qz::test::mode_name(mode), in,
                    out);
                for (int32_t l : levels) {
                    int32_t answer = 0;
                    QZ_command(cmd("%o -l %i -l"), e, l, &answer);
                    ASSERT_EQ(answer, l);
                    auto x = qz::test::random_samples(n, uint32_t(l) ^ uint32_t(mode));
                    c.set(in, x);
                    if (!in_place) c.set(out, qz::test::random_samples(n, 9));
                    c.run();
                    for (int j = 0; j < n; ++j) {
                        int32_t v = x[size_t(j)];
                        int32_t y = k.below ? (v > l ? v : l) : (v < l ? v : l); // mode ignored
                        ASSERT_EQ(out->data[j], y) << k.create << " l " << l << " at " << j;
                    }
                }
            }
}

TEST(Halfwave, LevelTruncatesAndBuffersAreRequired) {
    Chain c(3);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.set(in, {-4, 4, 9});
    c.set(out, {1, 1, 1});
    auto* g = c.block<QZ_Effect_Gtzero>("QZ_Effect_Gtzero -o %o -l 5.9", out);
    EXPECT_EQ(g->l, 5);
    c.block<QZ_Effect_Ltzero>("QZ_Effect_Ltzero -i %o", in);
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{1, 1, 1}));
    QZ_command(cmd("%o -i %o"), g, in);
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{5, 5, 9}));
}

} // namespace
