#include "QZ_BlockTest.h"
#include "QZ_Effect_Nefreqmul.h"

#include <algorithm>
#include <cmath>

using qz::test::Chain;
using qz::test::cmd;
using Nefreqmul = QZ_Effect_Nefreqmul;

namespace {

using qz::test::wrap32;

// The multiplier written out plainly: 64-bit positions reduced with %, each
// copy's samples by the three rules, the copies held to what fits before the
// period (the last one made blends).
struct ReferenceNefreqmul {
    static constexpr int64_t N = 32768;
    std::vector<int32_t> ring = std::vector<int32_t>(N, 0);
    int64_t w = 0, r = 0, s = 0;
    int32_t prev = -1;
    double average = 0.0;
    double rand = 0.6, stab = 0.7;

    static int64_t mod(int64_t v) { return ((v % N) + N) % N; }
    static int32_t trunc(double v) {
        return v >= 2147483647.0 ? INT32_MAX : v <= -2147483648.0 ? INT32_MIN : int32_t(v);
    }

    void run(const std::vector<int32_t>& in, std::vector<int32_t>& out, int mode, int64_t k,
             int32_t fs) {
        if (k < 1) k = 1;
        const float lag = float(fs) * 0.02f;
        for (int32_t x : in) {
            w = mod(w + 1);
            double slope = double(wrap32(int64_t(x) - prev));
            bool accept = prev < 0 && x >= 0;
            if (accept && average > 0.1) {
                double ratio = slope / average;
                if (ratio > 1.0 || ratio < rand) accept = false;
                if (float(mod(w - s)) > lag) accept = true;
            }
            if (accept) {
                int64_t e = w, L = mod(e - s);
                int64_t copies = L == 0 ? 0 : std::min(k - 1, (N - L) / L);
                int32_t xp = wrap32(int64_t(x) + prev);
                for (int64_t c = 0; c < copies; ++c) {
                    int64_t a = s, b = mod(e - 1);
                    for (int64_t j = 0; j < L; ++j) {
                        int32_t F = ring[size_t(a)];
                        int32_t M = wrap32(int64_t(xp) - ring[size_t(b)]);
                        int32_t v;
                        if (c % 2 == 1)
                            v = F;
                        else if (c == copies - 1)
                            v = trunc((double(j) * F + double(L - j) * M) / double(L));
                        else
                            v = trunc(M - double(xp) * double(j) / double(L));
                        ring[size_t(w)] = v;
                        w = mod(w + 1);
                        a = mod(a + 1);
                        b = mod(b - 1);
                    }
                }
                s = w;
                average = (1.0 - stab) * slope + average * stab;
            }
            ring[size_t(w)] = x;
            prev = x;
        }
        int64_t d = int64_t(lag * float(k));
        int64_t p = mod(r - d);
        for (size_t j = 0; j < in.size(); ++j) {
            if (mode == 0) out[j] = ring[size_t(p)];
            if (mode == 1) out[j] = wrap32(int64_t(out[j]) + ring[size_t(p)]);
            p = mod(p + k);
            r = mod(r + k);
        }
    }
};

// A sine of a slowly wandering period with a little noise: crossings the
// detector weighs, rather than accepting or rejecting all of them.
std::vector<int32_t> voiced_samples(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::vector<int32_t> v(n);
    double phase = 0.0;
    for (size_t t = 0; t < n; ++t) {
        phase += 6.283185307179586 / (60.0 + 40.0 * std::sin(double(t) * 0.0003));
        v[t] = int32_t(std::sin(phase) * 4e8) + (int32_t(g()) >> 6);
    }
    return v;
}

TEST(Nefreqmul, MatchesReferenceForEveryFactorClockAndMode) {
    const int n = 157, blocks = 30;
    const int32_t factors[] = {1, 2, 3, 4, 7, 0, 1000000};
    const double settings[][2] = {{0.6, 0.7}, {0.2, 0.95}};
    for (int32_t k : factors)
        for (int32_t fs : {0, 8000, 44100})
            for (int mode = 0; mode < 6; ++mode)
                for (int voiced = 0; voiced < 2; ++voiced) {
                    Chain c(n);
                    QZ_Buffer* in = c.buffer();
                    QZ_Buffer* out = c.buffer();
                    auto* e = c.block<Nefreqmul>(
                        std::string("QZ_Effect_Nefreqmul -i %o -o %o -clock %i -mode ") +
                            qz::test::mode_name(mode),
                        in, out, fs);
                    e->k = k;
                    ReferenceNefreqmul ref;
                    ref.rand = e->rand = settings[voiced][0];
                    ref.stab = e->stab = settings[voiced][1];
                    uint32_t seed = uint32_t(k) * 31u + uint32_t(fs) + uint32_t(mode);
                    auto x = voiced ? voiced_samples(size_t(n * blocks), seed)
                                    : qz::test::random_samples(size_t(n * blocks), seed);
                    for (int b = 0; b < blocks; ++b) {
                        std::vector<int32_t> xb(x.begin() + b * n, x.begin() + (b + 1) * n);
                        c.set(in, xb);
                        auto y = qz::test::random_samples(size_t(n), seed + uint32_t(b));
                        c.set(out, y);
                        c.run();
                        ref.run(xb, y, mode, k, fs); // leaves y alone outside "set" and "add"
                        ASSERT_EQ(c.get(out), y)
                            << "k " << k << " fs " << fs << " mode " << mode << " block " << b;
                    }
                    EXPECT_EQ(e->marks.w, ref.w);
                    EXPECT_EQ(e->average, ref.average);
                }
}

// The period 10, 20, -30, -40 closed by the crossing -40 -> 50 (x + prev = 10),
// every crossing accepted at clock 0. Figures worked by hand.
TEST(Nefreqmul, CopiesMirrorThenBlendIntoTheForwardPeriod) {
    struct {
        int32_t k;
        std::vector<int32_t> copies;
    } cases[] = {
        // one copy: from the mirror image 50, 40, -10, 0 into the period
        {2, {50, 35, -20, -30}},
        // mirrored less the ramp 10 j / 4, then the period forward
        {3, {50, 37, -15, -7, 10, 20, -30, -40}},
        {4, {50, 37, -15, -7, 10, 20, -30, -40, 50, 35, -20, -30}},
    };
    for (auto& t : cases) {
        Chain c(5);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        auto* e = c.block<Nefreqmul>("QZ_Effect_Nefreqmul -i %o -o %o -k %i", in, out, t.k);
        c.set(in, {10, 20, -30, -40, 50});
        c.run();
        // 10 is a crossing too (prev starts at -1): its one-sample period is
        // ring[0] = 0, whose copies fill ring[1 .. k-1]; the period starts at k
        const int32_t p = t.k;
        EXPECT_EQ(std::vector<int32_t>(e->ring + p, e->ring + p + 4),
                  (std::vector<int32_t>{10, 20, -30, -40}));
        EXPECT_EQ(std::vector<int32_t>(e->ring + p + 4, e->ring + p + 4 + t.copies.size()),
                  t.copies)
            << "k " << t.k;
        EXPECT_EQ(e->ring[p + 4 + int32_t(t.copies.size())], 50);
    }
}

// A crossing counts when its rise lies within [rand, 1] times the average, or
// when the period is already longer than fs * 0.02 (10 samples at 500 Hz).
TEST(Nefreqmul, DetectorWeighsTheRiseAgainstTheAverage) {
    struct {
        double average;
        int32_t rise;
        int32_t period;
        bool accepted;
    } cases[] = {
        {100.0, 100, 6, true}, {100.0, 101, 6, false},  {100.0, 60, 6, true},
        {100.0, 59, 6, false}, {100.0, 101, 10, false}, {100.0, 101, 11, true},
        {100.0, 50, 11, true}, {0.1, 5000, 6, true},    {0.11, 5000, 6, false},
    };
    for (auto t : cases) {
        Chain c(1);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        auto* e = c.block<Nefreqmul>("QZ_Effect_Nefreqmul -i %o -o %o -clock 500", in, out);
        e->average = t.average;
        e->prev = -50;
        e->marks.s = 1000 - t.period;
        e->marks.w = 999; // the crossing lands at 1000
        in->data[0] = t.rise - 50;
        c.run();
        // an accepted crossing appends one copy of the period (k = 2)
        EXPECT_EQ(e->marks.w, 1000 + (t.accepted ? t.period : 0))
            << t.average << " " << t.rise << " " << t.period;
        double average = t.accepted ? (1.0 - 0.7) * t.rise + t.average * 0.7 : t.average;
        EXPECT_EQ(e->average, average);
    }
}

TEST(Nefreqmul, OptionsAndReset) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* e = c.block<Nefreqmul>("QZ_Effect_Nefreqmul -i %o -o %o", in, out);
    float rand = 0, stab = 0;
    int32_t k = 0;
    EXPECT_EQ(QZ_command(cmd("%o -rand 0.5 -rand -stab 1 -stab -k -3 -k"), e, &rand, &stab, &k),
              QZ_OK);
    EXPECT_EQ(rand, 0.5f);
    EXPECT_EQ(stab, 1.0f);
    EXPECT_EQ(k, 1);
    EXPECT_EQ(e->rand, 0.5);
    QZ_command(cmd("%o -rand %f -rand"), e, 0.25, &rand);
    EXPECT_EQ(rand, 0.25f);

    // switching off resets ring and average; positions and the last sample stay
    c.set(in, {5, -3, 9, -1});
    c.run();
    QZ_command(cmd("%o -on 0"), e);
    c.run();
    EXPECT_EQ(std::count(e->ring, e->ring + Nefreqmul::RING, 0), Nefreqmul::RING);
    EXPECT_EQ(e->average, 0.0);
    EXPECT_EQ(e->prev, -1);
    EXPECT_NE(e->marks.w, 0);
}

} // namespace
