#pragma once
// Counts the locks and allocations a piece of code makes on the calling
// thread, by standing in for the C library's mutex and memory functions (the
// C++ library's operator new calls malloc). Natively, and not under a
// sanitizer, whose own interceptors these would replace
// (VR_SANITIZER_HEAP, QZ_TestSupport.h).
#include "QZ_TestSupport.h"

#ifndef VR_SANITIZER_HEAP
#define VR_COUNTS_LOCKS 1

namespace qz::test {

struct Counted {
    int locks, allocations;
};

void count_start();
Counted count_stop();

// What f() locks and allocates on this thread.
template <class F> Counted counted(F f) {
    count_start();
    f();
    return count_stop();
}

} // namespace qz::test

#endif
