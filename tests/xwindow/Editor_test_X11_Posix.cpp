// The editor in a Linux host's window, on the X server the runner started:
// a host window of ours, the editor opened in it through the dispatcher as
// hosts do, its pixels read back from the server, and the pointer moved and
// pressed through XTest.
#include "QZ_Main_Vst_Editor.h"
#include "QZ_Object.h"
#include "QZ_PluginHost.h"
#include "QZ_TestSupport.h"
#include "Wid_Knob.h"
#include "Wid_Text.h"
#include "Win.h"
#include "Win_X11.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using qz::test::Host;
using qz::test::resident_bytes;
using A = QZ_Application;

namespace {

constexpr int W = 200, H = 156;

// What a host does with X: its own connection and a top-level window.
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
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, screen->root, 0, 0, W, H, 0,
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
    void* handle() const { return reinterpret_cast<void*>(uintptr_t(id)); }

    // The window's pixels as the server shows them, 0x00RRGGBB.
    std::vector<uint32_t> pixels() {
        std::vector<uint32_t> px;
        xcb_get_image_reply_t* r = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0, W, H, ~0u), nullptr);
        if (r && xcb_get_image_data_length(r) == W * H * 4) {
            px.resize(size_t(W) * H);
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

// The same panel composed off-screen by an instance of its own, 0x00RRGGBB.
std::vector<uint32_t> composed(const std::function<void(Host&)>& set = {}) {
    Host h;
    if (set) set(h);
    QZ_Main_Vst_Editor* e = h.object()->editorObject();
    e->open(nullptr);
    auto* s = static_cast<QZ_Win_Surface*>(e->window());
    std::vector<uint32_t> px;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const QZ_Pix_A32& p = s->surface.row(y)[x];
            px.push_back(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
        }
    e->close();
    return px;
}

// Waits up to two seconds for the condition: the editor paints on its own thread.
bool soon(const std::function<bool()>& done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The same panel, composed cell by cell in another order: a blend keeps one
// level of rounding from what its cell's buffer held before.
bool same(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    return qz::test::close_to(a, b, 1);
}

int differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, QZ_Rect r) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += a[size_t(y) * W + x] != b[size_t(y) * W + x];
    return n;
}

// For people to look at: what the server showed, as a PNG.
void save_png(const std::vector<uint32_t>& px, const char* path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
    unsigned char* d = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < H; ++y)
        std::memcpy(d + size_t(y) * stride, px.data() + size_t(y) * W, W * 4);
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path);
    cairo_surface_destroy(s);
}

QZ_Rect rect_of(Host& h, int field) {
    return static_cast<QZ_Wid*>(h.app().widgets[field])->rect();
}

TEST(X11Editor, OpensInTheHostWindowAndFollowsPointerParametersAndAudio) {
    HostWindow host;
    Host h;
    ASSERT_EQ(h.fx->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* r = nullptr;
    ASSERT_EQ(h.dispatch(effEditGetRect, 0, 0, &r), 1);
    ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, host.handle()), 1);
    ERect* after = nullptr;
    h.dispatch(effEditGetRect, 0, 0, &after);
    EXPECT_EQ(after, r);

    // The panel, exactly as composed off-screen.
    const auto plain = composed();
    ASSERT_TRUE(soon([&] { return same(host.pixels(), plain); })) << "the panel did not appear";
    if (const char* shot = std::getenv("VR_X11_SHOT")) save_png(host.pixels(), shot);

    // A drag up on the level knob turns it: parameter, read-out and screen.
    const QZ_Rect knob = rect_of(h, A::W_LEVEL_KNOB), text = rect_of(h, A::W_LEVEL_TEXT);
    const float level = h.get(3);
    char was[32] = {}, shown[32] = {};
    h.dispatch(effGetParamDisplay, 3, 0, was);
    const int x = (knob.left + knob.right) / 2, y = (knob.top + knob.bottom) / 2;
    host.move(x, y);
    host.button(true);
    for (int step = 1; step <= 4; ++step)
        host.move(x, y - 5 * step);
    host.button(false);
    ASSERT_TRUE(soon([&] { return h.get(3) > level; })) << "the drag did not reach the knob";
    EXPECT_TRUE(soon([&] { return differing(host.pixels(), plain, text) > 0; }));
    // read through the dispatcher, under the editor's lock: the editor's own
    // thread may still be taking the drag's last moves
    h.dispatch(effGetParamDisplay, 3, 0, shown);
    EXPECT_STRNE(shown, was);

    // State off from the host's thread: faded exactly as off-screen.
    host.move(W - 1, H - 1); // no knob or button lit up
    h.set(0, 0.0f);
    const float turned = h.get(3);
    const auto faded = composed([&](Host& o) {
        o.set(3, turned);
        o.set(0, 0.0f);
    });
    EXPECT_TRUE(soon([&] { return same(host.pixels(), faded); })) << "State off not shown";
    h.set(0, 1.0f);

    // Audio: the meter lights, painted by the editor's own thread.
    const QZ_Rect meter = rect_of(h, A::W_METER);
    const auto before = host.pixels();
    for (int i = 0; i < 8; ++i)
        h.process(std::vector<float>(512, 0.9f));
    EXPECT_TRUE(soon([&] { return differing(host.pixels(), before, meter) > 0; }));

    EXPECT_EQ(h.dispatch(effEditClose), 0);
    EXPECT_EQ(qz::x11::live_windows(), 0);
    EXPECT_EQ(h.said, "");
}

