// Distortion and the delay line through a soundpipe pass of 512 samples.
#include "QZ_BenchSupport.h"

#include <cmath>
#include <cstdint>
#include <random>

namespace {

using qz::bench::Bench;

// Full-scale noise, so that most samples land in the knee or beyond on either
// side at random; or a full-scale 440 Hz sine, clipped on its crests.
void run(benchmark::State& state, const char* command, bool sine = false) {
    Bench b;
    QZ_Buffer* in = b.buffer();
    QZ_Buffer* out = b.buffer();
    std::mt19937 g(7);
    for (int32_t j = 0; j < b.n; ++j)
        in->data[j] =
            sine ? int32_t(2147483647.0 * std::sin(j * 2 * 3.141592653589793 * 440 / 44100))
                 : int32_t(g());
    QZ_Effect* e = b.block(command, in, out);
    QZ_command(qz::bench::text("QZ_Effect %o -clock 44100"), e);
    b.run(state);
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
