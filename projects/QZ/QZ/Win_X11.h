#pragma once
// The framework window in Linux hosts: a child window inside the host's X11
// window, on a connection to the X server of its own (made at the first open
// and kept: X servers take a while to free a closed client's place), with a
// thread of its own while open that reads the window's events, turns them
// into paints and the platform-free mouse calls of QZ_Win, and refreshes the
// window every few milliseconds. Without a parent it is the off-screen surface it
// derives from.
#include "Win.h"

#include <atomic>
#include <cstdint>
#include <thread>

struct xcb_connection_t;

class QZ_Win_X11 : public QZ_Win_Surface {
public:
    QZ_Win_X11(int32_t width, int32_t height);
    ~QZ_Win_X11() override; // takes the window out of its parent first

    // Puts the window into the X11 window `parent` (its id; 0 takes it out).
    // Returns the parent now in use: 0 when none, or when no child window
    // could be made in it (no display, not a window, a pixel format we do
    // not draw).
    uint32_t xwindow(uint32_t parent);
    // Our child window's id, 0 when there is none.
    uint32_t child() const;

    // On the window's own thread it paints at once; other threads only ask
    // that thread to paint (it does within a few milliseconds), since the
    // connection is its alone. Off-screen without a parent.
    void invalidate(const QZ_Rect& r) override;

    // How often the window's thread refreshes the window (QZ_Win::refresh)
    // when no event wakes it.
    static constexpr int POLL_MS = 10;

protected:
    void copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) override;

private:
    struct Screen; // the child window's X side, kept out of this header
    xcb_connection_t* connection_ = nullptr;
    std::atomic<Screen*> screen_{nullptr};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    uint32_t parent_ = 0;

    void run(Screen* s); // the window's thread
    void handle(Screen* s, const void* event);
};

namespace qz::x11 {
// A connection to the display DISPLAY names, or null. An X server busy
// freeing the places of clients that just left refuses new ones for a few
// milliseconds: tried again then, up to `attempts` times 10 ms apart.
xcb_connection_t* connect(int attempts = 5);
// Whether a connection to the X server named by DISPLAY can be made.
bool display_available();
// What our code has made on the X server and not yet freed (or seen go).
int32_t live_windows();
int32_t live_gcs();
} // namespace qz::x11
