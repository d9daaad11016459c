// The plug-in used the way hosts use it: audio on a thread of its own, with
// parameters automated from that thread, while the interface thread opens,
// paints, drags and closes the editor and sets parameters too. In the
// ThreadSanitizer build (native-tsan) any race fails the test.
#include "QZ_Effect_Koef.h"
#include "QZ_Main_Vst_Editor.h"
#include "QZ_Object.h"
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"
#include "Win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

using qz::test::Host;
using A = QZ_Application;

namespace {

int32_t level_factor(Host& h) {
    return static_cast<QZ_Effect_Koef*>(h.app().blocks[A::LEVEL_FACTOR])->K;
}

TEST(Threads, AudioRunsWhileTheEditorAndParametersChangeOnOtherThreads) {
    Host h;
    AEffect* fx = h.fx;
    // A rate, as hosts give one: passes may then take the fused loop.
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    // Not offered to hosts here, so opened as the dispatcher would open it.
    QZ_Main_Vst_Editor* editor = h.object()->editorObject();
    ASSERT_NE(editor, nullptr);
    QZ_Win& win = *editor->window();
    const QZ_Rect knob = static_cast<QZ_Wid*>(h.app().widgets[A::W_LEVEL_KNOB])->rect();
    const int32_t x = (knob.left + knob.right) / 2, y = (knob.top + knob.bottom) / 2;
    const size_t objects = qz::live_objects();

    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    bool clean = true; // finite, and no burst above the input's 0.9
    const std::string said = qz::test::stdout_of([&] {
        std::thread audio([&] {
            constexpr int N = 256;
            std::vector<float> in(N), out0(N), out1(N);
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {out0.data(), out1.data()};
            // A decaying tone, struck again every 100 blocks: loud and quiet.
            for (int n = 0; !done.load(); ++n, ++blocks) {
                for (int j = 0; j < N; ++j) {
                    double t = (n % 100) * N + j;
                    in[j] = float(0.9 * std::exp(-t / 8000.0) * std::sin(t * 0.05));
                }
                fx->processReplacing(fx, inputs, outputs, N);
                for (int j = 0; j < N; ++j)
                    clean = clean && std::fabs(out0[j]) <= 1.0f;
                if (n % 8 == 0) fx->setParameter(fx, 1, float(n / 8 % 11) / 10.0f);
            }
        });
        // Both threads busy together throughout.
        for (int cycle = 0; cycle < 40 || blocks.load() < 400; ++cycle) {
            editor->open(nullptr);
            win.mouse_move(x, y);
            win.button_down(x, y);
            win.mouse_move(x - cycle % 7 * 4, y);
            win.button_up();
            fx->setParameter(fx, 2, float(cycle % 9) / 8.0f);
            for (int i = 0; i < 4; ++i) {
                win.refresh(); // the editor's side: knobs, read-outs, meter
                std::this_thread::yield();
            }
            editor->close();
            // The effect switched off and on in quick succession, as a host's
            // automation may: never a pass with half the chain switched.
            for (int k = 1; k <= 200; ++k)
                fx->setParameter(fx, 0, float(k % 2 == 0));
        }
        fx->setParameter(fx, 0, 1.0f);
        done = true;
        audio.join();
    });
    EXPECT_GE(blocks.load(), 400);
    EXPECT_GT(h.app().fusedPasses, 0u);
    EXPECT_TRUE(clean);
    EXPECT_EQ(said.find("derar"), std::string::npos) << said;
    EXPECT_EQ(said.find("NULL"), std::string::npos) << said;
    EXPECT_EQ(qz::live_objects(), objects);
    EXPECT_EQ(win.widgets.count, 0);

    // No change was lost between the threads: the level factor is the one the
    // final sustain and level give, as a fresh instance computes it.
    Host fresh;
    for (int p : {1, 3}) {
        A::Param* q = fresh.app().param(p);
        q->setReal(h.app().param(p)->real());
        q->apply(fresh.app().target(p));
    }
    EXPECT_EQ(level_factor(h), level_factor(fresh));
}

} // namespace
