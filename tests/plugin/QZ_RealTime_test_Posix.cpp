// What a host may call on its audio thread takes no lock and allocates
// nothing: counted here by standing in for the C library's mutex and memory
// functions (the C++ library's operator new calls malloc) on the calling
// thread. Not under a sanitizer, whose own interceptors these would replace.
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#ifndef VR_SANITIZER_HEAP

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <vector>

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

namespace {

using qz::test::Host;

struct Counted {
    int locks, allocations;
};
template <class F> Counted counted(F f) {
    locks = allocations = 0;
    armed = true;
    f();
    armed = false;
    return {locks, allocations};
}

TEST(RealTime, HostCallsOfTheAudioThreadNeitherLockNorAllocate) {
    Host h;
    AEffect* fx = h.fx;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    // The editor open beside it, as in a session.
    ASSERT_TRUE(h.object()->editorObject()->open(nullptr));
    // The counters themselves see what they should.
    Counted probe = counted([] {
        void* p = std::malloc(16);
        std::free(p);
        ::operator delete(::operator new(16)); // a call, not an expression the compiler may drop
        pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
        pthread_mutex_lock(&m);
        pthread_mutex_unlock(&m);
    });
    EXPECT_GE(probe.allocations, 2);
    EXPECT_EQ(probe.locks, 1);

    std::vector<float> in(1300, 0.25f), out0(1300), out1(1300);
    float* inputs[1] = {in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    char text[64];
    void* chunk = nullptr;
    const Counted c = counted([&] {
        for (int n = 0; n < 50; ++n) {
            fx->processReplacing(fx, inputs, outputs, 1300);
            for (int p = 0; p < 4; ++p) {
                fx->setParameter(fx, p, float((n * 7 + p) % 10) / 9.0f);
                volatile float x = fx->getParameter(fx, p);
                (void)x;
                for (int32_t op : {effGetParamDisplay, effGetParamLabel, effGetParamName})
                    fx->dispatcher(fx, op, p, 0, text, 0.0f);
            }
            fx->dispatcher(fx, effGetChunk, 0, 0, &chunk, 0.0f);
            fx->dispatcher(fx, effSetChunk, 0, 4, text, 0.0f);
        }
    });
    EXPECT_EQ(c.locks, 0);
    EXPECT_EQ(c.allocations, 0);
    h.object()->editorObject()->close();
}

} // namespace

#endif
