#include "QZ_BlockTest.h"
#include "QZ_Effect_Deline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

using qz::test::Chain;
using qz::test::cmd;
using Deline = QZ_Effect_Deline;

namespace {

using qz::test::wrap32;

// The delay line written out plainly, sample by sample, in 64-bit arithmetic.
struct ReferenceLine {
    struct Group {
        std::vector<std::pair<int32_t, int32_t>> taps; // D, amplitude
        int64_t ga, gf;
        std::vector<int32_t>* out; // null: no output
    };
    std::vector<int32_t> memory = std::vector<int32_t>(65536, 0);
    uint16_t p = 0;
    std::vector<Group> groups;
    int mode = 0;

    void run(const std::vector<int32_t>& x) {
        const int64_t n = int64_t(x.size());
        for (int64_t k = 0; k < n; ++k) {
            int64_t w = x[size_t(k)];
            for (Group& g : groups) {
                int64_t s = 0;
                for (auto [d, a] : g.taps)
                    s = wrap32(s + wrap32((int64_t(memory[uint16_t(p + d + 1)]) * a) >> 31));
                int32_t r = wrap32((s * g.ga) >> 23);
                if (g.out) {
                    int32_t& o = (*g.out)[size_t(int64_t(g.out->size()) - n + k)];
                    o = qz::test::reference_mode(mode, o, r);
                }
                w = wrap32(w + wrap32((s * g.gf) >> 23));
            }
            memory[p] = int32_t(w);
            p = uint16_t(p - 1);
        }
    }
};

template <class T> T query(QZ_Object* o, const char* option) {
    T v{};
    EXPECT_EQ(QZ_command(cmd(std::string("%o -") + option), o, &v), QZ_OK) << option;
    return v;
}

// The answers of a command in text form: options that answer none add nothing.
std::string answers(const std::string& command, QZ_Object* o) {
    char result[256];
    int capacity = sizeof result;
    EXPECT_EQ(QZ_command_text(cmd(command), result, &capacity, o), QZ_OK) << command;
    return std::string(result, size_t(capacity));
}

TEST(Deline, SustainerCommandBuildsOneGroupWithOneTap) {
    Chain c(64);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt .01", in, out);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->i, in);
    ASSERT_NE(d->groups, nullptr);
    EXPECT_EQ(d->groups->next, nullptr);
    EXPECT_EQ(d->group, d->groups);
    const Deline::Group& g = *d->groups;
    EXPECT_EQ(g.go, out);
    EXPECT_EQ(g.ga, 8388607);
    EXPECT_EQ(g.gf, 0);
    ASSERT_NE(g.taps, nullptr);
    EXPECT_EQ(g.taps->next, nullptr);
    EXPECT_EQ(g.tap, g.taps);
    EXPECT_EQ(g.taps->da, 2147483647);
    EXPECT_EQ(g.taps->dt, 0.01f);
    EXPECT_FALSE(g.taps->inSamples);
    EXPECT_EQ(d->used, 6);
    EXPECT_EQ(query<int32_t>(d, "ga"), 8388607);
    EXPECT_EQ(query<int32_t>(d, "gf"), 0);
    EXPECT_EQ(query<float>(d, "dt"), 0.01f);

    // the flat table at 44100 Hz
    QZ_command(cmd("QZ_Effect %o -clock 44100"), d);
    d->prepare();
    ASSERT_TRUE(d->prepared);
    ASSERT_EQ(d->built, 6);
    EXPECT_EQ(d->table[0], 440);
    EXPECT_EQ(d->table[1], 2147483647);
    EXPECT_EQ(d->table[2], -1);
    EXPECT_EQ(d->table[3], 8388607);
    EXPECT_EQ(d->table[4], 1); // the first output
    EXPECT_EQ(d->outBuffers[0], out);
    EXPECT_EQ(d->table[5], 0);
}

TEST(Deline, DelayTimeInSecondsFollowsTheClockInSamplesItDoesNot) {
    Deline::Tap seconds;
    seconds.dt = 0.01f;
    EXPECT_EQ(Deline::delay(seconds, 44100), 440); // 0.01f is just below 0.01
    EXPECT_EQ(Deline::delay(seconds, 48000), 479);
    EXPECT_EQ(Deline::delay(seconds, 0), 0);
    Deline::Tap whole;
    whole.dt = 100.0f;
    whole.inSamples = true;
    EXPECT_EQ(Deline::delay(whole, 44100), 100);
    EXPECT_EQ(Deline::delay(whole, 48000), 100);

    Chain c(16);
    auto* d = c.block<Deline>("QZ_Effect_Deline -g % -d % -dt 100 -d % -dt .5");
    const Deline::Tap* t = d->group->taps;
    EXPECT_TRUE(t->inSamples);
    EXPECT_EQ(t->dt, 100.0f);
    EXPECT_FALSE(t->next->inSamples);
    EXPECT_EQ(query<float>(d, "dt"), 0.5f);
}

TEST(Deline, DelaysOutsideTheMemoryAreClamped) {
    Deline::Tap t;
    t.inSamples = true;
    for (auto [dt, D] :
         {std::pair{-5.0f, 0}, {65534.0f, 65534}, {65535.0f, 65534}, {1e9f, 65534}, {-1e12f, 0}}) {
        t.dt = dt;
        EXPECT_EQ(Deline::delay(t, 44100), D) << dt;
    }
    t.inSamples = false;
    t.dt = 10.0f; // ten seconds
    EXPECT_EQ(Deline::delay(t, 44100), 65534);
    t.dt = -1.0f;
    EXPECT_EQ(Deline::delay(t, 44100), 0);
    t.dt = 3e38f;
    EXPECT_EQ(Deline::delay(t, INT32_MAX), 65534);
}

TEST(Deline, DelayInSecondsIsTheExactProductWithTheClockTruncated) {
    auto exact = [](float dt, int32_t fs) {
        return std::clamp(qz::trunc32(static_cast<long double>(fs) * dt), 0, Deline::MAX_DELAY);
    };
    Deline::Tap t;
    std::vector<float> times = {0.0f,      -0.0f, 1.0f,    -1.0f,          0x1p-149f, 0x1p-126f,
                                1e-5f,     0.01f, 1.4860f, 65534.0f,       3e38f,     INFINITY,
                                -INFINITY, NAN,   -NAN,    0x1.fffffep-17f};
    std::vector<int32_t> clocks = {0, 1, -1, 44100, 48000, 96000, -44100, INT32_MAX, INT32_MIN};
    std::mt19937 g(7);
    for (int k = 0; k < 20000; ++k) {
        uint32_t bits = g();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        times.push_back(f);
        // delays near whole samples: k / fs and a unit in the last place on either side
        const int32_t fs = int32_t(g() % 200000) + 1;
        const float near = float(double(g() % 70000) / fs);
        times.insert(times.end(), {near, std::nextafter(near, 0.0f), std::nextafter(near, 1.0f)});
        clocks.push_back(fs);
    }
    for (size_t i = 0; i < times.size(); ++i) {
        t.dt = times[i];
        for (int32_t fs : {clocks[i % clocks.size()], 44100, 48000})
            ASSERT_EQ(Deline::delay(t, fs), exact(t.dt, fs)) << t.dt << " " << fs;
    }
    // Products one unit of dt's last place below a whole number of samples:
    // fs * m = k * 2^s - 1 for dt = m * 2^-s.
    int below = 0;
    for (int32_t fs = 3; fs < 1000; fs += 2)
        for (int s = 20; s <= 40; ++s)
            for (int64_t k = 1; k < fs; ++k)
                if (((k << s) - 1) % fs == 0 && ((k << s) - 1) / fs < (1 << 24)) {
                    t.dt = std::ldexp(float(((k << s) - 1) / fs), -s);
                    ASSERT_EQ(Deline::delay(t, fs), k - 1) << fs << " " << s;
                    ++below;
                }
    EXPECT_GT(below, 1000);
}

TEST(Deline, ImpulseArrivesAfterDPlusOneSamplesAcrossBlocks) {
    const int n = 64;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -d % -da .5 -dt 100", in, out);
    std::vector<int32_t> seen;
    for (int pass = 0; pass < 4; ++pass) {
        std::vector<int32_t> x(n, 0);
        if (pass == 0) x[3] = 1 << 30;
        c.set(in, x);
        c.run();
        auto o = c.get(out);
        seen.insert(seen.end(), o.begin(), o.end());
    }
    // amplitude .5 -> 1073741823 (31 bits), output gain 2^23 - 1
    int32_t s = int32_t((int64_t(1) << 30) * 1073741823 >> 31);
    int32_t r = int32_t(int64_t(s) * 8388607 >> 23);
    for (int k = 0; k < int(seen.size()); ++k)
        EXPECT_EQ(seen[size_t(k)], k == 3 + 101 ? r : 0) << k;
    EXPECT_EQ(r, 536870847);
}

TEST(Deline, ZeroDelayMeansOneSample) {
    Chain c(8);
    QZ_Buffer* b = c.buffer();
    c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt 0", b, b);
    c.set(b, {10, 20, 30, 40, 50, 60, 70, 80});
    c.run(); // in place: each output is the input one sample earlier, gains just under 1
    EXPECT_EQ(c.get(b), (std::vector<int32_t>{0, 8, 18, 28, 38, 48, 58, 68}));
}

TEST(Deline, FeedbackAccumulatesIntoTheMemory) {
    const int n = 40;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -gf .5 -ga 1 -d % -da 1 -dt 9",
                              in, out);
    EXPECT_EQ(d->group->gf, 4194303);
    std::vector<int32_t> x(n, 0);
    x[0] = 1 << 28;
    c.set(in, x);
    c.run();
    auto o = c.get(out);
    // echoes every 10 samples, each scaled by the tap and the feedback
    int64_t echo = 1 << 28;
    for (int k = 0; k < n; ++k) {
        if (k > 0 && k % 10 == 0) {
            int32_t s = int32_t(echo * 2147483647 >> 31);
            EXPECT_EQ(o[size_t(k)], int32_t(int64_t(s) * 8388607 >> 23)) << k;
            echo = int32_t(int64_t(s) * 4194303 >> 23);
        } else {
            EXPECT_EQ(o[size_t(k)], 0) << k;
        }
    }
    // with feedback the memory holds input plus scaled tap sums
    EXPECT_EQ(d->memory[uint16_t(0 - 10)],
              int32_t(int64_t(int32_t((int64_t(1) << 28) * 2147483647 >> 31)) * 4194303 >> 23));
}

