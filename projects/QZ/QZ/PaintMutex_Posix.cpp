#include "Win.h"

#include <ctime>
#include <new>
#include <pthread.h>

namespace qz {

// Recursive, as a Windows mutex is for the thread that holds it. Plain
// pthreads rather than std::recursive_timed_mutex, whose steady-clock wait
// ThreadSanitizer does not see (it would report every unlock as unmatched).
PaintMutex::PaintMutex() : handle_(nullptr) {
    auto* m = new (std::nothrow) pthread_mutex_t;
    pthread_mutexattr_t a;
    if (m && pthread_mutexattr_init(&a) == 0) {
        if (pthread_mutexattr_settype(&a, PTHREAD_MUTEX_RECURSIVE) == 0 &&
            pthread_mutex_init(m, &a) == 0) {
            handle_ = m;
            m = nullptr;
        }
        pthread_mutexattr_destroy(&a);
    }
    delete m;
}
PaintMutex::~PaintMutex() {
    if (auto* m = static_cast<pthread_mutex_t*>(handle_)) {
        pthread_mutex_destroy(m);
        delete m;
    }
}
bool PaintMutex::lock(uint32_t milliseconds) {
    auto* m = static_cast<pthread_mutex_t*>(handle_);
    if (!m) return true; // no mutex could be made: paint unguarded rather than never
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += time_t(milliseconds / 1000);
    until.tv_nsec += long(milliseconds % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
        until.tv_sec += 1;
        until.tv_nsec -= 1000000000L;
    }
    return pthread_mutex_timedlock(m, &until) == 0;
}
void PaintMutex::unlock() {
    if (handle_) pthread_mutex_unlock(static_cast<pthread_mutex_t*>(handle_));
}

} // namespace qz
