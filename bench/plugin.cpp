// The whole plug-in's replacing process, as a host calls it: mono input,
// two outputs, 44.1 kHz, at several host block sizes.
#include "QZ_BenchSupport.h"
#include "QZ_Main_Vst.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <vector>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

void Replacing(benchmark::State& state) {
    const int32_t frames = int32_t(state.range(0));
    AEffect* fx = VSTPluginMain(&host);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    fx->dispatcher(fx, effSetBlockSize, 0, frames, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    // A decaying tone, so that every block does real work.
    std::vector<float> in(size_t(frames) * 64);
    std::vector<float> out0(static_cast<size_t>(frames)), out1(static_cast<size_t>(frames));
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = float(0.8 * std::exp(-double(i) / 44100.0) * std::sin(0.0313 * double(i)));
    size_t at = 0;
    for (auto _ : state) {
        float* inputs[1] = {in.data() + at};
        float* outputs[2] = {out0.data(), out1.data()};
        fx->processReplacing(fx, inputs, outputs, frames);
        at = (at + size_t(frames)) % in.size();
        benchmark::DoNotOptimize(out0.data());
    }
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
    qz::bench::per_sample(state, frames);
}
BENCHMARK(Replacing)->Arg(64)->Arg(512)->Arg(4096);

} // namespace
