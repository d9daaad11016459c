// The operators through the blocks' own loops (mode "set"), pair by pair
// against the 64-bit reference: the quotient's double-precision shortcut has
// to be exact everywhere.
#include "QZ_ArithReference.h"
#include "QZ_BlockTest.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Effect_Oper.h"
#include "QZ_Isa.h"

#include <algorithm>
#include <map>
#include <random>

namespace {

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

// Runs pairs through both blocks' loops of an operator, the baseline ones and
// the wider ones where the processor has them; the factor block gets the
// pairs grouped by their second member. Answers the number of mismatches.
int mismatches(int op, const Pairs& pairs) {
    int bad = 0;
    std::vector<int32_t> a, b, out;
    for (auto& p : pairs)
        a.push_back(p.first), b.push_back(p.second);
    std::map<int32_t, std::vector<int32_t>> by_factor;
    for (auto& p : pairs)
        by_factor[p.second].push_back(p.first);
    const bool wide = qz::isa::offered() >= qz::isa::AVX2;
    for (int w = 0; w <= int(wide); ++w) {
        const auto& two = w ? QZ_Effect_Oper::kernels_avx2 : QZ_Effect_Oper::kernels;
        const auto& one = w ? QZ_Effect_Koef::kernels_avx2 : QZ_Effect_Koef::kernels;
        out.assign(a.size(), 0);
        two[size_t(op * 6)](a.data(), b.data(), out.data(), int32_t(a.size()));
        for (size_t k = 0; k < a.size(); ++k)
            if (out[k] != qz::test::ref_oper(op, a[k], b[k], false) && ++bad < 5)
                ADD_FAILURE() << "two inputs, operator " << op << ", wide " << w << ": " << a[k]
                              << ", " << b[k];
        for (auto& [K, x] : by_factor) {
            out.assign(x.size(), 0);
            one[size_t(op * 6)](x.data(), out.data(), int32_t(x.size()), K);
            for (size_t k = 0; k < x.size(); ++k)
                if (out[k] != qz::test::ref_oper(op, x[k], K, true) && ++bad < 5)
                    ADD_FAILURE() << "factor, operator " << op << ", wide " << w << ": " << x[k]
                                  << ", " << K;
        }
    }
    return bad;
}

int32_t signed_magnitude(uint64_t m, uint64_t bits) { // m - 1 with a random sign
    int64_t v = int64_t(m) - 1;
    return int32_t(bits & 1 ? -v : v);
}

std::vector<int32_t> edges() {
    std::vector<int32_t> e = {0, 1, -1, 2, -2, INT32_MAX, INT32_MIN, INT32_MIN + 1, INT32_MAX - 1};
    for (int k : {7, 15, 23, 24, 25, 30})
        for (int32_t d : {-1, 0, 1}) {
            int32_t v = int32_t((int64_t(1) << k) + d);
            e.push_back(v);
            e.push_back(-v);
        }
    return e;
}

TEST(Arith, EveryOperatorExactOverAllPairsOfEdgeValues) {
    Pairs p;
    for (int32_t a : edges())
        for (int32_t b : edges())
            p.push_back({a, b});
    for (int op = 0; op < 4; ++op)
        EXPECT_EQ(mismatches(op, p), 0) << op;
}

TEST(Arith, QuotientExactOverSmallValuesAndRandomOnes) {
    Pairs p;
    for (int32_t a = -200; a <= 200; ++a)
        for (int32_t b = -200; b <= 200; ++b)
            p.push_back({a, b});
    auto x = qz::test::random_samples(1 << 17, 21), y = qz::test::random_samples(1 << 17, 22);
    for (size_t k = 0; k < x.size(); ++k)
        p.push_back({x[k], y[k] >> (k % 32)});
    EXPECT_EQ(mismatches(3, p), 0);
}

// Numerators just below a multiple of the divisor, where a rounded quotient
// truncates one too high: A * 2^24 = -r (mod d) for small r, found through the
// inverse of 2^24 modulo an odd d.
TEST(Arith, QuotientExactWhereRoundingCrossesAnInteger) {
    std::mt19937_64 g(5);
    Pairs p;
    int rounds_up = 0; // pairs a plain truncated double quotient gets wrong
    for (int divisors = 0; divisors < 256; ++divisors) {
        uint64_t d = (g() % (uint64_t(1) << 31)) | 1; // d = |b| + 1
        int64_t t = 0, nt = 1, r = int64_t(d), nr = int64_t((uint64_t(1) << 24) % d);
        while (nr) { // extended Euclid: t = inverse of 2^24
            int64_t q = r / nr, tmp = t - q * nt;
            t = nt, nt = tmp, tmp = r - q * nr, r = nr, nr = tmp;
        }
        uint64_t inv = uint64_t(t < 0 ? t + int64_t(d) : t);
        uint64_t limit = std::min<uint64_t>(d * 128, (uint64_t(1) << 31) + 1); // no saturation
        int32_t b = signed_magnitude(d, g());
        for (int k = 0; k < 2048; ++k) {
            uint64_t A = (d - (1 + g() % 8) % d) % d * inv % d;
            if (A == 0 || A >= limit) continue;
            A += d * (g() % ((limit - A) / d + 1));
            p.push_back({signed_magnitude(A, g()), b});
            double q = double(A) * 16777216.0 / double(d);
            rounds_up += uint64_t(q) != (A << 24) / d;
        }
    }
    EXPECT_GT(rounds_up, 10000); // the set does probe the hard cases
    EXPECT_EQ(mismatches(3, p), 0);
}

TEST(Arith, QuotientExactAtTheSaturationEdgeAndTheLargestDivisor) {
    std::mt19937 g(9);
    Pairs p;
    for (int k = 0; k < 4096; ++k) { // A around 128 d: Q around 2^31 - 1
        uint64_t d = 1 + g() % (uint64_t(1) << 24);
        for (int64_t s : {-1, 0, 1})
            p.push_back({signed_magnitude(d * 128 + uint64_t(s), g()), signed_magnitude(d, g())});
    }
    // b = -2^31: the one divisor above 2^31
    for (int64_t a = INT32_MIN; a <= INT32_MAX; a += 65521)
        p.push_back({int32_t(a), INT32_MIN});
    for (int32_t r = 1; r <= 16; ++r)
        p.push_back({128 * r - 1, INT32_MIN}), p.push_back({-128 * r + 1, INT32_MIN});
    EXPECT_EQ(mismatches(3, p), 0);
}

} // namespace