TEST(Deline, GroupWithoutOutputStillFeedsBack) {
    const int n = 32;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    // group 1: no output, feedback 1 after 4 samples; group 2: reads the memory
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -gf 1 -d % -da 1 -dt 3 "
                              "-g % -go %o -d % -da 1 -dt 0",
                              in, out);
    std::vector<int32_t> x(n, 0);
    x[0] = 1 << 20;
    c.set(in, x);
    c.run();
    auto o = c.get(out);
    EXPECT_GT(o[1], 0); // the input itself
    EXPECT_GT(o[5], 0); // fed back by the group without output
    EXPECT_GT(o[9], 0);
    EXPECT_EQ(o[2], 0);
    EXPECT_EQ(d->groups->go, nullptr);
}

TEST(Deline, AmplitudeWithoutValueSilencesTheTap) {
    Chain c(16);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt 0 -da %", in, out);
    EXPECT_EQ(d->group->tap->da, 0);
    c.set(in, std::vector<int32_t>(16, 1 << 29));
    c.set(out, std::vector<int32_t>(16, 7));
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(16, 0));
    QZ_command(cmd("%o -da 1"), d);
    EXPECT_EQ(answers("%o -da", d), "0");
    EXPECT_EQ(d->group->tap->da, 0);
}

TEST(Deline, GainsAndAmplitudeScaleAndTruncate) {
    Chain c(16);
    auto* d = c.block<Deline>("QZ_Effect_Deline -g % -ga .5 -gf -1 -d % -da .5");
    EXPECT_EQ(d->group->ga, 4194303);
    EXPECT_EQ(d->group->gf, -8388607);
    EXPECT_EQ(d->group->tap->da, 1073741823);
    QZ_command(cmd("%o -ga 1000 -da -2"), d); // beyond 32 bits: saturated
    EXPECT_EQ(d->group->ga, INT32_MAX);
    EXPECT_EQ(d->group->tap->da, INT32_MIN);
}

