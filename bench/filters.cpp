// The basic filters, the amplitude detector and the chain itself, per sample
// at a block length of 512.
#include "QZ_BenchSupport.h"
#include "QZ_Effect_Hipass.h"

namespace {

using qz::bench::Bench;

void Zero(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Zero -o %o", b.buffer());
    b.run(state);
}
BENCHMARK(Zero);

void Hipass(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Hipass -i %o -o %o -clock 44100 -f 200", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Hipass);

void Lopass(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Lopass -i %o -o %o -clock 44100 -f 200", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Lopass);

void Bapass(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Bapass -i %o -o %o -clock 44100 -f 1000 -q .5", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Bapass);

void Ampdet(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Ampdet -i %o -o %o -clock 44100 -f1 200 -f2 1", b.buffer(1), b.buffer(2));
    b.run(state);
}
BENCHMARK(Ampdet);

void AmpdetWithRectified(benchmark::State& state) {
    Bench b;
    b.block("QZ_Effect_Ampdet -i %o -o %o -a %o -clock 44100 -f1 200 -f2 1", b.buffer(1),
            b.buffer(2), b.buffer(3));
    b.run(state);
}
BENCHMARK(AmpdetWithRectified);

// The chain's own cost: one pass over a one-block chain whose block has
// nothing to do (no output buffer), in nanoseconds per pass.
void ChainPassOverhead(benchmark::State& state) {
    Bench b;
    b.buffer();
    b.block("QZ_Effect_Zero");
    for (auto _ : state) {
        b.pipe->process();
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pass"] =
        benchmark::Counter(double(state.iterations()) * 1e-9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(ChainPassOverhead);

// The high-pass kernel called directly, to set against its pass through the chain.
void HipassKernelAlone(benchmark::State& state) {
    std::vector<int32_t> in(512), out(512);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = int32_t(i * 2654435761u) >> 3;
    int32_t y = 0;
    for (auto _ : state) {
        y = QZ_Effect_Hipass::kernel(in.data(), out.data(), 512, 118995045u, y);
        benchmark::DoNotOptimize(out.data());
    }
    Bench::report(state, 512);
}
BENCHMARK(HipassKernelAlone);

} // namespace
