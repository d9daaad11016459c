#include "Win_X11.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::atomic<int32_t> windowsMade{0};
std::atomic<int32_t> gcsMade{0};

// The window whose thread this is, if any: only that thread uses its connection.
thread_local const QZ_Win_X11* ownThread = nullptr;

// A depth we draw into: 24 or 32 bits in 32-bit pixels.
bool drawable_depth(const xcb_setup_t* setup, uint8_t depth) {
    if (depth != 24 && depth != 32) return false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == depth) return f.data->bits_per_pixel == 32;
    return false;
}

} // namespace

struct QZ_Win_X11::Screen {
    xcb_connection_t* c = nullptr; // the window's connection, not closed here
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    uint8_t depth = 24;
    bool msbFirst = false; // the server wants its pixels' bytes the other way round
    // Destroyed by someone else (the host's window went); set on the window's
    // thread, read by child() on the host's.
    std::atomic<bool> gone{false};
    std::vector<uint32_t> staging = std::vector<uint32_t>(size_t(CELL) * CELL);

    ~Screen() {
        if (!c) return;
        if (gc) {
            xcb_free_gc(c, gc);
            --gcsMade;
        }
        if (window && !gone) {
            xcb_destroy_window(c, window);
            --windowsMade;
        }
        xcb_flush(c);
    }
};

QZ_Win_X11::QZ_Win_X11(int32_t w, int32_t h) : QZ_Win_Surface(w, h) {}

QZ_Win_X11::~QZ_Win_X11() {
    xwindow(0);
    if (connection_) xcb_disconnect(connection_);
}

uint32_t QZ_Win_X11::child() const {
    Screen* s = screen_.load();
    return s && !s->gone ? s->window : 0;
}

uint32_t QZ_Win_X11::xwindow(uint32_t parent) {
    if (parent == parent_) return parent_;
    if (Screen* old = screen_.load()) {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        {
            // A paint by another thread may be reading it.
            qz::PaintLock lock(paintMutex);
            screen_.store(nullptr);
        }
        delete old;
    }
    parent_ = 0;
    if (!parent) return 0;

    // A connection the server has closed (it went away) is made anew.
    if (connection_ && xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
    }
    if (!connection_) {
        connection_ = qz::x11::connect();
        if (!connection_) return 0;
    }
    auto* s = new Screen;
    s->c = connection_;
    const xcb_setup_t* setup = xcb_get_setup(s->c);
    s->msbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
    // The child takes the parent's depth and visual; anything but a window
    // of a depth we draw is refused here rather than by an X error later.
    xcb_get_geometry_reply_t* g =
        xcb_get_geometry_reply(s->c, xcb_get_geometry(s->c, parent), nullptr);
    const bool usable = g && drawable_depth(setup, g->depth);
    if (g) s->depth = g->depth;
    std::free(g);
    if (!usable) {
        delete s;
        return 0;
    }
    s->window = xcb_generate_id(s->c);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE,
                               XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                   XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                   XCB_EVENT_MASK_LEAVE_WINDOW | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_generic_error_t* e = xcb_request_check(
        s->c, xcb_create_window_checked(s->c, XCB_COPY_FROM_PARENT, s->window, parent, 0, 0,
                                        uint16_t(width), uint16_t(height), 0,
                                        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                                        XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values));
    if (e) {
        std::free(e);
        s->window = 0;
        delete s;
        return 0;
    }
    ++windowsMade;
    // One size, smallest and largest: hosts that fit the child to a window
    // of theirs (LV2's X11 wrapper reads these hints) keep ours.
    enum : uint32_t { MIN_SIZE = 1 << 4, MAX_SIZE = 1 << 5, BASE_SIZE = 1 << 8 };
    uint32_t hints[18] = {MIN_SIZE | MAX_SIZE | BASE_SIZE};
    hints[5] = hints[7] = hints[15] = uint32_t(width);
    hints[6] = hints[8] = hints[16] = uint32_t(height);
    xcb_change_property(s->c, XCB_PROP_MODE_REPLACE, s->window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    s->gc = xcb_generate_id(s->c);
    const uint32_t noExposures = 0;
    xcb_create_gc(s->c, s->gc, s->window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
    ++gcsMade;
    xcb_map_window(s->c, s->window);
    xcb_flush(s->c);

    screen_.store(s);
    parent_ = parent;
    stop_ = false;
    thread_ = std::thread(&QZ_Win_X11::run, this, s);
    return parent_;
}

void QZ_Win_X11::invalidate(const QZ_Rect& r) {
    if (Screen* s = screen_.load()) {
        if (ownThread == this)
            paint(s, r);
        else
            request_repaint(r);
    } else {
        QZ_Win_Surface::invalidate(r);
    }
}

void QZ_Win_X11::copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) {
    if (target == &surface) return QZ_Win_Surface::copy_cell(target, clip, sx, sy);
    auto* s = static_cast<Screen*>(target);
    if (s->gone) return;
    const int32_t w = clip.right - clip.left, h = clip.bottom - clip.top;
    uint32_t* out = s->staging.data();
    for (int32_t y = 0; y < h; ++y) {
        const QZ_Pix_A32* in = back.row(sy + y) + sx;
        for (int32_t x = 0; x < w; ++x, ++out) {
            // Opaque: in a 32-bit visual the alpha byte is seen.
            uint32_t p =
                uint32_t(in[x].b) | uint32_t(in[x].g) << 8 | uint32_t(in[x].r) << 16 | 0xFF000000u;
            *out = s->msbFirst ? __builtin_bswap32(p) : p;
        }
    }
    xcb_put_image(s->c, XCB_IMAGE_FORMAT_Z_PIXMAP, s->window, s->gc, uint16_t(w), uint16_t(h),
                  int16_t(clip.left), int16_t(clip.top), 0, s->depth, uint32_t(w) * uint32_t(h) * 4,
                  reinterpret_cast<const uint8_t*>(s->staging.data()));
}

void QZ_Win_X11::run(Screen* s) {
    ownThread = this;
    const int fd = xcb_get_file_descriptor(s->c);
    while (!stop_.load()) {
        while (xcb_generic_event_t* e = xcb_poll_for_event(s->c)) {
            handle(s, e);
            std::free(e);
        }
        if (xcb_connection_has_error(s->c)) break; // the server went: nothing more to do
        refresh();
        xcb_flush(s->c);
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, POLL_MS);
    }
    ownThread = nullptr;
}

