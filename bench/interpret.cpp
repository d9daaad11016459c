// Interpreter throughput: nanoseconds per command.
#include "QZ_Buffer.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// A creation: the soundpipe's create, one option, and the deletion it needs
// to keep memory flat (two commands per iteration, reported per pair).
void CreateAndDelete(benchmark::State& state) {
    char create[] = "QZ_Soundpipe -bl 512";
    char del[] = "%o -delete";
    for (auto _ : state) {
        QZ_Soundpipe* s = nullptr;
        QZ_command(create, &s);
        QZ_command(del, s);
        benchmark::DoNotOptimize(s);
    }
    QZ_Soundpipe::current = nullptr;
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(CreateAndDelete);

void SetOneOption(benchmark::State& state) {
    QZ_Buffer* b = nullptr;
    char create[] = "QZ_Buffer";
    QZ_command(create, &b);
    char text[] = "QZ_Buffer %o -limit %i";
    int32_t v = 0;
    for (auto _ : state)
        QZ_command(text, b, ++v);
    char del[] = "%o -delete";
    QZ_command(del, b);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(SetOneOption);

void QueryAsText(benchmark::State& state) {
    QZ_Buffer* b = nullptr;
    char create[] = "QZ_Buffer";
    QZ_command(create, &b);
    char text[] = "%o -limit";
    char result[4096];
    for (auto _ : state) {
        int capacity = sizeof result;
        QZ_command_text(text, result, &capacity, b);
        benchmark::DoNotOptimize(result);
    }
    char del[] = "%o -delete";
    QZ_command(del, b);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(QueryAsText);

} // namespace
