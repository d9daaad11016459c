#include "QZ_BlockTest.h"
#include "QZ_Fourier_Noisegate.h"

#include <cmath>

using qz::test::Chain;
using qz::test::cmd;
using Gate = QZ_Fourier_Noisegate;

namespace {

TEST(Noisegate, SpectrumLengthSetsTheSizesAndOthersAreRefused) {
    Chain c(64);
    QZ_Buffer* x = c.buffer(256);
    Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o", x);
    for (const QZ_Fourier_Transform* t :
         {g->windowed, g->late, g->response, g->firstHalf, g->secondHalf})
        EXPECT_EQ(t->s, 6);
    EXPECT_EQ(g->windowed->points(), 128);
    QZ_Buffer* profile = nullptr;
    QZ_command(cmd("%o -w"), g, &profile);
    ASSERT_EQ(profile, g->profile);
    EXPECT_EQ(profile->length(), 65);
    EXPECT_EQ(g->gains->length(), 256);
    for (int32_t k = 0; k < 256; k += 2) {
        ASSERT_EQ(g->gains->data[k], 2097151);
        ASSERT_EQ(g->gains->data[k + 1], 0);
    }
    // 4096 and 8192 would wrap the unit filter's impulse N * 2097151: refused,
    // and said so, as other lengths are
    for (int32_t bad : {0, 2, 6, 96, 4096, 8192}) {
        QZ_Buffer* b = c.buffer(bad);
        std::string said = qz::test::stdout_of(
            [&] { EXPECT_EQ(QZ_command(cmd("%o -i %o"), g, b), QZ_ERROR_COMMAND_NOT_PARAM); });
        EXPECT_NE(said.find("derar: param 'i' refuses '%o': "), std::string::npos) << said;
        EXPECT_EQ(g->i, x) << bad;
        EXPECT_EQ(g->windowed->s, 6) << bad;
    }
    // its own blocks run only inside it: the chain holds the gate alone
    int members = 0;
    c.pipe->effects.each<QZ_Effect>([&](QZ_Effect*) { ++members; });
    EXPECT_EQ(members, 1);
}

TEST(Noisegate, OutputsAreMadeOnRequestAndDeletedOnceWithTheGate) {
    const size_t before = qz::live_objects();
    {
        Chain c(32);
        QZ_Buffer* x = c.buffer(64);
        QZ_Buffer* sig = c.buffer();
        Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o -s %o", x, sig);
        QZ_Buffer* made = nullptr;
        QZ_command(cmd("%o -o1"), g, &made);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->length(), 64);
        // one given buffer for both outputs: the gate deletes it once
        QZ_Buffer* shared = nullptr;
        QZ_command(cmd("QZ_Buffer -l 64"), &shared);
        QZ_command(cmd("%o -o1 %o -o2 %o"), g, shared, shared);
        c.run();
        // the chain deletes the gate; the shared output goes with it
    }
    EXPECT_EQ(qz::live_objects(), before);
}

// The delayed signal is as long as the signal, whichever soundpipe is current
// when "s" is given: the usual order gives it after the soundpipe is closed.
TEST(Noisegate, DelayedSignalPathWhetherOrNotASoundpipeIsCurrent) {
    std::vector<int32_t> peaks;
    for (bool closed : {false, true}) {
        Chain c(64);
        QZ_Buffer* x = c.buffer(128);
        QZ_Buffer* sig = c.buffer();
        Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o", x);
        if (closed) QZ_command(cmd("%o -e %"), c.pipe);
        ASSERT_EQ(QZ_command(cmd("%o -s %o"), g, sig), QZ_OK);
        EXPECT_EQ(g->delayed->length(), 64) << closed;
        EXPECT_EQ(g->delayed->soundpipe, c.pipe) << closed;
        EXPECT_EQ(g->delayed->item.chain, &c.pipe->buffers) << closed;
        // an impulse comes out of the delay line 513 samples later, into E
        int32_t peak = 0;
        for (int block = 0; block < 20; ++block) {
            std::fill(sig->data, sig->data + 64, block == 0 ? 1 << 22 : 0);
            c.run();
            const int32_t* E = g->late->work->data;
            for (int32_t k = 0; k < 128; ++k)
                peak = std::max(peak, E[k] < 0 ? -E[k] : E[k]);
        }
        peaks.push_back(peak);
    }
    EXPECT_GT(peaks[0], 0);
    EXPECT_EQ(peaks[1], peaks[0]);
}

// Outputs are the gate's: one that another object deletes is refused, one
// handed back is nobody's again.
TEST(Noisegate, OutputsAreOwnedWhileTheGateHoldsThem) {
    Chain c(32);
    Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o", c.buffer(64));
    QZ_Fourier_Transform* t = c.block<QZ_Fourier_Transform>("QZ_Fourier_Transform -s 3");
    QZ_Buffer* mine = c.buffer(64);
    qz::test::stdout_of([&] {
        EXPECT_EQ(QZ_command(cmd("%o -o1 %o"), g, t->work), QZ_ERROR_COMMAND_NOT_PARAM);
        EXPECT_EQ(QZ_command(cmd("%o -o1 %o"), g, g->profile), QZ_ERROR_COMMAND_NOT_PARAM);
    });
    EXPECT_EQ(g->o1, nullptr);
    ASSERT_EQ(QZ_command(cmd("%o -o1 %o -o2 %o"), g, mine, mine), QZ_OK);
    EXPECT_EQ(mine->owner, g);
    ASSERT_EQ(QZ_command(cmd("%o -o1 0"), g), QZ_OK);
    EXPECT_EQ(mine->owner, g); // still the second output
    ASSERT_EQ(QZ_command(cmd("%o -o2 0"), g), QZ_OK);
    EXPECT_EQ(mine->owner, nullptr);
}

