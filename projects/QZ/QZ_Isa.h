#pragma once
// The instruction sets sample loops may use beyond the build's baseline (SSE2
// on x86). The processor is asked once; blocks pick their loops by level()
// at every pass, so a test can run the baseline loops on a processor that has
// wider ones. Every level computes the same bits.
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
// The level loops run at: offered(), or less while a test holds it lower.
Level level();
// Whether loops take their AVX2 versions now.
inline bool wide() {
    return level() >= AVX2;
}
// Holds level() at or below `most` (never above offered()); answers the
// previous bound. For tests.
Level limit(Level most);

} // namespace qz::isa
