// Host automation as hosts make it: parameters set and read on the audio
// thread and on others, while the editor's threads paint, hold the paint
// mutex and turn knobs. No host call may wait for the editor, and no change
// may be lost between threads.
#include "QZ_Effect.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Main_Vst_Editor.h"
#include "QZ_PluginHost.h"
#include "Wid_Knob.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

using qz::test::Host;
using A = QZ_Application;
using Clock = std::chrono::steady_clock;

namespace {

// A small generator of our own: the same values in every build.
struct Random {
    uint32_t s;
    float unit() {
        s = s * 1664525u + 1013904223u;
        return float(s >> 8) / 16777216.0f;
    }
};

int64_t micros(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

// The blocks' settings a fresh instance makes of the same parameter values.
struct Settings {
    int32_t factor, limit, corner;
    bool on[A::BLOCKS];
    explicit Settings(A& a) {
        factor = static_cast<QZ_Effect_Koef*>(a.blocks[A::LEVEL_FACTOR])->K;
        limit = static_cast<QZ_Effect_Dist*>(a.blocks[A::LIMITER])->level;
        corner = static_cast<QZ_Effect_Hipass*>(a.blocks[A::HIPASS])->f;
        for (int i = 0; i < A::BLOCKS; ++i)
            on[i] = a.blocks[i]->on;
    }
    bool operator==(const Settings& o) const {
        return factor == o.factor && limit == o.limit && corner == o.corner &&
               std::equal(on, on + A::BLOCKS, o.on);
    }
};

Settings fresh_with(A& like) {
    Host fresh;
    for (int p = 0; p < A::PARAMS; ++p) {
        A::Param* q = fresh.app().param(p);
        q->store(like.param(p)->load());
        q->apply(fresh.app().target(p));
    }
    return Settings(fresh.app());
}

TEST(Automation, NoHostCallWaitsWhileTheEditorHoldsItsPaintMutex) {
    Host h;
    AEffect* fx = h.fx;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    QZ_Main_Vst_Editor* editor = h.object()->editorObject();
    ASSERT_NE(editor, nullptr);
    QZ_Win& win = *editor->window();
    ASSERT_TRUE(editor->open(nullptr)); // off-screen: no host window here

    // Long, so that a tenth of it stands far above what a loaded machine's
    // scheduler adds to a call that never waits.
    constexpr auto HOLD = std::chrono::milliseconds(500);
    std::atomic<bool> done{false};
    std::atomic<int> holds{0}, drags{0};
    // An editor thread that holds the paint mutex for long stretches, as a
    // paint does when the system deschedules it.
    std::thread holder([&] {
        while (!done.load()) {
            if (!win.paintMutex.lock(1000)) continue;
            std::this_thread::sleep_for(HOLD);
            win.paintMutex.unlock();
            ++holds;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    // The editor's own thread: knobs turned, then the refresh.
    std::thread dragger([&] {
        const int knobs[] = {A::W_SUSTAIN_KNOB, A::W_TONE_KNOB, A::W_LEVEL_KNOB};
        for (int n = 0; !done.load(); ++n) {
            QZ_Rect r = static_cast<QZ_Wid*>(h.app().widgets[knobs[n % 3]])->rect();
            const int32_t x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
            win.mouse_move(x, y);
            win.button_down(x, y);
            win.mouse_move(x + n % 11 - 5, y);
            win.button_up();
            win.refresh();
            ++drags;
            // About a refresh's time, as the window's thread would take.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    // The host's audio thread: audio and automation, each call timed.
    int64_t longest[4] = {};
    const char* what[4] = {"processReplacing", "setParameter", "getParameter",
                           "effGetParamDisplay"};
    std::vector<float> in(256), out0(256), out1(256);
    float* inputs[1] = {in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    Random rnd{7};
    char text[16];
    const auto start = Clock::now();
    for (int n = 0; holds.load() < 3 || Clock::now() - start < 3 * HOLD; ++n) {
        for (size_t j = 0; j < in.size(); ++j)
            in[j] = 0.5f * std::sin(0.01f * float(n * 256 + int(j)));
        auto t0 = Clock::now();
        fx->processReplacing(fx, inputs, outputs, int32_t(in.size()));
        auto t1 = Clock::now();
        fx->setParameter(fx, 1 + n % 3, rnd.unit());
        auto t2 = Clock::now();
        volatile float x = fx->getParameter(fx, n % 4);
        (void)x;
        auto t3 = Clock::now();
        fx->dispatcher(fx, effGetParamDisplay, n % 4, 0, text, 0.0f);
        auto t4 = Clock::now();
        const Clock::time_point at[] = {t0, t1, t2, t3, t4};
        for (int k = 0; k < 4; ++k)
            longest[k] = std::max(longest[k], micros(at[k + 1] - at[k]));
        std::this_thread::yield();
    }
    done = true;
    holder.join();
    dragger.join();
    for (int k = 0; k < 4; ++k)
        std::printf("longest %s: %lld us (the editor held its mutex %d times for %lld ms)\n",
                    what[k], static_cast<long long>(longest[k]), holds.load(),
                    static_cast<long long>(HOLD.count()));
    EXPECT_GE(holds.load(), 3);
    EXPECT_GT(drags.load(), 0);
    // A tenth of the hold: a call that waited for the mutex at all took more.
    for (int k = 0; k < 4; ++k)
        EXPECT_LT(longest[k], micros(HOLD) / 10) << what[k];

    // The editor, once it refreshes, shows what the last change set.
    win.refresh();
    for (int p = 1; p < A::PARAMS; ++p) {
        auto* k = static_cast<QZ_Wid_Knob*>(h.app().param(p)->widget);
        EXPECT_EQ(k->frame, k->frameOf(h.app().param(p)->real())) << p;
    }
    editor->close();
}

TEST(Automation, ChangesOnTwoThreadsAtOnceLeaveTheBlocksAsTheLastOfEachSets) {
    Host h;
    AEffect* fx = h.fx;
    // Sustain and Level both set the level factor; State switches ten
    // blocks. Each thread changes all of them, as fast as it can.
    auto hammer = [fx](uint32_t seed) {
        Random rnd{seed};
        for (int n = 0; n < 4000; ++n) {
            const int p = n % 4;
            fx->setParameter(fx, p, p == 0 ? float(rnd.unit() > 0.5f) : rnd.unit());
        }
    };
    for (int round = 0; round < 5; ++round) {
        std::thread a(hammer, 11u + round), b(hammer, 97u + round);
        hammer(1234u + round);
        a.join();
        b.join();
        EXPECT_TRUE(Settings(h.app()) == fresh_with(h.app())) << "round " << round;
    }
}

} // namespace