// Several groups, shared and in-place outputs, short and long delays,
// feedback, a group without taps and one without output, in every mode.
TEST(Deline, MatchesReferenceInEveryMode) {
    // the baseline loops and the wider ones where the processor has them
    qz::test::at_every_level([](qz::isa::Level level) {
        const int n = 700; // longer than a chunk
        for (int mode = 0; mode < 6; ++mode) {
            Chain c(n);
            QZ_Buffer* in = c.buffer();
            QZ_Buffer* o1 = c.buffer();
            QZ_Buffer* o2 = c.buffer(n + 50); // longer: the last n samples are written
            auto* d = c.block<Deline>(
                std::string("QZ_Effect_Deline -i %o -clock 44100 -mode ") +
                    qz::test::mode_name(mode) +
                    " -g % -go %o -ga .9 -gf .3 -d % -da .7 -dt 5 -d % -da -.4 -dt .001"
                    " -g % -go %o -ga 1 -gf -.2 -d % -da 1 -dt 300"
                    " -g % -go %o -ga 2 -d % -da -1 -dt 65534 -d % -da .25 -dt 1000"
                    " -g % -gf 1 -d % -da 1 -dt 2"
                    " -g % -go %o -ga .5",
                in, o1, in, o2, o1);
            ASSERT_EQ(d->used, 5 * 4 + 6 * 2);
            ReferenceLine ref;
            ref.mode = mode;
            std::vector<int32_t> x, r1, r2;
            ref.groups = {
                {{{5, 1503238527}, {44, -858993471}}, 7549746, 2516582, &r1},
                {{{300, 2147483647}}, 8388607, -1677721, &x},
                {{{65534, -2147483647}, {1000, 536870911}}, 16777214, 0, &r2},
                {{{2, 2147483647}}, 8388607, 8388607, nullptr},
                {{}, 4194303, 0, &r1},
            };
            for (uint32_t pass = 0; pass < 3; ++pass) {
                x = qz::test::random_samples(n, 70 + pass);
                r1 = qz::test::random_samples(n, 80 + pass);
                r2 = qz::test::random_samples(n + 50, 90 + pass);
                c.set(in, x);
                c.set(o1, r1);
                c.set(o2, r2);
                std::vector<int32_t> input = x; // x is also group 2's output
                ref.run(input);
                c.run();
                ASSERT_EQ(c.get(o1), r1)
                    << "mode " << mode << " pass " << pass << " level " << level;
                ASSERT_EQ(c.get(in), x)
                    << "mode " << mode << " pass " << pass << " level " << level;
                ASSERT_EQ(c.get(o2), r2)
                    << "mode " << mode << " pass " << pass << " level " << level;
                ASSERT_EQ(d->position, ref.p);
            }
            ASSERT_TRUE(std::equal(d->memory, d->memory + 65536, ref.memory.begin()));
        }
    });
}

