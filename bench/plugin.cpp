// The whole plug-in's replacing process, as a host calls it: mono input,
// two outputs, 44.1 kHz, at several host block sizes; the fused loop and the
// chain's block-by-block pass in the same run, on a decaying tone, and the
// fused loop on a note held loud. A peer plug-in for scale goes
// through the same host loop: the VST 2.x library VR_PEER_PLUGIN names, else
// Debian's ZamComp where it is installed; none, no peer rows.
#include "QZ_BenchSupport.h"
#include "QZ_Main_Vst.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case 16:
        return 44100; // audioMasterGetSampleRate
    case 17:
        return 4096; // audioMasterGetBlockSize
    default:
        return 0;
    }
}

// 3 s of the tone at 44.1 kHz, the amplitude a(t) at t seconds; the run
// starts it again when it ends.
template <class A> std::vector<float> three_seconds(A a) {
    std::vector<float> v(size_t(44100) * 3);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = float(a(double(i) / 44100.0) * std::sin(0.0313 * double(i)));
    return v;
}

// A decaying tone struck again every 3 s, so that every block does real work.
const std::vector<float>& tone() {
    static const std::vector<float> v = three_seconds([](double t) { return 0.8 * std::exp(-t); });
    return v;
}

// A note held loud: the clipper's knee bends every sample, where the
// decaying tone spends most of its time within the clamp.
const std::vector<float>& held() {
    static const std::vector<float> v = three_seconds([](double) { return 0.9; });
    return v;
}

const char* peer_path() {
    const char* p = std::getenv("VR_PEER_PLUGIN");
    if (p && *p) return p;
    return access("/usr/lib/vst/ZamComp-vst.so", R_OK) == 0 ? "/usr/lib/vst/ZamComp-vst.so"
                                                            : nullptr;
}

// A plug-in set up as a host sets it up; ours, or the peer from its library.
class Plugin {
public:
    explicit Plugin(bool peer) {
        if (peer) {
            lib = dlopen(peer_path(), RTLD_NOW | RTLD_LOCAL);
            using Entry = AEffect* (*)(audioMasterCallback);
            void* sym = lib ? dlsym(lib, "VSTPluginMain") : nullptr;
            if (lib && !sym) sym = dlsym(lib, "main"); // the older name
            auto entry = reinterpret_cast<Entry>(sym);
            fx = entry ? entry(&host) : nullptr;
        } else {
            fx = VSTPluginMain(&host);
        }
        if (!fx) return;
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        fx->dispatcher(fx, effSetBlockSize, 0, 4096, nullptr, 0.0f);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
        outs.assign(size_t(std::max(fx->numOutputs, 1)), std::vector<float>(4096));
        for (size_t c = 0; c < 8; ++c)
            outputs[c] = outs[c % outs.size()].data();
    }
    ~Plugin() {
        if (!fx) return;
        fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
        // The close reports every widget it has not got; keep that out of the results.
        std::fflush(stdout);
        int saved = dup(1);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        std::fflush(stdout);
        dup2(saved, 1);
        close(null);
        close(saved);
        if (lib) dlclose(lib);
    }
    // Ours: whether passes may take the fused loop.
    void fused(bool on) { static_cast<QZ_Main_Vst*>(fx->object)->app.fused = on; }
    // One call over `frames` of the input from `at`, the mono input on every input.
    void process(const float* in, int32_t frames) {
        // the outputs chosen once: a host does not divide on every call
        float* inputs[8];
        for (float*& i : inputs)
            i = const_cast<float*>(in);
        fx->processReplacing(fx, inputs, outputs, frames);
        benchmark::DoNotOptimize(outs[0].data());
    }

    AEffect* fx = nullptr;

private:
    void* lib = nullptr;
    std::vector<std::vector<float>> outs;
    float* outputs[8] = {};
};

void run(benchmark::State& state, Plugin& p, int32_t frames,
         const std::vector<float>& in = tone()) {
    size_t at = 0;
    for (auto _ : state) {
        if (at + size_t(frames) > in.size()) at = 0;
        p.process(in.data() + at, frames);
        at += size_t(frames);
    }
    qz::bench::per_sample(state, frames);
}

// Ours, at a host block size, fused (1) or block by block (0).
void Replacing(benchmark::State& state) {
    Plugin p(false);
    p.fused(state.range(1) != 0);
    run(state, p, int32_t(state.range(0)));
}
BENCHMARK(Replacing)->ArgsProduct({{64, 512, 4096}, {1, 0}})->ArgNames({"frames", "fused"});

// Ours, fused, on the note held loud.
void ReplacingHeld(benchmark::State& state) {
    Plugin p(false);
    run(state, p, int32_t(state.range(0)), held());
}
BENCHMARK(ReplacingHeld)->Arg(64)->Arg(512)->Arg(4096)->ArgName("frames");

void Peer(benchmark::State& state) {
    Plugin p(true);
    if (!p.fx) {
        state.SkipWithError("the peer plug-in does not load");
        return;
    }
    run(state, p, int32_t(state.range(0)), state.range(1) ? held() : tone());
}
const bool peer_registered = [] {
    if (peer_path())
        benchmark::RegisterBenchmark("Peer", Peer)
            ->ArgsProduct({{64, 512, 4096}, {0, 1}})
            ->ArgNames({"frames", "held"});
    return true;
}();

double thread_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// 60 s of audio in calls of random sizes (1 to 4096 frames, spread evenly over
// their magnitudes): the worst call against its real-time budget (frames /
// 44100 s) by the thread's CPU time. On a shared virtual machine any call may
// lose tens of microseconds to the host, which the guest counts as the
// thread's; so the same calls run on five fresh plug-ins, each call counts
// with its least time, and the worst of those is what the code costs
// (worst_of_budget). The worst of all five runs as measured is beside it.
void WorstCall(benchmark::State& state) {
    const std::vector<float>& in = tone();
    std::vector<int32_t> sizes;
    std::mt19937 g(42);
    for (int64_t done = 0; done < 44100 * 60;) {
        sizes.push_back(int32_t(1 + g() % (2u << (g() % 12))));
        done += sizes.back();
    }
    std::vector<double> least(sizes.size(), 1e9);
    double raw = 0;
    for (auto _ : state) {
        for (int run = 0; run < 5; ++run) {
            Plugin p(false);
            p.fused(state.range(0) != 0);
            size_t at = 0;
            for (size_t i = 0; i < sizes.size(); ++i) {
                const int32_t frames = sizes[i];
                if (at + size_t(frames) > in.size()) at = 0;
                double c0 = thread_seconds();
                p.process(in.data() + at, frames);
                double t = (thread_seconds() - c0) / (frames / 44100.0);
                least[i] = std::min(least[i], t);
                raw = std::max(raw, t);
                at += size_t(frames);
            }
        }
    }
    size_t worst = size_t(std::max_element(least.begin(), least.end()) - least.begin());
    state.counters["calls"] = double(sizes.size());
    state.counters["worst_of_budget"] = least[worst];
    state.counters["worst_frames"] = sizes[worst];
    state.counters["worst_us"] = least[worst] * sizes[worst] / 44100.0 * 1e6;
    state.counters["raw_worst_of_budget"] = raw;
}
BENCHMARK(WorstCall)->Arg(1)->Arg(0)->ArgName("fused")->Iterations(1)->Unit(
    benchmark::kMillisecond);

} // namespace
