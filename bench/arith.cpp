// The arithmetic blocks through a soundpipe pass of one block over 512 samples:
// nanoseconds per sample ("ns/sample", printed with an "s": it is an inverted
// rate) and the multiple of real time at 44.1 kHz ("xRT", printed per second),
// both from CPU time.
#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t block_length = 512;

// Command texts must be writable and outlive the objects they create.
char* text(const std::string& s) {
    static std::vector<std::unique_ptr<char[]>> keep;
    keep.push_back(std::make_unique<char[]>(s.size() + 1));
    s.copy(keep.back().get(), s.size());
    keep.back()[s.size()] = 0;
    return keep.back().get();
}

void fill(QZ_Buffer* b, uint32_t seed) {
    std::mt19937 g(seed);
    for (int32_t k = 0; k < block_length; ++k) {
        uint32_t r = g();
        b->data[k] = r % 8 == 0 ? INT32_MIN : int32_t(r) >> (r % 13); // loud, quiet and extremes
    }
}

// A soundpipe with three buffers and one block made by command; the command
// names its buffers with %o in the order: first input, second input, output.
void Block(benchmark::State& state, const char* command, bool two_inputs) {
    QZ_Soundpipe* pipe = nullptr;
    QZ_Buffer *a = nullptr, *b = nullptr, *o = nullptr;
    QZ_Effect* e = nullptr;
    QZ_command(text("QZ_Soundpipe -bl %i"), &pipe, block_length);
    QZ_command(text("QZ_Buffer"), &a);
    QZ_command(text("QZ_Buffer"), &b);
    QZ_command(text("QZ_Buffer"), &o);
    if (two_inputs) QZ_command(text(command), &e, a, b, o);
    else QZ_command(text(command), &e, a, o);
    if (!e) {
        state.SkipWithError("the block was not created");
        return;
    }
    fill(a, 1);
    fill(b, 2);
    for (auto _ : state) {
        pipe->process();
        benchmark::ClobberMemory();
    }
    double samples = double(state.iterations()) * block_length;
    state.counters["ns/sample"] =
        benchmark::Counter(samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["xRT"] = benchmark::Counter(samples / 44100.0, benchmark::Counter::kIsRate);
    for (QZ_Object* x : {static_cast<QZ_Object*>(e), static_cast<QZ_Object*>(o),
                         static_cast<QZ_Object*>(b), static_cast<QZ_Object*>(a)})
        QZ_command(text("%o -delete"), x);
    QZ_command(text("%o -e % -delete"), pipe);
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