TEST(X11Editor, ChangesWhileClosedShowAtTheNextOpenAsInAnInstanceMadeWithThem) {
    HostWindow host;
    host.move(W - 1, H - 1);                              // no knob or button lit up
    const float x[A::PARAMS] = {0.0f, 0.2f, 0.9f, 0.35f}; // State off: the fading too
    auto set_all = [&](Host& h) {
        for (int p = 0; p < A::PARAMS; ++p)
            h.set(p, x[p]);
    };
    const auto plain = composed(), wanted = composed(set_all);
    ASSERT_FALSE(same(plain, wanted));
    Host changed;
    ASSERT_EQ(changed.dispatch(effEditOpen, 0, 0, host.handle()), 1);
    ASSERT_TRUE(soon([&] { return same(host.pixels(), plain); }));
    changed.dispatch(effEditClose);
    set_all(changed); // while closed
    ASSERT_EQ(changed.dispatch(effEditOpen, 0, 0, host.handle()), 1);
    EXPECT_TRUE(soon([&] { return same(host.pixels(), wanted); })) << "stale after reopening";
    const auto reopened = host.pixels();
    changed.dispatch(effEditClose);

    Host made;
    set_all(made);
    ASSERT_EQ(made.dispatch(effEditOpen, 0, 0, host.handle()), 1);
    EXPECT_TRUE(soon([&] { return same(host.pixels(), wanted); }));
    EXPECT_TRUE(same(host.pixels(), reopened));
    made.dispatch(effEditClose);
}

// What the editor shows and holds for a knob, read under its paint mutex: the
// editor's thread changes it under the same mutex.
struct KnobState {
    int32_t frame;
    float value, param;
    std::string readout;
};
KnobState knob_state(Host& h, int field, int param) {
    QZ_Win* win = h.object()->editorObject()->window();
    qz::PaintLock lock(win->paintMutex);
    auto* k = static_cast<QZ_Wid_Knob*>(h.app().widgets[field]);
    return {k->frame, k->value(), h.app().param(param)->real(),
            static_cast<QZ_Wid_Text*>(h.app().widgets[field + 1])->text};
}

