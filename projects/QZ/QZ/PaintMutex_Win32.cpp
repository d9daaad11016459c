#include "Win.h"

#include <windows.h>

namespace qz {

// Unnamed, not initially owned.
PaintMutex::PaintMutex() : handle_(CreateMutexA(nullptr, FALSE, nullptr)) {}
PaintMutex::~PaintMutex() {
    if (handle_) CloseHandle(handle_);
}
bool PaintMutex::lock(uint32_t milliseconds) {
    if (!handle_) return true; // no mutex could be made: paint unguarded rather than never
    DWORD r = WaitForSingleObject(handle_, milliseconds);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}
void PaintMutex::unlock() {
    if (handle_) ReleaseMutex(handle_);
}

} // namespace qz