TEST(Noisegate, UnsetInputsLeaveTheGateIdle) {
    Chain c(32);
    QZ_Buffer* o = c.buffer(64);
    Gate* g = c.block<Gate>("QZ_Fourier_Noisegate");
    QZ_command(cmd("%o -o2 %o"), g, o);
    std::fill(o->data, o->data + 64, 7);
    c.run(); // neither spectrum nor signal yet
    QZ_command(cmd("%o -i %o"), g, c.buffer(64));
    c.run(); // still no signal
    EXPECT_EQ(c.get(o), std::vector<int32_t>(64, 7));
    QZ_command(cmd("%o -o2 %o"), g, nullptr); // handed back, not deleted with the gate
}

// With a zero profile every gain is 1: the first half is an impulse, the
// second nothing, so o2 is X times 2097151 * 1024 / (2^31 - 1) and E drops out.
TEST(Noisegate, ZeroProfilePassesTheSpectrumThrough) {
    for (int32_t L : {8, 256, 2048}) {
        const int32_t N = L / 2;
        Chain c(N);
        QZ_Buffer* x = c.buffer(L);
        QZ_Buffer* sig = c.buffer();
        QZ_Buffer* o2 = nullptr; // given to the gate, which deletes it
        QZ_command(cmd("QZ_Buffer -l %i"), &o2, L);
        Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o -s %o -o2 %o", x, sig, o2);
        const auto noise = qz::test::random_samples(size_t(N), 4);
        const auto spectrum = qz::test::random_samples(size_t(L), 5);
        const double scale = 2097151.0 * 1024 / 2147483647.0;
        // with N = 128 the delayed signal is live from block 5 on
        for (int block = 0; block < 8; ++block) {
            std::copy(noise.begin(), noise.end(), sig->data);
            for (int32_t k = 0; k < L; ++k)
                x->data[k] = spectrum[size_t(k)] >> 2;
            c.run();
            for (int32_t k = 0; k < L; ++k) {
                // the filter is a few units off in its 21 fraction bits: so much of
                // the bins of X and E comes through
                const int32_t* E = g->late->work->data;
                const double bins = std::hypot(double(x->data[k & ~1]), double(x->data[k | 1])) +
                                    std::hypot(double(E[k & ~1]), double(E[k | 1]));
                ASSERT_NEAR(o2->data[k], x->data[k] * scale, 8 + bins * 1e-5)
                    << L << " " << block << " " << k;
            }
        }
    }
}

// Learning on a steady tone: the profile closes 10 % of the distance to the
// bin's magnitude per block, so the bin's gain falls as 0.9^blocks.
TEST(Noisegate, LearningDrivesTheProfileUpAndTheGainDown) {
    const int32_t L = 128, N = L / 2, tone = 8;
    Chain c(N);
    QZ_Buffer* x = c.buffer(L);
    QZ_Buffer* sig = c.buffer();
    Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o -s %o -a 1", x, sig);
    for (int32_t n = 0; n < N; ++n)
        sig->data[n] = int32_t(std::lround(std::sin(2 * M_PI * tone * n / N) * (1 << 28)));
    double m = 0;
    for (int block = 1; block <= 40; ++block) {
        const int32_t c0 = g->profile->data[tone];
        c.run();
        const int32_t* S = g->windowed->work->data;
        m = std::hypot(double(S[2 * tone]), double(S[2 * tone + 1]));
        ASSERT_EQ(g->profile->data[tone], int32_t((m - c0) * 0.1 + c0)) << block;
        const double gain = g->gains->data[2 * tone] / 2097151.0;
        ASSERT_NEAR(gain, std::pow(0.9, block - 1), 1e-3) << block;
        EXPECT_EQ(g->gains->data[2 * (N - tone)], g->gains->data[2 * tone]);
    }
    EXPECT_NEAR(g->profile->data[tone] / m, 1 - std::pow(0.9, 40), 1e-4);
    // learning off and the tone gone: below its profile the bin is shut
    QZ_command(cmd("%o -a 0"), g);
    std::fill(sig->data, sig->data + N, 0);
    for (int block = 0; block < 2; ++block)
        c.run();
    EXPECT_EQ(g->gains->data[2 * tone], 0);
}

} // namespace

namespace {

// Every build computes the same bits: both outputs and the profile of a gate
// learning on noise, the window's sine and the gains' doubles included.
TEST(Noisegate, SameBitsOnEveryBuild) {
    const int32_t L = 512, N = L / 2;
    Chain c(N);
    QZ_Buffer* x = c.buffer(L);
    QZ_Buffer* sig = c.buffer();
    Gate* g = c.block<Gate>("QZ_Fourier_Noisegate -i %o -s %o -a 1", x, sig);
    QZ_Buffer *o1 = nullptr, *o2 = nullptr;
    QZ_command(cmd("%o -o1"), g, &o1);
    QZ_command(cmd("%o -o2"), g, &o2);
    uint32_t h = 2166136261u;
    for (uint32_t block = 0; block < 20; ++block) {
        c.set(sig, qz::test::random_samples(size_t(N), 700 + block));
        c.set(x, qz::test::random_samples(size_t(L), 800 + block));
        if (block == 12) QZ_command(cmd("%o -a 0"), g);
        c.run();
        for (const QZ_Buffer* b : {o1, o2, g->profile})
            for (int32_t k = 0; k < b->usable(); ++k)
                h = (h ^ uint32_t(b->data[k])) * 16777619u;
    }
    EXPECT_EQ(h, 2090409062u);
}

} // namespace
