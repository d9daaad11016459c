// The blend, the inner loop of every paint, over one 64 × 64 cell of the
// window; and drawing one frame of the knob strip from the embedded artwork.
// Reported as pixels per second ("items_per_second").
#include "Pic/Base.h"
#include "QZ_cfuncs.h"
#include "Vid.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

namespace {

void fill(QZ_Pic_Base<QZ_Pix_A32>& p, uint32_t seed) {
    std::mt19937 g(seed);
    for (int32_t i = 0; i < p.width * p.height; ++i) {
        uint32_t w = g();
        std::memcpy(&p.pixels[i], &w, 4);
    }
}

// Arguments: the source's size, and where in it the rectangle starts. A
// 63 × 63 source from (40, 40) is the background's case: the image repeats
// within the cell.
void Blend64x64Cell(benchmark::State& state) {
    const auto size = int32_t(state.range(0)), at = int32_t(state.range(1));
    QZ_Pic_Base<QZ_Pix_A32> src, dst;
    src.resize(size, size);
    dst.resize(64, 64);
    fill(src, 1);
    fill(dst, 2);
    for (auto _ : state) {
        blend(src, dst, 0, 0, {at, at, at + 64, at + 64});
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 64 * 64);
}
BENCHMARK(Blend64x64Cell)->Args({64, 0})->Args({63, 40});

void DrawFrameKnob(benchmark::State& state) {
    QZ_Vid knob;
    if (!knob.map(QZ_resource("tune"))) {
        state.SkipWithError("no knob strip");
        return;
    }
    QZ_Pic_Base<QZ_Pix_A32> dst;
    dst.resize(64, 64);
    fill(dst, 3);
    int32_t f = 0;
    for (auto _ : state) {
        knob.draw_frame(f, dst, 16, 16, {0, 0, knob.width, knob.height});
        f = f == knob.frames - 1 ? 0 : f + 1;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * knob.width * knob.height);
}
BENCHMARK(DrawFrameKnob);

} // namespace