TEST(X11Editor, EveryFrameOfEveryKnobDraggedToStaysThereWithItsValue) {
    HostWindow host;
    Host h;
    ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, host.handle()), 1);
    const auto plain = composed();
    ASSERT_TRUE(soon([&] { return same(host.pixels(), plain); }));
    const struct {
        int field, param;
        const char* unit;
    } knobs[] = {
        {A::W_SUSTAIN_KNOB, 1, "dB"}, {A::W_TONE_KNOB, 2, "Hz"}, {A::W_LEVEL_KNOB, 3, "dB"}};
    for (const auto& kn : knobs) {
        const QZ_Rect r = rect_of(h, kn.field);
        const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
        const int frames = static_cast<QZ_Wid_Knob*>(h.app().widgets[kn.field])->strip.frames;
        host.move(x, y);
        host.button(true);
        // Far down: frame 0, anchored there; then up a pixel a frame.
        const int bottom = y + frames + 20;
        host.move(x, bottom);
        for (int f = 0; f < frames; ++f) {
            if (f > 0) host.move(x, bottom - f);
            KnobState k{};
            ASSERT_TRUE(soon([&] {
                k = knob_state(h, kn.field, kn.param);
                return k.frame == f && k.param == k.value;
            })) << "knob "
                << kn.param << " frame " << f << ": shows " << k.frame;
            char readout[400], display[16] = {}, want[400];
            std::snprintf(readout, sizeof readout, "%.0f%s", double(k.value), kn.unit);
            EXPECT_EQ(k.readout, readout);
            h.dispatch(effGetParamDisplay, kn.param, 0, display);
            std::snprintf(want, sizeof want, "%f", double(k.value));
            EXPECT_EQ(display, std::string(want).substr(0, 7)) << f;
        }
        host.button(false);
        EXPECT_EQ(knob_state(h, kn.field, kn.param).frame, frames - 1);
    }

    // A click without movement leaves a host's value between frames alone.
    h.set(1, 0.2f); // -9 dB
    const QZ_Rect r = rect_of(h, A::W_SUSTAIN_KNOB);
    host.move((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    host.button(true);
    host.button(false);
    // Then a drag on another knob: once that shows, the click was taken.
    const float tone = h.get(2);
    const QZ_Rect t = rect_of(h, A::W_TONE_KNOB);
    host.move((t.left + t.right) / 2, (t.top + t.bottom) / 2);
    host.button(true);
    host.move((t.left + t.right) / 2, (t.top + t.bottom) / 2 + 5);
    host.button(false);
    ASSERT_TRUE(soon([&] { return h.get(2) != tone; }));
    EXPECT_EQ(h.app().sustain.real(), -9.0f);
    EXPECT_EQ(h.dispatch(effEditClose), 0);
}

TEST(X11Editor, OpenCloseCyclesLeaveXResourcesAndMemoryFlat) {
    HostWindow host;
    Host h;
    auto cycle = [&] {
        ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, host.handle()), 1);
        h.dispatch(effEditIdle);
        ASSERT_EQ(h.dispatch(effEditClose), 0);
    };
    cycle();
    const int32_t windows = qz::x11::live_windows(), gcs = qz::x11::live_gcs();
    const size_t objects = qz::live_objects();
    for (int i = 0; i < 1000; ++i)
        cycle();
    // The C library grows its heaps for the editor threads by a step of
    // 64 KiB now and then early on: the two thousand after the first
    // thousand may take one such step, not more.
    const int64_t warm = resident_bytes();
    for (int i = 0; i < 2000; ++i)
        cycle();
    const int64_t grown = resident_bytes() - warm;
    std::printf("after 3000 open/close cycles: %d windows, %d GCs, resident %+lld bytes over "
                "the last 2000\n",
                qz::x11::live_windows(), qz::x11::live_gcs(), static_cast<long long>(grown));
    EXPECT_EQ(windows, 0);
    EXPECT_EQ(gcs, 0);
    EXPECT_EQ(qz::x11::live_windows(), windows);
    EXPECT_EQ(qz::x11::live_gcs(), gcs);
    EXPECT_EQ(qz::live_objects(), objects);
#ifndef VR_SANITIZER_HEAP
    // A thread and a child window per open: 48 bytes lost per cycle would fail this.
    EXPECT_LT(grown, 96 * 1024);
#endif
}

TEST(X11Editor, APlugInClosedWithItsEditorStillOpenGoesCleanly) {
    HostWindow host;
    for (int round = 0; round < 20; ++round) {
        Host h;
        ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, host.handle()), 1);
        // Changes for the editor's thread to follow while the plug-in goes.
        for (int i = 0; i < 4; ++i) {
            h.process(std::vector<float>(512, 0.5f * float(i % 2)));
            h.set(1, 0.1f * float(i));
        }
        h.close(); // effClose, no effEditClose first
    }
    EXPECT_EQ(qz::x11::live_windows(), 0);
}

TEST(X11Editor, AHostWindowThatGoesFirstOrIsNoneIsSurvived) {
    Host h;
    {
        HostWindow host;

        ASSERT_EQ(h.dispatch(effEditOpen, 0, 0, host.handle()), 1);
        EXPECT_EQ(qz::x11::live_windows(), 1);
    } // the host destroys its window, and ours with it, before closing
    EXPECT_TRUE(soon([] { return qz::x11::live_windows() == 0; }));
    h.set(1, 0.3f); // repaints asked for a window that is gone
    EXPECT_EQ(h.dispatch(effEditClose), 0);
    // Not a window: refused, nothing made.
    EXPECT_EQ(h.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x7FFFFF))), 0);
    EXPECT_EQ(qz::x11::live_windows(), 0);
    EXPECT_EQ(qz::x11::live_gcs(), 0);
}

} // namespace
