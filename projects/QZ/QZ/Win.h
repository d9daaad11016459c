#pragma once
// The framework window, platform-free: a fixed size, its widgets, the grid of
// 64 × 64 cells that records which widgets touch which part of it, hover and
// capture, and the two small pictures a paint composes in. The platform
// classes put it on a screen; QZ_Win_Surface composes into memory.
#include "Pic/Base.h"
#include "QZ_Chain.h"
#include "QZ_Pic.h"

#include <atomic>
#include <cstdint>

class QZ_Wid;

namespace qz {

// The paint mutex: held for a whole paint, waited for at most 1000 ms, and
// taken again by the thread that holds it (as a Windows mutex is).
class PaintMutex {
public:
    PaintMutex();
    ~PaintMutex();
    PaintMutex(const PaintMutex&) = delete;
    PaintMutex& operator=(const PaintMutex&) = delete;
    bool lock(uint32_t milliseconds); // false when not obtained in time
    void unlock();
    void* handle() const { return handle_; }

private:
    void* handle_;
};

// Holds the paint mutex while it lives, waiting as long as it takes: for
// changes to what a paint on another thread may read. Without a mutex (null)
// it holds nothing.
class PaintLock {
public:
    explicit PaintLock(PaintMutex& m) : PaintLock(&m) {}
    explicit PaintLock(PaintMutex* m) : m_(m) {
        if (m_)
            while (!m_->lock(1000)) {
            }
    }
    ~PaintLock() {
        if (m_) m_->unlock();
    }
    PaintLock(const PaintLock&) = delete;
    PaintLock& operator=(const PaintLock&) = delete;

private:
    PaintMutex* m_;
};

} // namespace qz

class QZ_Win {
public:
    static constexpr int32_t CELL = 64;
    static constexpr double HOVER_TINT = 1.5;
    static constexpr double DISABLED_TINT = 0.4;

    int32_t width, height;
    QZ_Chain widgets;           // in order of attachment
    QZ_Wid* captured = nullptr; // got the press; gets the drags until release
    QZ_Wid* hovered = nullptr;  // the knob or button under the pointer
    QZ_Chain* cells;            // rows × columns, row-major
    int32_t columns, rows, cell = CELL;
    QZ_Pic<QZ_Pix_A32> back;    // one cell composed here, then copied out
    QZ_Pic<QZ_Pix_A32> scratch; // a hovered or disabled widget before its tint
    qz::PaintMutex paintMutex;
    uint64_t attachments = 0; // stamps widgets in order of attachment

    QZ_EXPORT QZ_Win(int32_t width, int32_t height);
    QZ_EXPORT virtual ~QZ_Win();
    QZ_Win(const QZ_Win&) = delete;
    QZ_Win& operator=(const QZ_Win&) = delete;

    // Repaint the rectangle now. Here: nothing (no screen).
    QZ_EXPORT virtual void invalidate(const QZ_Rect& r);

    // Asks for the rectangle to be repainted later, by the thread that paints;
    // returns at once and never takes the paint mutex (the audio side calls
    // it). Here: kept, grown to hold every request, until paint_pending.
    virtual void request_repaint(const QZ_Rect& r);
    // Repaints, through invalidate, what request_repaint kept; false if
    // nothing was asked for.
    bool paint_pending();

    // Composes rect from the widgets, cell by cell (bottom row first, columns
    // left to right, widgets in attachment order), handing each composed cell
    // to copy_cell. Dropped when the paint mutex is not had within 1000 ms.
    QZ_EXPORT void paint(void* target, const QZ_Rect& rect);

    // What the window's owner does at every refresh: brings the widgets up
    // to date with what other threads published (a parameter a host set, a
    // meter's level). It runs on the window's own thread only, under the
    // paint mutex: at every refresh and after every press and drag.
    using Step = void (*)(void* data);
    void follow(Step step, void* data); // null: nothing
    // One refresh: the owner's step, then what was asked to be repainted.
    // The window's own thread runs it every few milliseconds (Win32: a
    // timer of the child window's own; X11: the window's thread); an
    // off-screen window is refreshed by its owner. False when the paint
    // mutex was not had within 1000 ms.
    bool refresh();

    // The topmost widget at (x, y) that accepts the point, or null.
    QZ_EXPORT QZ_Wid* widget_at(int32_t x, int32_t y) const;

    // The mouse, as the platform reports it (window coordinates); each event
    // under the paint mutex.
    void mouse_move(int32_t x, int32_t y);
    void button_down(int32_t x, int32_t y);
    void button_up();
    void mouse_leave(); // ends a press like a release; the hover stays

    QZ_Chain& cell_at(int32_t column, int32_t row) const { return cells[row * columns + column]; }

protected:
    // Puts clip (window coordinates) of the composed cell, whose pixels start
    // in the back buffer at (sx, sy), onto target. Here: nowhere.
    virtual void copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy);

private:
    // Requested and not yet painted: left, top, right, bottom in 16 bits each;
    // all zero when there is none.
    std::atomic<uint64_t> pending_{0};
    Step step_ = nullptr;
    void* stepData_ = nullptr;

    void step() {
        if (step_) step_(stepData_);
    }

    void compose_cell(int32_t column, int32_t row, const QZ_Rect& rect);
    void draw_tinted(QZ_Wid* w, int32_t bx, int32_t by, const QZ_Rect& src, double k);
};

// A window whose screen is a picture in memory: invalidate composes into it
// exactly as a paint onto a screen would. The native stand-in for a window;
// tests read it back, and tools save it.
class QZ_Win_Surface : public QZ_Win {
public:
    QZ_Pic_Base<QZ_Pix_A32> surface; // width × height

    QZ_Win_Surface(int32_t width, int32_t height);
    void invalidate(const QZ_Rect& r) override { paint(&surface, r); }

protected:
    void copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) override;
};