// Once round the memory, delays up to its end. Without feedback the memory
// takes the input as it is and single taps go straight to their output; with
// it every group runs its taps first. Also with an output that is the input.
TEST(Deline, MatchesReferenceOnceRoundTheMemory) {
    // the baseline loops and the wider ones where the processor has them
    qz::test::at_every_level([](qz::isa::Level level) {
        const int n = 512;
        for (int mode : {0, 5}) {
            for (int variant = 0; variant < 3; ++variant) {
                const bool inPlace = variant == 1, fed = variant == 2;
                Chain c(n);
                QZ_Buffer* in = c.buffer();
                QZ_Buffer* o1 = c.buffer();
                QZ_Buffer* o2 = c.buffer();
                c.block<Deline>(std::string("QZ_Effect_Deline -i %o -mode ") +
                                    qz::test::mode_name(mode) + " -g % -go %o -gf " +
                                    (fed ? ".5" : "0") +
                                    " -d % -da -1 -dt 65534"
                                    " -g % -go %o -ga .5 -d % -da .5 -dt 300"
                                    " -g % -go %o -d % -da 1 -dt 7 -d % -da -.5 -dt 40000",
                                in, o1, inPlace ? in : o2, o2);
                ReferenceLine ref;
                ref.mode = mode;
                std::vector<int32_t> x, r1, r2;
                ref.groups = {
                    {{{65534, -2147483647}}, 8388607, fed ? 4194303 : 0, &r1},
                    {{{300, 1073741823}}, 4194303, 0, inPlace ? &x : &r2},
                    {{{7, 2147483647}, {40000, -1073741823}}, 8388607, 0, &r2},
                };
                for (uint32_t pass = 0; pass < 130; ++pass) {
                    x = qz::test::random_samples(n, 3000 + pass);
                    r1 = qz::test::random_samples(n, 4000 + pass);
                    r2 = qz::test::random_samples(n, 5000 + pass);
                    c.set(in, x);
                    c.set(o1, r1);
                    c.set(o2, r2);
                    std::vector<int32_t> input = x;
                    ref.run(input);
                    c.run();
                    ASSERT_EQ(c.get(o1), r1) << "mode " << mode << " variant " << variant
                                             << " pass " << pass << " level " << level;
                    ASSERT_EQ(c.get(o2), r2) << "mode " << mode << " variant " << variant
                                             << " pass " << pass << " level " << level;
                    ASSERT_EQ(c.get(in), x) << "mode " << mode << " variant " << variant << " pass "
                                            << pass << " level " << level;
                }
            }
        }
    });
}

