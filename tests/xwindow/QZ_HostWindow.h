#pragma once
// What the editor tests on an X server do as a host: a top-level window of
// their own, its pixels read back, the pointer moved and pressed through
// XTest; and waiting for the editor's own thread to show something.
#include "QZ_TestSupport.h"
#include "Win.h"
#include "Win_X11.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace qz::test {

constexpr int EDITOR_W = 200, EDITOR_H = 156;

struct HostWindow {
    // Half a second of tries (the server refuses clients for a moment after
    // many have come and gone); failing that, xcb's own object in error.
    xcb_connection_t* c = [] {
        xcb_connection_t* made = qz::x11::connect(50);
        return made ? made : xcb_connect(nullptr, nullptr);
    }();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_window_t id = 0;

    HostWindow() {
        EXPECT_EQ(xcb_connection_has_error(c), 0);
        id = xcb_generate_id(c);
        const uint32_t white = screen->white_pixel;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, screen->root, 0, 0, EDITOR_W, EDITOR_H, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL,
                          &white);
        xcb_map_window(c, id);
        // A round trip: the window exists before anyone else is told its id.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
    ~HostWindow() {
        xcb_destroy_window(c, id);
        xcb_disconnect(c);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    void* handle() const { return reinterpret_cast<void*>(uintptr_t(id)); }

    // The window's pixels as the server shows them, 0x00RRGGBB.
    std::vector<uint32_t> pixels() {
        std::vector<uint32_t> px;
        xcb_get_image_reply_t* r = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0, EDITOR_W, EDITOR_H, ~0u),
            nullptr);
        if (r && xcb_get_image_data_length(r) == EDITOR_W * EDITOR_H * 4) {
            px.resize(size_t(EDITOR_W) * EDITOR_H);
            std::memcpy(px.data(), xcb_get_image_data(r), px.size() * 4);
            for (uint32_t& p : px)
                p &= 0xFFFFFF;
        }
        std::free(r);
        return px;
    }

    // The pointer, through XTest, in window (= screen) coordinates.
    void move(int x, int y) {
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root, int16_t(x),
                            int16_t(y), 0);
        xcb_flush(c);
    }
    void button(bool down) {
        xcb_test_fake_input(c, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME,
                            XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    }
};

// A window surface's pixels, 0x00RRGGBB, as HostWindow::pixels gives them.
inline std::vector<uint32_t> surface_pixels(const QZ_Win_Surface& s) {
    std::vector<uint32_t> px;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) {
            const QZ_Pix_A32& p = s.surface.row(y)[x];
            px.push_back(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
        }
    return px;
}

// Waits up to two seconds for the condition: the editor paints on its own thread.
inline bool soon(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The same panel, composed cell by cell in another order: a blend keeps one
// level of rounding from what its cell's buffer held before.
inline bool same(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    return close_to(a, b, 1);
}

inline int differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, QZ_Rect r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += a[size_t(y) * EDITOR_W + x] != b[size_t(y) * EDITOR_W + x];
    return n;
}

// For people to look at: what the server showed, as a PNG.
inline void save_png(const std::vector<uint32_t>& px, const char* path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, EDITOR_W, EDITOR_H);
    unsigned char* d = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < EDITOR_H; ++y)
        std::memcpy(d + size_t(y) * stride, px.data() + size_t(y) * EDITOR_W, EDITOR_W * 4);
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path);
    cairo_surface_destroy(s);
}

} // namespace qz::test
