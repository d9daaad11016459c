#include "QZ_BlockTest.h"
#include "QZ_Fourier_Transform.h"

#include <cmath>
#include <complex>

using qz::test::Chain;
using qz::test::cmd;
using FT = QZ_Fourier_Transform;

namespace {

using cd = std::complex<double>;
cd bin(FT* t, int32_t m) {
    return {double(t->work->data[2 * m]), double(t->work->data[2 * m + 1])};
}

TEST(FourierTransform, TwiddleTableHoldsTruncatedCosineAndSine) {
    const FT::Twiddles& tw = FT::twiddles();
    EXPECT_EQ(tw.C[0], 2147483647);
    EXPECT_EQ(tw.S[0], 0);
    EXPECT_EQ(tw.C[1024], 0); // cos(pi/2) (2^31 - 1) is 1.3e-7
    EXPECT_EQ(tw.S[1024], 2147483647);
    EXPECT_EQ(tw.C[512], 1518500249); // sqrt(1/2) (2^31 - 1) = 1518500249.3
    EXPECT_EQ(tw.S[512], 1518500249);
    for (int32_t t = 0; t < FT::TWIDDLES; ++t) {
        const double a = 3.141592653589793 * t / 2048;
        ASSERT_LE(std::abs(tw.C[t] - int32_t(std::cos(a) * 2147483647.0)), 1) << t;
        ASSERT_LE(std::abs(tw.S[t] - int32_t(std::sin(a) * 2147483647.0)), 1) << t;
        ASSERT_GE(tw.S[t], 0);
    }
}

TEST(FourierTransform, OptionsKeepTheirValueOnWordsTheyDoNotKnow) {
    Chain c(8);
    FT* t = c.block<FT>("QZ_Fourier_Transform");
    EXPECT_EQ(t->s, -1);
    c.run(); // before "s" there is nothing to work on: nothing happens
    const struct {
        const char *set, *ask, *answer;
    } words[] = {
        {"%o -d Backward", "%o -d", "forward"},  {"%o -d backward", "%o -d", "backward"},
        {"%o -d forwards", "%o -d", "backward"}, {"%o -win SIN", "%o -win", "none"},
        {"%o -win sin", "%o -win", "sin"},       {"%o -win none", "%o -win", "none"},
    };
    for (const auto& w : words) {
        const char* answer = nullptr;
        QZ_command(cmd(w.set), t);
        ASSERT_EQ(QZ_command(cmd(w.ask), t, &answer), QZ_OK);
        EXPECT_STREQ(answer, w.answer) << w.set;
    }
    for (int32_t bad : {-1, 12, 40}) {
        QZ_command(cmd("%o -s %i"), t, bad);
        EXPECT_EQ(t->s, -1) << bad;
    }
    QZ_command(cmd("%o -s 11"), t);
    EXPECT_EQ(t->points(), 4096);
    EXPECT_EQ(t->work->length(), 8192);
    EXPECT_EQ(t->history->length(), 4096);
    QZ_command(cmd("%o -s 12"), t);
    EXPECT_EQ(t->s, 11);
}

// The figures a transform must show, one frame each.
TEST(FourierTransform, ForwardOfAConstantAnImpulseAndASinWindowedConstant) {
    for (int32_t M : {0, 2, 6, 11}) {
        const int32_t N = 1 << (M + 1);
        Chain c(N);
        QZ_Buffer* in = c.buffer();
        FT* t = c.block<FT>("QZ_Fourier_Transform -i %o -s %i", in, M);
        const double tol = 4.0 * (M + 1);

        std::fill(in->data, in->data + N, 1 << 28);
        c.run();
        for (int32_t m = 0; m < N; ++m)
            ASSERT_LE(std::abs(bin(t, m) - cd(m == 0 ? 1 << 28 : 0, 0)), tol) << N << " " << m;

        // the periodic Hann window of a constant: c/2 in bin 0, -c/4 beside it
        QZ_command(cmd("%o -win sin"), t);
        c.run();
        for (int32_t m = 0; m < N && N >= 4; ++m) {
            const double want = m == 0 ? 1 << 27 : (m == 1 || m == N - 1) ? -(1 << 26) : 0;
            ASSERT_LE(std::abs(bin(t, m) - cd(want, 0)), tol + 1) << N << " " << m;
        }

        // amplitude 2^20 N at the newest place: magnitude 2^20, phase +2 pi m (N-1)/N
        QZ_command(cmd("%o -win none"), t);
        std::fill(in->data, in->data + N, 0);
        in->data[N - 1] = int32_t((int64_t(1) << 20) * N > INT32_MAX ? INT32_MAX : (1 << 20) * N);
        c.run();
        const double amp = double(in->data[N - 1]) / N;
        for (int32_t m = 0; m < N; ++m) {
            const cd want = std::polar(amp, 2 * 3.141592653589793 * m * (N - 1) / N);
            ASSERT_LE(std::abs(bin(t, m) - want), tol) << N << " " << m;
        }
    }
}

TEST(FourierTransform, TwoPointsAreOneButterflyWithUnitTwiddle) {
    Chain c(2);
    QZ_Buffer* in = c.buffer();
    FT* t = c.block<FT>("QZ_Fourier_Transform -i %o -s 0", in);
    c.set(in, {1000001, -7777777});
    c.run();
    const int32_t p = int32_t((int64_t(-7777777) * 2147483647) >> 32);
    EXPECT_EQ(c.get(t->work), (std::vector<int32_t>{500000 + p, 0, 500000 - p, 0}));
}

TEST(FourierTransform, HistoryRingKeepsTheLastNSamplesAcrossBlocks) {
    // the same 40 samples in blocks of 5 and in one block leave the same frame
    const auto x = qz::test::random_samples(40, 3);
    std::vector<int32_t> frames[2];
    for (int32_t bl : {5, 40}) {
        Chain c(bl);
        QZ_Buffer* in = c.buffer();
        FT* t = c.block<FT>("QZ_Fourier_Transform -i %o -s 3", in);
        for (int32_t k = 0; k < 40; k += bl) {
            std::copy(x.begin() + k, x.begin() + k + bl, in->data);
            c.run();
        }
        frames[bl == 40] = c.get(t->work);
    }
    EXPECT_EQ(frames[0], frames[1]);
}

TEST(FourierTransform, BackwardOfBinZeroIsFlatAndShortInputsReadAsZero) {
    for (int32_t given : {16, 2}) { // the whole spectrum, or only bin 0
        Chain c(given);
        QZ_Buffer* in = c.buffer();
        FT* t = c.block<FT>("QZ_Fourier_Transform -i %o -s 2 -d backward", in);
        std::fill(in->data, in->data + given, 0);
        in->data[0] = 123456789;
        c.run();
        for (int32_t n = 0; n < 8; ++n) {
            EXPECT_EQ(t->work->data[2 * n], 123456789) << given;
            EXPECT_EQ(t->work->data[2 * n + 1], 0) << given;
        }
    }
}

TEST(FourierTransform, ForwardThenBackwardGivesTheFrameTimeReversed) {
    const int32_t M = 5, N = 64;
    Chain c(N);
    QZ_Buffer* in = c.buffer();
    FT* f = c.block<FT>("QZ_Fourier_Transform -i %o -s %i", in, M);
    FT* b = c.block<FT>("QZ_Fourier_Transform -i %o -s %i -d backward", f->work, M);
    std::mt19937 g(9);
    for (int32_t n = 0; n < N; ++n)
        in->data[n] = int32_t(g() >> 4) - (1 << 27);
    c.run();
    for (int32_t n = 0; n < N; ++n) {
        ASSERT_NEAR(b->work->data[2 * n], in->data[(N - n) % N], 8 * N) << n;
        ASSERT_NEAR(b->work->data[2 * n + 1], 0, 8 * N) << n;
    }
}

} // namespace