TEST(Deline, ModeAddAccumulatesIntoTheOutput) {
    Chain c(4);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    c.block<Deline>("QZ_Effect_Deline -i %o -mode add -g % -go %o -ga 1 -d % -da 1 -dt 0", in, out);
    c.set(in, {1000, 2000, 3000, 4000});
    c.set(out, {5, 5, 5, 5});
    c.run();
    EXPECT_EQ(c.get(out), (std::vector<int32_t>{5, 5 + 998, 5 + 1998, 5 + 2998}));
}

TEST(Deline, ShortOutputIsNeverWrittenLongerOneGetsItsLastSamples) {
    const int n = 64;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* shorter = c.buffer(16);
    QZ_Buffer* longer = c.buffer(100);
    QZ_Buffer* probe = c.buffer();
    auto* d =
        c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -gf 1 -d % -da 1 -dt 0 "
                        "-g % -go %o -ga 1 -d % -da 1 -dt 0 -g % -go %o -ga 1 -d % -da 1 -dt 0",
                        in, shorter, longer, probe);
    c.set(in, std::vector<int32_t>(n, 100));
    c.set(shorter, std::vector<int32_t>(16, 3));
    c.set(longer, std::vector<int32_t>(100, 3));
    c.run();
    EXPECT_EQ(c.get(shorter), std::vector<int32_t>(16, 3));
    for (int k = 0; k < 36; ++k)
        ASSERT_EQ(longer->data[k], 3) << k;
    EXPECT_EQ(longer->data[36], 0);
    EXPECT_EQ(c.get(probe), std::vector<int32_t>(longer->data + 36, longer->data + 100));
    // the short group's feedback still doubles what the memory holds
    EXPECT_GT(probe->data[n - 1], 100 * 10);
    EXPECT_NE(d->position, 0);
}

TEST(Deline, BlockWithoutGroupsStillRecordsItsInput) {
    const int n = 16;
    Chain c(n);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o", in);
    std::vector<int32_t> x(n, 0);
    x[5] = 4242;
    c.set(in, x);
    c.run();
    EXPECT_EQ(d->position, uint16_t(0 - n));
    // a tap added later finds the impulse n - 5 samples back
    QZ_command(cmd("%o -g % -go %o -ga 1 -d % -da 1 -dt 12"), d, out);
    c.set(in, std::vector<int32_t>(n, 0));
    c.run(); // sample 16 + 2 reads what sample 5 wrote
    for (int k = 0; k < n; ++k)
        EXPECT_EQ(out->data[k], k == 2 ? 4240 : 0) << k;
}

TEST(Deline, OptionsWithoutGroupOrTapDoNothingAndAnswerNone) {
    Chain c(16);
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline");
    EXPECT_EQ(answers("%o -go -ga -gf -gc -d -dt -da", d), "");
    EXPECT_EQ(QZ_command(cmd("%o -go %o -ga 1 -gf 1 -gc 1 -dt 5 -da 1"), d, out), QZ_OK);
    EXPECT_EQ(d->groups, nullptr);
    EXPECT_EQ(d->used, 0);
    // a group, but no tap yet
    QZ_command(cmd("%o -g % -dt 5 -da 1"), d);
    ASSERT_NE(d->group, nullptr);
    EXPECT_EQ(d->group->taps, nullptr);
    EXPECT_EQ(answers("%o -dt -da", d), "");
    EXPECT_EQ(d->used, 4);
}

