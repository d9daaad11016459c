#pragma once
// One block in a soundpipe of 512-sample buffers, built by command, for
// measuring a block's pass per sample.
#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace qz::bench {

// Nanoseconds per sample and the multiple of real time at 44.1 kHz, both from
// CPU time. The library prints them as rates with units of its own:
// "ns_per_sample=1.25s" is 1.25 ns per sample, "x_realtime=18.1k/s" is 18100
// times real time.
inline void per_sample(benchmark::State& state, double samples_per_iteration) {
    double samples = double(state.iterations()) * samples_per_iteration;
    state.SetItemsProcessed(int64_t(samples));
    state.counters["ns_per_sample"] = benchmark::Counter(
        samples * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] =
        benchmark::Counter(samples / 44100.0, benchmark::Counter::kIsRate);
}

inline char* text(const std::string& s) {
    static std::deque<std::string> keep;
    keep.push_back(s);
    return keep.back().data();
}

class Bench {
public:
    explicit Bench(int32_t n = 512) : n(n) { QZ_command(text("QZ_Soundpipe -bl %i"), &pipe, n); }
    ~Bench() {
        for (auto it = objects.rbegin(); it != objects.rend(); ++it)
            QZ_command(text("%o -delete"), *it);
        QZ_command(text("%o -e % -delete"), pipe);
    }
    // A buffer filled with noise at about -12 dB of the 2^30 full scale.
    QZ_Buffer* buffer(uint32_t seed = 1) {
        QZ_Buffer* b = nullptr;
        QZ_command(text("QZ_Buffer"), &b);
        std::mt19937 g(seed);
        for (int32_t i = 0; i < n; ++i)
            b->data[i] = int32_t(g()) >> 3;
        objects.push_back(b);
        return b;
    }
    template <class... A> QZ_Effect* block(const std::string& command, A... args) {
        QZ_Effect* e = nullptr;
        QZ_command(text(command), &e, args...);
        objects.push_back(e);
        return e;
    }
    // Runs passes; reports nanoseconds per sample and times real time at 44.1 kHz.
    void run(benchmark::State& state) {
        for (auto _ : state) {
            pipe->process();
            benchmark::ClobberMemory();
        }
        report(state, n);
    }
    static void report(benchmark::State& state, int32_t n) { per_sample(state, n); }

    int32_t n;
    QZ_Soundpipe* pipe = nullptr;
    std::vector<QZ_Object*> objects;
};

} // namespace qz::bench
