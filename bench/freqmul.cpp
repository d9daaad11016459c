// The frequency multipliers, the half-wave blocks and the oversampler, per
// input sample at a block length of 512.
#include "QZ_BenchSupport.h"

#include <cmath>

namespace {

using qz::bench::Bench;

// A voiced signal: a 220 Hz sine at 44.1 kHz, about -12 dB, so that the
// multipliers repeat a period at every crossing as they would on an instrument.
QZ_Buffer* sine(Bench& b) {
    QZ_Buffer* buf = b.buffer();
    for (int32_t i = 0; i < b.n; ++i)
        buf->data[i] = int32_t(std::sin(6.283185307179586 * 220.0 * i / 44100.0) * 2.7e8);
    return buf;
}

// Either multiplier, its factor k the argument.
void multiplier(benchmark::State& state, const char* command) {
    Bench b;
    b.block(command, sine(b), b.buffer(2), int32_t(state.range(0)));
    b.run(state);
}
BENCHMARK_CAPTURE(multiplier, Freqmul, "QZ_Effect_Freqmul -i %o -o %o -clock 44100 -k %i")
    ->Arg(2)
    ->Arg(4);
BENCHMARK_CAPTURE(multiplier, Nefreqmul, "QZ_Effect_Nefreqmul -i %o -o %o -clock 44100 -k %i")
    ->Arg(2)
    ->Arg(4);

void Gtzero(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Gtzero -i %o -o %o", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Gtzero);

void Ltzero(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Ltzero -i %o -o %o -l 1000", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Ltzero);

// 512 input samples to 4096 output samples; per input sample.
void Oversam(benchmark::State& state) {
    Bench b;
    QZ_Buffer* out = nullptr;
    QZ_command(qz::bench::text("QZ_Buffer -l 4096"), &out);
    b.objects.push_back(out);
    b.block("QZ_Effect_Oversam -i %o -o %o", b.buffer(1), out);
    b.run(state);
}
BENCHMARK(Oversam);

} // namespace