TEST(Deline, TableCapacityRefusesFurtherGroupsAndTaps) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -d % -d %", in);
    Deline::Group* first = d->group;
    int made = 1;
    for (;; ++made) {
        Deline::Group* g = nullptr;
        QZ_command(cmd("%o -g"), d, &g);
        if (!g) break;
        ASSERT_EQ(g, d->group);
        ASSERT_LE(made, 5000);
    }
    EXPECT_EQ(made, (16384 - 4) / 4); // two taps took the place of one group
    EXPECT_EQ(d->used, 16384);
    Deline::Group* last = d->group;
    EXPECT_EQ(answers("%o -g", d), ""); // refused: answers none, keeps the current group
    EXPECT_EQ(d->group, last);
    EXPECT_EQ(answers("%o -d", d), "");
    EXPECT_EQ(last->taps, nullptr);
    // freeing two taps makes room for exactly two taps more
    QZ_command(cmd("%o -g %o -gc"), d, first);
    EXPECT_EQ(first->taps, nullptr);
    EXPECT_EQ(d->used, 16384 - 4);
    QZ_command(cmd("%o -g %o -d % -d % -dt 7"), d, last);
    EXPECT_EQ(d->used, 16384);
    Deline::Tap* tap = last->tap;
    EXPECT_EQ(answers("%o -d", d), "");
    EXPECT_EQ(last->tap, tap);
    EXPECT_EQ(last->count, 2);
    c.run(); // builds and walks the full table
    EXPECT_EQ(d->built, 16384);
}

TEST(Deline, GroupsAndTapsOfAnotherBlockAreRefused) {
    Chain c(8);
    auto* a = c.block<Deline>("QZ_Effect_Deline -g % -d % -g % -d %");
    auto* b = c.block<Deline>("QZ_Effect_Deline -g % -d %");
    Deline::Group* mine = a->group;
    Deline::Tap* myTap = mine->tap;
    QZ_command(cmd("%o -g %o"), a, b->group);
    EXPECT_EQ(a->group, mine);
    QZ_command(cmd("%o -d %o"), a, b->group->tap);
    EXPECT_EQ(mine->tap, myTap);
    QZ_command(cmd("%o -d %o"), a, a->groups->tap); // a tap of another group of the same block
    EXPECT_EQ(mine->tap, myTap);
    // its own first group and tap are accepted
    QZ_command(cmd("%o -g %o"), a, a->groups);
    EXPECT_EQ(a->group, a->groups);
    QZ_command(cmd("%o -d %o -da .5"), a, a->groups->taps);
    EXPECT_EQ(a->groups->taps->da, 1073741823);
    EXPECT_EQ(mine->taps->da, 0);
}

TEST(Deline, DetachedTapsAreFreedAndNoLongerProcessed) {
    Chain c(8);
    QZ_Buffer* in = c.buffer();
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>(
        "QZ_Effect_Deline -i %o -g % -go %o -ga 1 -d % -da 1 -dt 0 -d % -dt 1", in, out);
    EXPECT_EQ(d->used, 8);
    c.set(in, std::vector<int32_t>(8, 1000));
    c.run();
    EXPECT_NE(out->data[7], 0);
    QZ_command(cmd("%o -gc"), d);
    EXPECT_EQ(d->used, 4);
    EXPECT_EQ(d->group->taps, nullptr);
    EXPECT_EQ(d->group->tap, nullptr);
    c.run();
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 0));
    QZ_command(cmd("%o -d % -da 1 -dt 0"), d); // the group takes new taps
    EXPECT_EQ(d->group->count, 1);
}

TEST(Deline, WithoutInputNeverPreparedNorProcessed) {
    Chain c(8);
    QZ_Buffer* out = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -g % -go %o -d % -da 1", out);
    c.set(out, std::vector<int32_t>(8, 9));
    c.run();
    EXPECT_FALSE(d->prepared);
    EXPECT_EQ(c.get(out), std::vector<int32_t>(8, 9));
}

TEST(Deline, ProcessingLeavesTheBlockUnpreparedAndResetClearsTheMemory) {
    Chain c(8);
    QZ_Buffer* b = c.buffer();
    auto* d = c.block<Deline>("QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt 20", b, b);
    c.set(b, std::vector<int32_t>(8, 5));
    c.run();
    EXPECT_FALSE(d->prepared);
    EXPECT_EQ(d->memory[0], 5);
    uint16_t p = d->position;
    c.pipe->reset();
    EXPECT_TRUE(std::all_of(d->memory, d->memory + 65536, [](int32_t v) { return v == 0; }));
    EXPECT_EQ(d->position, p);
    // the clock marks it unprepared too
    d->prepare();
    ASSERT_TRUE(d->prepared);
    QZ_command(cmd("QZ_Effect %o -clock 48000"), d);
    EXPECT_FALSE(d->prepared);
}

} // namespace
