// Host automation: what one setParameter call costs, alone and while another
// thread paints the editor without pause (as a window's thread does while the
// user turns a knob and the meter moves). Each call is timed on its own; the
// counters give the median and the 99.9th percentile in nanoseconds.
#include "QZ_Main_Vst.h"
#include "QZ_Main_Vst_Editor.h"
#include "Win.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Plugin {
    AEffect* fx = VSTPluginMain(&host);
    QZ_Main_Vst_Editor* editor = static_cast<QZ_Main_Vst*>(fx->object)->editorObject();
    Plugin() {
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        editor->open(nullptr); // off-screen
    }
    ~Plugin() {
        editor->close();
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    }
};

// Times every call of the loop; reports the median and the 99.9th percentile.
template <class Call> void per_call(benchmark::State& state, Call call) {
    using Clock = std::chrono::steady_clock;
    std::vector<int64_t> ns;
    ns.reserve(size_t(state.max_iterations));
    int64_t i = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        call(i++);
        ns.push_back(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count());
    }
    std::sort(ns.begin(), ns.end());
    auto at = [&](double q) {
        return double(ns[std::min(ns.size() - 1, size_t(q * double(ns.size())))]);
    };
    state.counters["median_ns"] = at(0.5);
    state.counters["p999_ns"] = at(0.999);
    state.counters["max_ns"] = double(ns.back());
}

// Sustain through every one of its values, a different one each call.
void set_sustain(AEffect* fx, int64_t i) {
    fx->setParameter(fx, 1, float(i % 100) / 99.0f);
}

// The floor: an empty call timed the same way (the clock, and what the
// machine itself interrupts).
void NothingTimedAlike(benchmark::State& state) {
    volatile int64_t sink = 0;
    per_call(state, [&](int64_t i) { sink = i; });
}
BENCHMARK(NothingTimedAlike)->Iterations(200000)->UseRealTime();

void SetParameterAlone(benchmark::State& state) {
    Plugin p;
    per_call(state, [&](int64_t i) { set_sustain(p.fx, i); });
}
BENCHMARK(SetParameterAlone)->Iterations(200000)->UseRealTime();

void SetParameterWhileTheEditorPaints(benchmark::State& state) {
    Plugin p;
    QZ_Win* win = p.editor->window();
    std::atomic<bool> done{false};
    std::atomic<int64_t> paints{0};
    std::thread painter([&] {
        while (!done.load(std::memory_order_relaxed)) {
            win->invalidate({0, 0, win->width, win->height});
            ++paints;
        }
    });
    while (paints.load() == 0)
        std::this_thread::yield();
    per_call(state, [&](int64_t i) { set_sustain(p.fx, i); });
    done = true;
    painter.join();
    state.counters["paints"] = double(paints.load());
}
BENCHMARK(SetParameterWhileTheEditorPaints)->Iterations(200000)->UseRealTime();

} // namespace