namespace {

// The butterflies written out plainly, stage by stage: what every kernel,
// however it orders the same products and sums, must give bit for bit.
void reference_kernel(int32_t* x, int32_t M, bool forward) {
    const FT::Twiddles& tw = FT::twiddles();
    const int32_t N = int32_t(1) << (M + 1);
    auto hi = [](int32_t a, int32_t b) { return int32_t((int64_t(a) * b) >> 32); };
    auto wrap = [](int64_t v) { return int32_t(uint32_t(uint64_t(v))); };
    for (int32_t st = 0; st <= M; ++st) {
        const int32_t half = int32_t(1) << st, step = int32_t(1) << (11 - st);
        for (int32_t base = 0; base < N; base += 2 * half)
            for (int32_t k = 0; k < half; ++k) {
                int32_t* T = x + 2 * (base + k);
                int32_t* B = T + 2 * half;
                const int32_t C = tw.C[k * step], S = tw.S[k * step];
                int32_t dr = wrap(int64_t(hi(B[0], C)) - hi(B[1], S));
                int32_t di = wrap(int64_t(hi(B[0], S)) + hi(B[1], C));
                int32_t tr = T[0], ti = T[1];
                if (forward) {
                    tr >>= 1;
                    ti >>= 1;
                } else {
                    dr = wrap(2 * int64_t(dr));
                    di = wrap(2 * int64_t(di));
                }
                T[0] = wrap(int64_t(tr) + dr);
                T[1] = wrap(int64_t(ti) + di);
                B[0] = wrap(int64_t(tr) - dr);
                B[1] = wrap(int64_t(ti) - di);
            }
    }
}

TEST(FourierTransform, KernelsGiveThePlainButterfliesBitForBit) {
    qz::test::at_every_level([](qz::isa::Level level) {
        for (int32_t M = 0; M <= FT::MAX_M; ++M) {
            const int32_t N = int32_t(1) << (M + 1);
            for (uint32_t seed : {1u, 2u}) {
                // the whole range with its extremes: sums and products that wrap
                const auto x = qz::test::random_samples(size_t(2 * N), 40 + seed + uint32_t(M));
                for (bool forward : {true, false}) {
                    std::vector<int32_t> want = x, got = x;
                    reference_kernel(want.data(), M, forward);
                    (forward ? FT::forward_kernel : FT::backward_kernel)(got.data(), M);
                    ASSERT_EQ(got, want)
                        << "N " << N << (forward ? " forward" : " backward") << ", level " << level;
                }
            }
        }
    });
}

// Every build computes the same bins: a fingerprint of forward transforms
// (with either window) and backward ones at every size, the same natively
// and on Windows.
TEST(FourierTransform, SameBitsOnEveryBuild) {
    uint32_t h = 2166136261u;
    for (int32_t M = 0; M <= FT::MAX_M; ++M) {
        const int32_t N = int32_t(1) << (M + 1);
        Chain c(2 * N);
        QZ_Buffer* in = c.buffer();
        FT* f = c.block<FT>("QZ_Fourier_Transform -i %o -s %i", in, M);
        FT* b = c.block<FT>("QZ_Fourier_Transform -i %o -s %i -d backward", in, M);
        for (uint32_t pass = 0; pass < 3; ++pass) {
            c.set(in, qz::test::random_samples(size_t(2 * N), 500 + pass + 7 * uint32_t(M)));
            QZ_command(cmd(pass == 1 ? "%o -win sin" : "%o -win none"), f);
            c.run();
            for (const FT* t : {f, b})
                for (int32_t v : c.get(t->work))
                    h = (h ^ uint32_t(v)) * 16777619u;
        }
    }
    EXPECT_EQ(h, 2285379265u);
}

} // namespace