void QZ_Win_X11::handle(Screen* s, const void* event) {
    // Events still queued for a child window of an earlier open are dropped.
    const auto* e = static_cast<const xcb_generic_event_t*>(event);
    switch (e->response_type & 0x7F) {
    case XCB_EXPOSE: {
        const auto* x = static_cast<const xcb_expose_event_t*>(event);
        if (x->window == s->window) paint(s, {x->x, x->y, x->x + x->width, x->y + x->height});
        break;
    }
    case XCB_MOTION_NOTIFY: {
        const auto* m = static_cast<const xcb_motion_notify_event_t*>(event);
        if (m->event == s->window) mouse_move(m->event_x, m->event_y);
        break;
    }
    case XCB_BUTTON_PRESS: {
        const auto* b = static_cast<const xcb_button_press_event_t*>(event);
        // The left button only, as on Windows; and inside: under our grab a
        // press elsewhere comes to us too.
        if (b->detail != 1 || b->event != s->window) break;
        if (b->event_x < 0 || b->event_y < 0 || b->event_x >= width || b->event_y >= height) break;
        // The drag goes on wherever the pointer goes until the release. The
        // next press too: the server may take it before our ungrab arrives.
        xcb_discard_reply(s->c, xcb_grab_pointer(s->c, 0, s->window,
                                                 XCB_EVENT_MASK_BUTTON_PRESS |
                                                     XCB_EVENT_MASK_BUTTON_RELEASE |
                                                     XCB_EVENT_MASK_POINTER_MOTION,
                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                                                 XCB_NONE, b->time)
                                    .sequence);
        mouse_move(b->event_x, b->event_y);
        button_down(b->event_x, b->event_y);
        break;
    }
    case XCB_BUTTON_RELEASE: {
        const auto* b = static_cast<const xcb_button_release_event_t*>(event);
        if (b->detail != 1 || b->event != s->window) break;
        xcb_ungrab_pointer(s->c, b->time);
        button_up();
        break;
    }
    case XCB_LEAVE_NOTIFY: {
        // Not while the button is held (the grab keeps the drag going), and
        // not for the crossings a grab itself makes.
        const auto* l = static_cast<const xcb_leave_notify_event_t*>(event);
        if (l->event == s->window && l->mode == XCB_NOTIFY_MODE_NORMAL &&
            !(l->state & XCB_BUTTON_MASK_1))
            mouse_leave();
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* d = static_cast<const xcb_destroy_notify_event_t*>(event);
        // The host destroyed its window, and ours with it, without closing
        // the editor first: nothing more is drawn into it.
        if (d->window == s->window && !s->gone) {
            qz::PaintLock lock(paintMutex);
            s->gone = true;
            --windowsMade;
        }
        break;
    }
    default:
        break; // errors of requests we do not check, and events we did not ask for
    }
}

xcb_connection_t* qz::x11::connect(int attempts) {
    for (int attempt = 1;; ++attempt) {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        if (!xcb_connection_has_error(c)) return c;
        xcb_disconnect(c);
        if (attempt >= attempts) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool qz::x11::display_available() {
    if (!std::getenv("DISPLAY")) return false; // no X server meant: no attempt
    xcb_connection_t* c = qz::x11::connect();
    if (c) xcb_disconnect(c);
    return c != nullptr;
}

int32_t qz::x11::live_windows() {
    return windowsMade.load();
}

int32_t qz::x11::live_gcs() {
    return gcsMade.load();
}
