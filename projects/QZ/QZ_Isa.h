#pragma once
// The instruction sets sample loops may use beyond the build's baseline (SSE2
// on x86). The processor is asked once; blocks pick their loops by level()
// at every pass, so a test can run the baseline loops on a processor that has
// wider ones. Every level computes the same bits.
#include <atomic>
#include <cstdint>

// A function built for processors with AVX2, called only where level() says
// so. Functions it calls inline take its instruction set.
#if defined(__x86_64__) || defined(__i386__)
#define QZ_WIDE_LOOPS 1
#define QZ_AVX2 [[gnu::target("avx2")]]
#else
#define QZ_WIDE_LOOPS 0
#define QZ_AVX2
#endif

namespace qz::isa {

enum Level : int32_t { BASE, AVX2 };

// The widest level the processor and the system offer; found at the first call.
Level offered();
namespace detail {
// The bound a test set, and the answer offered() found (-1 until asked).
extern std::atomic<int32_t> bound, found;
} // namespace detail

// The level loops run at: offered(), or less while a test holds it lower.
// Inline: passes ask it for every block they run.
inline Level level() {
    const int32_t most = detail::bound.load(std::memory_order_relaxed);
    int32_t have = detail::found.load(std::memory_order_relaxed);
    if (have < 0) have = offered();
    return Level(most < have ? most : have);
}
// Whether loops take their AVX2 versions now.
inline bool wide() {
    return level() >= AVX2;
}
// Holds level() at or below `most` (never above offered()); answers the
// previous bound. For tests.
Level limit(Level most);

} // namespace qz::isa
