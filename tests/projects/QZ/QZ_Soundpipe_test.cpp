#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using qz::test::cmd;

namespace {

std::vector<std::string> trace;

// An in-place block that adds a constant, recording what the chain asks of it.
class Adder : public QZ_Effect {
public:
    std::string name;
    QZ_Buffer* buf;
    int32_t amount;
    bool can_prepare = true;
    int resets = 0;
    Adder(std::string n, QZ_Buffer* b, int32_t a) : name(std::move(n)), buf(b), amount(a) {}
    void prepare() override {
        trace.push_back(name + ".prepare");
        prepared = can_prepare;
    }
    void process() override {
        trace.push_back(name + ".process");
        int32_t n = span(buf);
        int32_t* o = samples(buf);
        int32_t* i = samples(buf);
        for (int32_t k = 0; k < n; ++k)
            o[k] = i[k] + amount;
    }
    void reset() override {
        ++resets;
        trace.push_back(name + ".reset");
    }
};

// Reads a buffer and keeps what it saw.
class Reader : public QZ_Effect {
public:
    QZ_Buffer* buf;
    std::vector<int32_t> seen;
    explicit Reader(QZ_Buffer* b) : buf(b) {}
    void process() override {
        int32_t n = span(buf);
        int32_t* d = samples(buf);
        seen.assign(d, d + n);
    }
};

std::vector<std::string> order(QZ_Soundpipe* s) {
    std::vector<std::string> v;
    s->effects.each<QZ_Effect>([&](QZ_Effect* e) { v.push_back(static_cast<Adder*>(e)->name); });
    return v;
}

class Soundpipe : public testing::Test {
public:
    void SetUp() override {
        trace.clear();
        ASSERT_EQ(QZ_Soundpipe::current, nullptr);
    }
    void TearDown() override {
        for (auto it = owned.rbegin(); it != owned.rend(); ++it)
            delete *it;
        QZ_Soundpipe::current = nullptr;
    }
    template <class T> T* own(T* o) {
        owned.push_back(o);
        return o;
    }
    QZ_Soundpipe* pipe(int bl) {
        QZ_Soundpipe* s = nullptr;
        int32_t b = -1;
        EXPECT_EQ(QZ_command(cmd("QZ_Soundpipe -bl %i -b"), &s, bl, &b), QZ_OK);
        EXPECT_EQ(b, 0); // creation already made it current
        return own(s);
    }
    QZ_Buffer* buffer() {
        QZ_Buffer* b = nullptr;
        EXPECT_EQ(QZ_command(cmd("QZ_Buffer"), &b), QZ_OK);
        return own(b);
    }
    std::vector<QZ_Object*> owned;
};

TEST_F(Soundpipe, CurrentAndItsOptions) {
    QZ_Soundpipe* a = pipe(8);
    EXPECT_EQ(QZ_Soundpipe::current, a);
    int32_t r = -1;
    QZ_Soundpipe* found = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe current"), &found), QZ_OK);
    EXPECT_EQ(found, a);
    EXPECT_EQ(a->descriptor, QZ_Soundpipe::cls);
    QZ_Soundpipe* b = pipe(4);
    EXPECT_EQ(QZ_Soundpipe::current, b);
    QZ_Buffer* buf = buffer();
    EXPECT_EQ(buf->item.chain, &b->buffers);
    EXPECT_EQ(a->buffers.count, 0);
    ASSERT_EQ(QZ_command(cmd("%o -e"), a, &r), QZ_OK);
    EXPECT_EQ(r, 0);
    ASSERT_EQ(QZ_command(cmd("%o -e"), b, &r), QZ_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(QZ_Soundpipe::current, nullptr);
    std::string said = qz::test::stdout_of([&] {
        QZ_Soundpipe* none = reinterpret_cast<QZ_Soundpipe*>(1);
        EXPECT_EQ(QZ_command(cmd("QZ_Soundpipe current"), &none), QZ_ERROR_COMMAND_NOT_FOUND);
        EXPECT_EQ(none, reinterpret_cast<QZ_Soundpipe*>(1));
    });
    EXPECT_NE(said.find("derar: "), std::string::npos);
    ASSERT_EQ(QZ_command(cmd("%o -b"), a, &r), QZ_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(QZ_Soundpipe::current, a);
    ASSERT_EQ(QZ_command(cmd("%o -bl 3.5 -bl"), a, &r), QZ_OK);
    EXPECT_EQ(r, 3); // truncated, never a float's bits
}

TEST_F(Soundpipe, InsertionPointAndBefore) {
    QZ_Soundpipe* s = pipe(4);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1));
    Adder* c = own(new Adder("c", b, 1));
    void* was = nullptr;
    ASSERT_EQ(QZ_command(cmd("%o -be %o -be"), s, c, &was), QZ_OK);
    EXPECT_EQ(was, c);
    Adder* m = own(new Adder("m", b, 1));
    EXPECT_EQ(order(s), (std::vector<std::string>{"a", "m", "c"}));
    ASSERT_EQ(QZ_command(cmd("%o -be 0"), s), QZ_OK);
    Adder* z = own(new Adder("z", b, 1));
    EXPECT_EQ(order(s), (std::vector<std::string>{"a", "m", "c", "z"}));

    void* next = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -before %o -before"), z, a, &next), QZ_OK);
    EXPECT_EQ(next, a);
    EXPECT_EQ(order(s), (std::vector<std::string>{"z", "a", "m", "c"}));
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -before"), c, &next), QZ_OK);
    EXPECT_EQ(next, nullptr); // last

    // deleting the insertion point leaves none rather than a dangling one
    ASSERT_EQ(QZ_command(cmd("%o -be %o"), s, m), QZ_OK);
    owned.erase(std::find(owned.begin(), owned.end(), m));
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -delete"), m), QZ_OK);
    EXPECT_EQ(s->before, nullptr);
    EXPECT_EQ(order(s), (std::vector<std::string>{"z", "a", "c"}));

    // "before" needs a current soundpipe holding the other effect
    QZ_Soundpipe::current = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -before %o"), c, z), QZ_OK);
    EXPECT_EQ(order(s), (std::vector<std::string>{"z", "a", "c"}));
    QZ_Soundpipe* other = pipe(4);
    Adder* x = own(new Adder("x", b, 1));
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -before %o"), c, x), QZ_OK);
    EXPECT_EQ(order(s), (std::vector<std::string>{"z", "a", "c"}));
    EXPECT_EQ(order(other), (std::vector<std::string>{"x"}));
}

TEST_F(Soundpipe, DeletingASoundpipeReleasesItsMembers) {
    QZ_Soundpipe* s = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 16"), &s), QZ_OK);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1));
    ASSERT_EQ(QZ_command(cmd("%o -delete"), s), QZ_OK);
    EXPECT_EQ(QZ_Soundpipe::current, nullptr);
    EXPECT_EQ(a->soundpipe, nullptr);
    EXPECT_EQ(a->item.chain, nullptr);
    EXPECT_EQ(b->item.chain, nullptr);
    EXPECT_EQ(b->soundpipe, nullptr);
    EXPECT_EQ(b->length(), 16); // keeps its storage at a fixed length
    EXPECT_EQ(b->usable(), 16);
}

TEST_F(Soundpipe, PassRunsBlocksInOrderAndPreparesLazily) {
    QZ_Soundpipe* s = pipe(4);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1));
    Adder* never = own(new Adder("never", b, 100));
    never->can_prepare = false;
    Adder* c = own(new Adder("c", b, 10));
    s->process();
    s->process();
    EXPECT_EQ(trace,
              (std::vector<std::string>{"a.prepare", "a.process", "never.prepare", "c.prepare",
                                        "c.process", "a.process", "never.prepare", "c.process"}));
    EXPECT_EQ(b->data[0], 22);
    EXPECT_EQ(a->resets, 0);
    EXPECT_EQ(c->resets, 0);
}

