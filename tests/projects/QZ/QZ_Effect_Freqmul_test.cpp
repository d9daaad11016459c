#include "QZ_BlockTest.h"
#include "QZ_Effect_Freqmul.h"

#include <cmath>

using qz::test::Chain;
using qz::test::cmd;
using Freqmul = QZ_Effect_Freqmul;

namespace {

// The multiplier written out plainly: 64-bit positions reduced with %, the
// period copied sample by sample, the copies held to what fits before the period.
struct ReferenceFreqmul {
    static constexpr int64_t N = 16384;
    std::vector<int32_t> ring = std::vector<int32_t>(N, 0);
    int64_t w = 0, r = 0, s = 0;
    int32_t prev = -1;

    static int64_t mod(int64_t v) { return ((v % N) + N) % N; }

    void run(const std::vector<int32_t>& in, std::vector<int32_t>& out, int64_t k, int32_t fs) {
        if (k < 1) k = 1;
        for (int32_t x : in) {
            w = mod(w + 1);
            if (prev < 0 && x >= 0) {
                int64_t e = w, L = mod(e - s);
                int64_t copies = L == 0 ? 0 : std::min(k - 1, (N - L) / L);
                for (int64_t c = 0; c < copies; ++c)
                    for (int64_t a = s; a != e; a = mod(a + 1)) {
                        ring[size_t(w)] = ring[size_t(a)];
                        w = mod(w + 1);
                    }
                s = w;
            }
            ring[size_t(w)] = x;
            prev = x;
        }
        int64_t n = int64_t(in.size());
        int64_t d = int64_t(float(fs) * 0.02f + float(n * k));
        int64_t p = mod(r - d);
        for (int64_t j = 0; j < n; ++j) {
            out[size_t(j)] = ring[size_t(p)];
            p = mod(p + k);
            r = mod(r + k);
        }
    }
};

// Samples that cross zero rarely: a random walk, for periods of all lengths.
std::vector<int32_t> slow_samples(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::vector<int32_t> v(n);
    int64_t x = 0;
    for (auto& s : v) {
        x += int32_t(g()) >> 8;
        x = std::clamp<int64_t>(x, INT32_MIN, INT32_MAX);
        s = int32_t(x);
    }
    return v;
}

TEST(Freqmul, MatchesReferenceForEveryFactorClockAndMode) {
    const int n = 203, blocks = 40;
    const int32_t factors[] = {1, 2, 3, 5, 0, -7, 100000, INT32_MAX};
    for (int32_t k : factors)
        for (int32_t fs : {0, 44100, 96000})
            for (int slow = 0; slow < 2; ++slow) {
                Chain c(n);
                QZ_Buffer* in = c.buffer();
                QZ_Buffer* out = slow ? in : c.buffer(); // the slow signal runs in place
                auto* e = c.block<Freqmul>("QZ_Effect_Freqmul -i %o -o %o -clock %i", in, out, fs);
                e->k = k; // below 1 as the option would never store it
                ReferenceFreqmul ref;
                uint32_t seed = uint32_t(k) * 7u + uint32_t(fs);
                auto x = slow ? slow_samples(size_t(n * blocks), seed)
                              : qz::test::random_samples(size_t(n * blocks), seed);
                std::vector<int32_t> y(n);
                for (int b = 0; b < blocks; ++b) {
                    // the mode is ignored: every pass stores
                    QZ_command(cmd("%o -mode %s"), e, qz::test::mode_name(b % 6));
                    std::vector<int32_t> xb(x.begin() + b * n, x.begin() + (b + 1) * n);
                    c.set(in, xb);
                    if (!slow) c.set(out, qz::test::random_samples(n, seed + 1));
                    c.run();
                    ref.run(xb, y, k, fs);
                    ASSERT_EQ(c.get(out), y) << "k " << k << " fs " << fs << " block " << b;
                }
                EXPECT_EQ(e->marks.w, ref.w);
                EXPECT_EQ(e->marks.s, ref.s);
            }
}

// Input sample t lands at ring position t + 1 (the writer steps before it
// stores) and output sample t is read trunc(fs * 0.02 + n) positions behind
// position t.
TEST(Freqmul, FactorOneDelaysByTheLatencyPlusTheBlock) {
    struct {
        int32_t fs, n, d;
    } cases[] = {{44100, 512, 1394}, {48000, 512, 1472}, {96000, 256, 2176},
                 {22050, 100, 541},  {11025, 512, 732},  {0, 64, 64}};
    for (auto t : cases) {
        EXPECT_EQ(Freqmul::distance(t.fs, 0.02f, t.n, 1), t.d) << t.fs;
        Chain c(t.n);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        c.block<Freqmul>("QZ_Effect_Freqmul -i %o -o %o -k 1 -clock %i", in, out, t.fs);
        const int total = 3 * t.d + 7 * t.n;
        auto x = qz::test::random_samples(size_t(total), uint32_t(t.fs));
        for (int b = 0; b + t.n <= total; b += t.n) {
            c.set(in, std::vector<int32_t>(x.begin() + b, x.begin() + b + t.n));
            c.run();
            for (int j = 0; j < t.n; ++j) {
                int src = b + j - t.d - 1;
                ASSERT_EQ(out->data[j], src < 0 ? 0 : x[size_t(src)]) << t.fs << " at " << b + j;
            }
        }
    }
}

// Rising zero crossings of a signal, as sample indices.
std::vector<int> rising_crossings(const std::vector<int32_t>& v) {
    std::vector<int> at;
    for (size_t t = 1; t < v.size(); ++t)
        if (v[t - 1] < 0 && v[t] >= 0) at.push_back(int(t));
    return at;
}

TEST(Freqmul, FactorTwoHalvesTheSinePeriod) {
    for (int P : {100, 64, 882}) {
        // one period, repeated exactly; no sample near zero
        std::vector<int32_t> period(static_cast<size_t>(P));
        for (int t = 0; t < P; ++t)
            period[size_t(t)] =
                int32_t(std::lround(std::sin(6.283185307179586 * (t + 0.25) / P) * 536870912.0));
        const int n = 512, blocks = 60;
        Chain c(n);
        QZ_Buffer* in = c.buffer();
        QZ_Buffer* out = c.buffer();
        c.block<Freqmul>("QZ_Effect_Freqmul -i %o -o %o -k 2 -clock 44100", in, out);
        std::vector<int32_t> y;
        for (int b = 0; b < blocks; ++b) {
            for (int j = 0; j < n; ++j)
                in->data[j] = period[size_t((b * n + j) % P)];
            c.run();
            auto o = c.get(out);
            y.insert(y.end(), o.begin(), o.end());
        }
        // past the latency and the first periods the output is steady
        y.erase(y.begin(), y.begin() + 8 * n);
        auto at = rising_crossings(y);
        ASSERT_GT(at.size(), size_t(20)) << P;
        for (size_t q = 1; q < at.size(); ++q)
            ASSERT_EQ(at[q] - at[q - 1], P / 2) << "P " << P << " crossing " << q;
    }
}

TEST(Freqmul, FactorOptionHoldsAtOneAndTruncates) {
    Chain c(4);
    auto* e = c.block<Freqmul>("QZ_Effect_Freqmul");
    struct {
        const char* k;
        int32_t stored;
    } cases[] = {{"3", 3},  {"2.9", 2}, {"1", 1},          {"0", 1},
                 {"-5", 1}, {"0.5", 1}, {"-2147483648", 1}};
    EXPECT_EQ(e->k, 2);
    for (auto t : cases) {
        int32_t k = 0;
        EXPECT_EQ(QZ_command(cmd(std::string("%o -k ") + t.k + " -k"), e, &k), QZ_OK);
        EXPECT_EQ(k, t.stored) << t.k;
    }
}

// A square wave whose period the ring holds only twice: of the three copies
// k = 4 asks for, one fits before it would overwrite the period itself.
TEST(Freqmul, PeriodsTooLongForTheRingKeepWholeCopies) {
    const int n = 500, P = 6000;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* e = c.block<Freqmul>("QZ_Effect_Freqmul -i %o -o %o -k 4 -clock 44100", in, out);
    ReferenceFreqmul ref;
    std::vector<int32_t> y(n);
    for (int b = 0; b < 3 * P / n; ++b) {
        std::vector<int32_t> x(n);
        for (int j = 0; j < n; ++j)
            x[size_t(j)] = (b * n + j) % P < P / 2 ? (b * n + j) % P + 1 : -1000;
        c.set(in, x);
        c.run();
        ref.run(x, y, 4, 44100);
        ASSERT_EQ(c.get(out), y) << b;
    }
    // crossings at 0 (a one-sample period, copied three times), P and 2P (once each)
    EXPECT_EQ(e->marks.w, (3 * P + 3 + 2 * P) % Freqmul::RING);
}

TEST(Freqmul, WithoutBuffersNothingAndNeverPastTheOutput) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer(3);
    c.set(in, {5, 6, 7, 8, 9, 10, 11, 12});
    auto* lone = c.block<Freqmul>("QZ_Effect_Freqmul -i %o", in);
    c.block<Freqmul>("QZ_Effect_Freqmul -o %o", out);
    auto* e = c.block<Freqmul>("QZ_Effect_Freqmul -i %o -o %o -k 1", in, out);
    c.run();
    EXPECT_EQ(lone->marks.w, 0);
    EXPECT_EQ(e->marks.w, 3); // the pass is as long as the shorter buffer
    EXPECT_EQ(e->marks.r, 3);
}

} // namespace
