#include "QZ_Counting.h"

#ifdef VR_COUNTS_LOCKS

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>

namespace {

// Counting is on for the calling thread only, while `armed`.
thread_local bool armed = false;
thread_local int locks = 0, allocations = 0;

// The C library's own function, found at its first use (libc's calls within
// itself never come here, so dlsym's own locking does not either).
template <class F> F next(std::atomic<F>& cached, const char* name) {
    F f = cached.load(std::memory_order_relaxed);
    if (!f) {
        f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
        cached.store(f, std::memory_order_relaxed);
    }
    return f;
}
using Lock = int (*)(pthread_mutex_t*);
using TimedLock = int (*)(pthread_mutex_t*, const timespec*);
std::atomic<Lock> realLock{nullptr}, realTryLock{nullptr};
std::atomic<TimedLock> realTimedLock{nullptr};

void count_lock() {
    if (armed) ++locks;
}
void count_allocation() {
    if (armed) ++allocations;
}

} // namespace

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* m) {
    count_lock();
    return next(realLock, "pthread_mutex_lock")(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    count_lock();
    return next(realTryLock, "pthread_mutex_trylock")(m);
}
int pthread_mutex_timedlock(pthread_mutex_t* m, const timespec* t) {
    count_lock();
    return next(realTimedLock, "pthread_mutex_timedlock")(m, t);
}
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* malloc(size_t n) {
    count_allocation();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
    count_allocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
    count_allocation();
    return __libc_realloc(p, n);
}
}

void qz::test::count_start() {
    locks = allocations = 0;
    armed = true;
}

qz::test::Counted qz::test::count_stop() {
    armed = false;
    return {locks, allocations};
}

#endif
