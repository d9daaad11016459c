// Distortion and delay line through a soundpipe pass of 512 samples:
// ns per sample and times real time at 44.1 kHz. Both are rates of CPU time to
// the library, so it prints them with a unit of its own: "ns_per_sample=1.25s"
// is 1.25 ns per sample, "x_realtime=18.1k/s" is 18100 times real time.
#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t BLOCK = 512;

char* text(const std::string& s) {
    static std::vector<std::vector<char>> keep; // objects refer to their command text
    keep.emplace_back(s.begin(), s.end());
    keep.back().push_back('\0');
    return keep.back().data();
}

// A soundpipe with an input and an output buffer and one block made by command.
struct Rig {
    QZ_Soundpipe* pipe = nullptr;
    QZ_Buffer* in = nullptr;
    QZ_Buffer* out = nullptr;
    QZ_Effect* block = nullptr;

    explicit Rig(const std::string& command, bool sine = false) {
        QZ_command(text("QZ_Soundpipe -bl %i"), &pipe, BLOCK);
        QZ_command(text("QZ_Buffer"), &in);
        QZ_command(text("QZ_Buffer"), &out);
        QZ_command(text(command), &block, in, out);
        QZ_command(text("QZ_Effect %o -clock 44100"), block);
        // full-scale noise: most samples land in the knee or beyond, on either
        // side at random; or a full-scale 440 Hz sine, clipped on its crests
        std::mt19937 g(7);
        for (int32_t j = 0; j < BLOCK; ++j)
            in->data[j] =
                sine ? int32_t(2147483647.0 * std::sin(j * 2 * 3.141592653589793 * 440 / 44100))
                     : int32_t(g());
    }
    ~Rig() {
        QZ_command(text("%o -delete"), block);
        QZ_command(text("%o -delete"), out);
        QZ_command(text("%o -delete"), in);
        QZ_command(text("%o -e % -delete"), pipe);
    }
};

void report(benchmark::State& state) {
    double samples = double(state.iterations()) * BLOCK;
    state.SetItemsProcessed(int64_t(samples));
    state.counters["ns_per_sample"] = benchmark::Counter(
        samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] =
        benchmark::Counter(samples / 44100.0, benchmark::Counter::kIsRate);
}

void run(benchmark::State& state, const std::string& command, bool sine = false) {
    Rig rig(command, sine);
    for (auto _ : state) {
        rig.pipe->process();
        benchmark::DoNotOptimize(rig.out->data[0]);
    }
    report(state);
}

// The sustainer's limiter: bias rate 0, nearly hard.
void DistRateZero(benchmark::State& state) {
    run(state, "QZ_Effect_Dist -k 0 -s .01 -d .25 -i %o -o %o");
}
BENCHMARK(DistRateZero);

// Default level and softness: a wide knee.
void DistRateZeroSoft(benchmark::State& state) {
    run(state, "QZ_Effect_Dist -k 0 -i %o -o %o");
}
BENCHMARK(DistRateZeroSoft);

// A moving bias: every sample waits for the one before.
void DistRateNonZero(benchmark::State& state) {
    run(state, "QZ_Effect_Dist -k .001 -s .01 -d .25 -i %o -o %o");
}
BENCHMARK(DistRateNonZero);

void DistRateNonZeroSine(benchmark::State& state) {
    run(state, "QZ_Effect_Dist -k .001 -s .01 -d .25 -i %o -o %o", true);
}
BENCHMARK(DistRateNonZeroSine);

// The sustainer's delay line: one group, one tap of 0.01 s.
void DelineOneTap(benchmark::State& state) {
    run(state, "QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt .01");
}
BENCHMARK(DelineOneTap);

} // namespace
