#include "QZ_Isa.h"

#include <atomic>

namespace qz::isa {

namespace detail {
std::atomic<int32_t> bound{AVX2};
// -1 until asked. Asked without a lock (the audio thread may be first):
// threads that ask at once find the same answer.
std::atomic<int32_t> found{-1};
} // namespace detail

using detail::bound, detail::found;

namespace {

Level ask() {
#if QZ_WIDE_LOOPS
    // Checks the system saves the wide registers too, not only the processor.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return AVX2;
#endif
    return BASE;
}

// Asked when the library loads, before any pass.
[[maybe_unused]] const bool asked_at_load = offered() >= BASE;

} // namespace

Level offered() {
    int32_t f = found.load(std::memory_order_relaxed);
    if (f < 0) {
        f = ask();
        found.store(f, std::memory_order_relaxed);
    }
    return Level(f);
}

Level limit(Level most) {
    return Level(bound.exchange(most, std::memory_order_relaxed));
}

} // namespace qz::isa
