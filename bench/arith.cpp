// The arithmetic blocks through a soundpipe pass of one block over 512 samples.
#include "QZ_BenchSupport.h"

#include <cstdint>
#include <random>

namespace {

using qz::bench::Bench;

// Loud, quiet and extreme samples.
void fill(QZ_Buffer* b, int32_t n, uint32_t seed) {
    std::mt19937 g(seed);
    for (int32_t k = 0; k < n; ++k) {
        uint32_t r = g();
        b->data[k] = r % 8 == 0 ? INT32_MIN : int32_t(r) >> (r % 13);
    }
}

// The command names its buffers with %o: first input, (second input,) output.
void Block(benchmark::State& state, const char* command, bool two_inputs) {
    Bench b;
    QZ_Buffer* x = b.buffer();
    QZ_Buffer* y = b.buffer();
    QZ_Buffer* o = b.buffer();
    fill(x, b.n, 1);
    fill(y, b.n, 2);
    QZ_Effect* e = two_inputs ? b.block(command, x, y, o) : b.block(command, x, o);
    if (!e) {
        state.SkipWithError("the block was not created");
        return;
    }
    b.run(state);
}

BENCHMARK_CAPTURE(Block, Copy, "QZ_Effect_Copy -i %o -o %o", false);
BENCHMARK_CAPTURE(Block, Oper_add, "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper add", true);
BENCHMARK_CAPTURE(Block, Oper_sub, "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper sub", true);
BENCHMARK_CAPTURE(Block, Oper_mul, "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper mul", true);
BENCHMARK_CAPTURE(Block, Oper_div, "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper div", true);
BENCHMARK_CAPTURE(Block, Koef_add, "QZ_Effect_Koef -i %o -o %o -oper add -k 1", false);
BENCHMARK_CAPTURE(Block, Koef_sub, "QZ_Effect_Koef -i %o -o %o -oper sub -k 1", false);
BENCHMARK_CAPTURE(Block, Koef_mul, "QZ_Effect_Koef -i %o -o %o -oper mul -k 1", false);
BENCHMARK_CAPTURE(Block, Koef_div, "QZ_Effect_Koef -i %o -o %o -oper div -k 1", false);

} // namespace
