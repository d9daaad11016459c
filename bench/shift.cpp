// The pitch shifters per sample at a block length of 512.
#include "QZ_BenchSupport.h"

namespace {

using qz::bench::Bench;

// A fifth up (s = -5461, ratio 4/3) at 44.1 kHz.
void Shift(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Shift -i %o -o %o -clock 44100 -s -5461", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Shift);

void Nshift(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Nshift -i %o -o %o -clock 44100 -s -5461", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Nshift);

} // namespace
