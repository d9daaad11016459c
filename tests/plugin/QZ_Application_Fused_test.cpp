// The fused loop against the chain's own pass: two plug-ins fed alike must
// agree bit for bit in output and in every block's state.
#include "QZ_Chain.h"
#include "QZ_Effect_Ampdet.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Interpret.h"
#include "QZ_Isa.h"
#include "QZ_PluginHost.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using qz::test::Host;
using A = QZ_Application;

namespace {

template <class C> C* as(A& app, int block) {
    return static_cast<C*>(app.blocks[block]);
}

// What a pass leaves behind: buffers (their contents; the cross-fade's
// snapshot half is written before it is read), switches, every block's state.
::testing::AssertionResult same_state(A& f, A& r) {
    auto same = [](const void* a, const void* b, size_t n) { return !std::memcmp(a, b, n); };
    for (int i = 0; i < A::BUFFERS; ++i) {
        QZ_Buffer *a = f.buffers[i], *b = r.buffers[i];
        if (a->allocated != b->allocated || a->fade != b->fade ||
            !same(a->data, b->data, size_t(a->allocated) * 4))
            return ::testing::AssertionFailure() << "buffer " << i;
    }
    for (int i = 0; i < A::BLOCKS; ++i) {
        QZ_Effect *a = f.blocks[i], *b = r.blocks[i];
        if (a->on != b->on || a->wasOn != b->wasOn || a->passOn != b->passOn ||
            a->prepared != b->prepared || a->transition != b->transition)
            return ::testing::AssertionFailure() << "switch of block " << i;
    }
    for (int i : {A::IN_METER, A::DETECTOR, A::SMOOTHER, A::OUT_METER})
        if (as<QZ_Effect_Ampdet>(f, i)->envelope != as<QZ_Effect_Ampdet>(r, i)->envelope)
            return ::testing::AssertionFailure() << "envelope of block " << i;
    auto *df = as<QZ_Effect_Deline>(f, A::DELAY), *dr = as<QZ_Effect_Deline>(r, A::DELAY);
    if (as<QZ_Effect_Hipass>(f, A::HIPASS)->y != as<QZ_Effect_Hipass>(r, A::HIPASS)->y ||
        as<QZ_Effect_Dist>(f, A::LIMITER)->bias != as<QZ_Effect_Dist>(r, A::LIMITER)->bias ||
        df->position != dr->position || !same(df->memory, dr->memory, 4 * df->MEMORY))
        return ::testing::AssertionFailure() << "high-pass, limiter or delay line";
    return ::testing::AssertionSuccess();
}

// Two plug-ins driven alike; `ref` never takes the fused loop.
struct Pair {
    Host fused, ref;
    Pair() { ref.app().fused = false; }
    void set(int32_t index, float x) {
        fused.set(index, x);
        ref.set(index, x);
    }
    void rate(float hz) {
        fused.dispatch(effSetSampleRate, 0, 0, nullptr, hz);
        ref.dispatch(effSetSampleRate, 0, 0, nullptr, hz);
    }
    void command(const char* text, int block) {
        QZ_command(qz::test::cmd(text), fused.app().blocks[block]);
        QZ_command(qz::test::cmd(text), ref.app().blocks[block]);
    }
    // Both outputs of both, bit for bit, then the state.
    ::testing::AssertionResult process(const std::vector<float>& in) {
        std::vector<float> f0, f1, r0, r1;
        fused.process(in, f0, f1);
        ref.process(in, r0, r1);
        if (std::memcmp(f0.data(), r0.data(), 4 * in.size()) || f0 != f1 || r0 != r1)
            return ::testing::AssertionFailure() << "outputs differ";
        return same_state(fused.app(), ref.app());
    }
};

// Noise, tones, silence, overloads and NaNs, from -80 dB to beyond full scale.
std::vector<float> signal(std::mt19937& g, size_t n) {
    std::vector<float> v(n);
    const float level = std::pow(10.0f, -4.0f * float(g() % 1000) / 1000.0f) * 1.5f;
    const unsigned kind = g() % 5;
    const double w = 0.001 + 0.2 * double(g() % 1000) / 1000.0;
    for (size_t i = 0; i < n; ++i) {
        float noise = level * (float(int32_t(g())) * 0x1p-31f);
        v[i] = kind == 0   ? noise
               : kind == 1 ? level * float(std::sin(w * double(i)))
               : kind == 2 ? 0.0f
               : kind == 3 ? ((i / 37) % 2 ? 2.0f : -2.0f)
               : g() % 64  ? noise
                           : std::numeric_limits<float>::quiet_NaN();
    }
    return v;
}

// The loops for every processor, the baseline ones and the wider ones where
// the processor has them (a long run there), against the chain.
TEST(FusedPass, MatchesTheChainBitForBitUnderRandomAutomation) {
    qz::test::at_every_level([](qz::isa::Level level) {
        Pair p;
        std::mt19937 g(20261208 + uint32_t(level));
        const float rates[] = {44100.0f, 48000.0f,  22050.0f, 96000.0f,
                               8000.0f,  192000.0f, 44100.7f};
        p.rate(44100.0f);
        int32_t total = 0;
        size_t frames = 0;
        const size_t seconds = level == qz::isa::offered() ? 60 : 10;
        while (frames < 44100u * seconds) {
            const unsigned event = g() % 24; // State (mostly on), rate, the other three
            if (event == 0)
                p.set(0, g() % 3 ? 1.0f : 0.3f);
            else if (event == 1)
                p.rate(rates[g() % 7]);
            else if (event < 8)
                p.set(1 + int32_t(g() % 3), float(g() % 1001) / 1000.0f);
            // Mostly host-sized blocks, some tiny, some spanning several passes.
            size_t n = g() % 4 == 0   ? 1 + g() % 16
                       : g() % 4 == 0 ? 1 + g() % 4096
                                      : 64 << (g() % 4);
            ASSERT_TRUE(p.process(signal(g, n)))
                << "after " << frames << " frames, level " << level;
            frames += n;
            total += int32_t((n + A::CHAIN_BLOCK - 1) / A::CHAIN_BLOCK);
        }
        // Both ways were taken: the loop most of the time, the chain around switches.
        EXPECT_GT(p.fused.app().fusedPasses, uint64_t(total) / 2);
        EXPECT_LT(p.fused.app().fusedPasses, uint64_t(total));
        EXPECT_EQ(p.ref.app().fusedPasses, 0u);
    });
}

// Every block size from 1 to 100 frames in turn, at every level: the loop's
// lanes join, hand over and leave their last samples to scalar steps at
// different places in each, and a call may end anywhere in a group of four
// or eight.
TEST(FusedPass, MatchesTheChainAtEveryBlockSizeUpToAHundredFrames) {
    qz::test::at_every_level([](qz::isa::Level level) {
        Pair p;
        p.rate(48000.0f);
        std::mt19937 g(20261209 + uint32_t(level));
        const uint64_t before = p.fused.app().fusedPasses;
        for (int round = 0; round < 3; ++round)
            for (size_t n = 1; n <= 100; ++n)
                ASSERT_TRUE(p.process(signal(g, n))) << n << " frames, level " << level;
        EXPECT_EQ(p.fused.app().fusedPasses - before, 300u);
    });
}

// Settings of the chain the loop covers and settings it leaves to the chain's pass.
struct Setting {
    const char* name;
    int block;
    const char* command; // null: none
    float rate;          // 0: no rate given yet
    bool covered;
};

const Setting settings[] = {
    {"as created", A::COPY, nullptr, 44100, true},
    {"no clock yet", A::COPY, nullptr, 0, false},
    {"delay feeds back", A::DELAY, "%o -gf .5", 44100, true},
    {"delay of one sample", A::DELAY, "%o -dt 0", 48000, true},
    {"asymmetric limiter", A::LIMITER, "%o -l 1", 44100, true},
    {"copy with strides", A::COPY, "%o -is 3", 44100, true},
    {"high-pass mode", A::HIPASS, "%o -mode sub", 44100, true},
    {"limiter bias moves", A::LIMITER, "%o -k .001", 44100, false},
    {"detector adds", A::IN_METER, "%o -mode add", 44100, false},
    {"output meter subtracts", A::OUT_METER, "%o -mode sub", 44100, false},
    {"factor divides", A::LEVEL_FACTOR, "%o -oper div", 44100, true},
    {"divider adds", A::DIVIDER, "%o -mode add", 44100, true},
    {"copy adds", A::COPY, "%o -mode add", 44100, false},
    {"second delay tap", A::DELAY, "%o -d % -dt 3 -da .5", 44100, true},
    {"delay group without output", A::DELAY, "%o -go 0", 44100, true},
    {"delay line without input", A::DELAY, "%o -i 0", 44100, false},
};

TEST(FusedPass, CoversTheChainAsBuiltAndLeavesTheRestToTheChain) {
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.name);
        Pair p;
        if (s.rate > 0) p.rate(s.rate);
        std::mt19937 g(7);
        ASSERT_TRUE(p.process(signal(g, 1500)));
        if (s.command) p.command(s.command, s.block);
        const uint64_t before = p.fused.app().fusedPasses;
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(p.process(signal(g, 700))) << "block " << i;
        EXPECT_EQ(p.fused.app().fusedPasses - before, s.covered ? 12u : 0u); // 2 passes a block
    }
}

// A chain in another order than create made it is the chain's own to run,
// wherever the moved block lands.
TEST(FusedPass, LeavesAChainInAnotherOrderToTheChain) {
    for (int to : {A::HIPASS, A::DELAY, A::MULTIPLIER}) {
        SCOPED_TRACE(to);
        Pair p;
        p.rate(44100);
        std::mt19937 g(11);
        ASSERT_TRUE(p.process(signal(g, 1500)));
        for (Host* h : {&p.fused, &p.ref}) {
            QZ_Chain& fx = h->app().chain->effects;
            QZ_Chain_Item* meter = &h->app().blocks[A::OUT_METER]->item;
            fx.remove(meter);
            fx.insert(meter, &h->app().blocks[to]->item); // just before it
        }
        const uint64_t before = p.fused.app().fusedPasses;
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(p.process(signal(g, 700))) << "block " << i;
        EXPECT_EQ(p.fused.app().fusedPasses, before);
    }
}

} // namespace