TEST_F(Soundpipe, OffBlockIsResetOnceThenSkipped) {
    QZ_Soundpipe* s = pipe(4);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1));
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -on 0"), a), QZ_OK);
    trace.clear();
    s->process(); // switching off: runs once, then reset
    s->process(); // off and was off: skipped
    EXPECT_EQ(trace, (std::vector<std::string>{"a.prepare", "a.process", "a.reset"}));
    EXPECT_EQ(a->wasOn, false);
    int32_t on = -1;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -on 7 -on"), a, &on), QZ_OK);
    EXPECT_EQ(on, 1);
    trace.clear();
    s->process();
    EXPECT_EQ(trace, (std::vector<std::string>{"a.process"}));
    EXPECT_TRUE(a->wasOn);
}

// One pass over an in-place block being switched, with a reader after it.
struct Ramp {
    std::vector<int32_t> seen, left;
};

Ramp switch_pass(Soundpipe* t, bool on_before, bool on_after, bool with_reader, int n = 8) {
    QZ_Soundpipe* s = t->pipe(n);
    QZ_Buffer* b = t->buffer();
    Adder* a = t->own(new Adder("a", b, 1000));
    Reader* r = with_reader ? t->own(new Reader(b)) : nullptr;
    a->on = on_before;
    for (int k = 0; k < n; ++k)
        b->data[k] = 100 * k;
    s->process(); // settle the switch's previous state
    for (int k = 0; k < n; ++k)
        b->data[k] = 100 * k;
    a->on = on_after;
    s->process();
    Ramp out;
    if (r) out.seen = r->seen;
    out.left.assign(b->data, b->data + n);
    QZ_Soundpipe::current = nullptr;
    return out;
}

