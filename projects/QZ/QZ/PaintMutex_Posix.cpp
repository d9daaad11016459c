#include "Win.h"

#include <chrono>
#include <mutex>
#include <new>

namespace qz {

// Recursive, as a Windows mutex is for the thread that holds it.
PaintMutex::PaintMutex() : handle_(new (std::nothrow) std::recursive_timed_mutex) {}
PaintMutex::~PaintMutex() {
    delete static_cast<std::recursive_timed_mutex*>(handle_);
}
bool PaintMutex::lock(uint32_t milliseconds) {
    if (!handle_) return true; // no mutex could be made: paint unguarded rather than never
    return static_cast<std::recursive_timed_mutex*>(handle_)->try_lock_for(
        std::chrono::milliseconds(milliseconds));
}
void PaintMutex::unlock() {
    if (handle_) static_cast<std::recursive_timed_mutex*>(handle_)->unlock();
}

} // namespace qz
