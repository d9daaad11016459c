#pragma once
// The framework window on Win32: a child window inside a window someone else
// owns (the host's editor window), whose window procedure turns messages into
// paints and the platform-free mouse calls of QZ_Win.
#include "QZ_Chain.h"
#include "Win.h"

#include <windows.h>

#include <atomic>

class QZ_Win_Win32 : public QZ_Win {
public:
    HWND parent = nullptr;     // given to hwnd, or none
    HWND child = nullptr;      // our window inside it
    bool leavePending = false; // a WM_MOUSELEAVE has been asked for and has not come
    QZ_Chain_Item windowsItem; // membership in qz::windows()

    QZ_EXPORT QZ_Win_Win32(int32_t width, int32_t height);
    QZ_EXPORT ~QZ_Win_Win32() override; // detaches first

    // Attaches to a parent window (a new child window, and the memory device
    // context the back buffer is copied out of) or, with null, detaches.
    // Returns the parent now in use.
    QZ_EXPORT HWND hwnd(HWND parent);

    // Paints r at once into the child window; nowhere without one.
    QZ_EXPORT void invalidate(const QZ_Rect& r) override;
    // Marks r invalid in the child window: its thread paints it on WM_PAINT.
    void request_repaint(const QZ_Rect& r) override;

    // "QZFRAMEx" and the module instance in eight upper-case hex digits:
    // the process-wide window class, registered on first use.
    static const char* class_name();

    static LRESULT CALLBACK window_proc(HWND h, UINT message, WPARAM wp, LPARAM lp);

    // The child window's timer, which refreshes it (QZ_Win::refresh) about
    // sixty times a second.
    static constexpr UINT_PTR REFRESH_TIMER = 1;
    static constexpr UINT REFRESH_MS = 16;

protected:
    void copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) override;

private:
    // The child window as other threads see it: a stale handle only makes
    // InvalidateRect fail.
    std::atomic<HWND> repaintTarget_{nullptr};
    HGDIOBJ backDefault_ = nullptr; // what the memory DC held before the back buffer
    void release_child();           // forgets the child window and deletes the memory DC
    LRESULT message(HWND h, UINT message, WPARAM wp, LPARAM lp);
};

namespace qz {
// Every framework window on Win32, in order of construction. Nothing walks it.
QZ_Chain& windows();
} // namespace qz