TEST_F(Soundpipe, SwitchingOffRampsFromProcessedToDry) {
    Ramp r = switch_pass(this, true, false, true);
    for (int i = 0; i < 8; ++i) {
        int64_t dry = 100 * i, wet = dry + 1000;
        EXPECT_EQ(r.seen[size_t(i)], int32_t((dry * i + wet * (8 - i)) / 8)) << i;
    }
    EXPECT_EQ(r.seen[0], 1000);
}

TEST_F(Soundpipe, SwitchingOnRampsFromDryToProcessed) {
    Ramp r = switch_pass(this, false, true, true);
    for (int i = 0; i < 8; ++i) {
        int64_t dry = 100 * i, wet = dry + 1000;
        EXPECT_EQ(r.seen[size_t(i)], int32_t((wet * i + dry * (8 - i)) / 8)) << i;
    }
    EXPECT_EQ(r.seen[0], 0);
}

TEST_F(Soundpipe, WithoutALaterReaderTheSwitchedResultIsNotApplied) {
    Ramp r = switch_pass(this, false, true, false);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(r.left[size_t(i)], 100 * i);
}

// What a loop standing in for a steady pass leaves, after each pass that
// switched: no buffer fading, every effect on. The second time catches a
// mark of "already so" that outlives a pass.
TEST_F(Soundpipe, RanSteadyLeavesWhatASteadyPassLeavesAfterEverySwitchingPass) {
    QZ_Soundpipe* s = pipe(8);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1000)); // the last to touch b
    s->process();
    for (bool on : {false, true}) {
        a->on = on;
        s->process();
        ASSERT_NE(b->fade, 0) << on; // the switch's pass left its fade
        EXPECT_EQ(a->passOn, on);
        s->ran_steady();
        EXPECT_EQ(b->fade, 0) << on;
        EXPECT_TRUE(a->passOn) << on;
    }
}

TEST_F(Soundpipe, FadeProductsAreExactAtFullScale) {
    QZ_Soundpipe* s = pipe(3);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, INT32_MIN)); // wraps the maximum to -1
    Reader* r = own(new Reader(b));
    a->on = false;
    s->process();
    for (int k = 0; k < 3; ++k)
        b->data[k] = INT32_MAX;
    a->on = true;
    s->process();
    int64_t dry = INT32_MAX, wet = -1;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(r->seen[size_t(i)], int32_t((wet * i + dry * (3 - i)) / 3));
}

TEST_F(Soundpipe, ResetClearsBuffersAndResetsEffects) {
    QZ_Soundpipe* s = pipe(4);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 5));
    s->process();
    EXPECT_EQ(b->data[3], 5);
    s->reset();
    EXPECT_EQ(b->data[3], 0);
    EXPECT_EQ(a->resets, 1);
}

class Clocked : public QZ_Effect {
public:
    int changes = 0;
    void clockChanged() override { ++changes; }
};

TEST_F(Soundpipe, EffectOptionsModeAndClock) {
    pipe(4);
    Clocked* c = own(new Clocked());
    const char* mode = nullptr;
    int32_t clock = 0;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -mode"), c, &mode), QZ_OK);
    EXPECT_STREQ(mode, "set");
    const char* names[] = {"set", "add", "sub", "stn", "adn", "sbn"};
    for (int m = 5; m >= 0; --m) {
        ASSERT_EQ(
            QZ_command(cmd(std::string("QZ_Effect %o -mode ") + names[m] + " -mode"), c, &mode),
            QZ_OK);
        EXPECT_EQ(c->mode, m);
        EXPECT_STREQ(mode, names[m]);
    }
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -mode sbn -mode xyz -mode"), c, &mode), QZ_OK);
    EXPECT_STREQ(mode, "sbn");
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -mode 3 -mode"), c, &mode), QZ_OK);
    EXPECT_STREQ(mode, "sbn");
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -clock 48000.7 -clock"), c, &clock), QZ_OK);
    EXPECT_EQ(clock, 48000);
    EXPECT_EQ(c->changes, 1);
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -clock %i"), c, 44100), QZ_OK);
    EXPECT_EQ(c->clock, 44100);
    EXPECT_EQ(c->changes, 2);
    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -clock 1e30"), c), QZ_OK);
    EXPECT_EQ(c->clock, INT32_MAX); // saturates instead of overflowing
    EXPECT_FALSE(c->prepared);
    EXPECT_TRUE(c->on);
    EXPECT_TRUE(c->wasOn);
}

TEST_F(Soundpipe, BlockLengthZeroAndShortBuffersProcessNothingPastStorage) {
    QZ_Soundpipe* s = pipe(4);
    QZ_Buffer* b = buffer();
    Adder* a = own(new Adder("a", b, 1));
    s->bl = 0;
    s->process();
    EXPECT_EQ(b->data[0], 0);
    s->bl = 1 << 20; // beyond the storage: the block stops at 4 samples
    a->on = false;
    s->process();
    Reader* r = own(new Reader(b));
    a->on = true;
    s->process();
    EXPECT_EQ(r->seen.size(), 4u);
}

} // namespace
