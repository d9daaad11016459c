// The LV2 editor on the X server the runner started, driven as an LV2 host
// drives it: a parent window of ours, port events, idle calls, and the pointer
// through XTest. It must show what the VST 2.x editor shows for the same
// settings, and write what the user turns to the host on the host's thread.
#include "QZ_HostWindow.h"
#include "QZ_Lv2.h"
#include "QZ_Lv2_Names.h"
#include "QZ_Lv2_Ui.h"
#include "QZ_Main_Vst_Editor.h"
#include "QZ_PluginHost.h"
#include "QZ_RampartValue.h"
#include "QZ_TestSupport.h"
#include "Wid.h"
#include "Win_X11.h"

#include <gtest/gtest.h>
#include <lv2/ui/ui.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

using namespace qz::lv2;
using qz::test::HostWindow;
using qz::test::same;
using qz::test::soon;
using A = QZ_Application;

namespace {

// A host's side of the UI: the features it offers, what the UI writes and
// the size it asks for.
struct Ui {
    const LV2UI_Descriptor* d = lv2ui_descriptor(0);
    LV2UI_Handle h = nullptr;
    LV2UI_Widget widget = nullptr;
    std::vector<std::pair<uint32_t, float>> writes;
    int width = 0, height = 0;
    std::string said;

    static void write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        EXPECT_EQ(size, sizeof(float));
        EXPECT_EQ(protocol, 0u);
        float v;
        std::memcpy(&v, buffer, sizeof v);
        static_cast<Ui*>(c)->writes.emplace_back(port, v);
    }
    static int resized(LV2UI_Feature_Handle handle, int w, int h) {
        static_cast<Ui*>(handle)->width = w;
        static_cast<Ui*>(handle)->height = h;
        return 0;
    }

    explicit Ui(void* parent, const char* plugin = uri) {
        LV2UI_Resize resize = {this, &Ui::resized};
        const LV2_Feature parentFeature = {LV2_UI__parent, parent};
        const LV2_Feature resizeFeature = {LV2_UI__resize, &resize};
        const LV2_Feature* features[] = {&resizeFeature, parent ? &parentFeature : nullptr,
                                         nullptr};
        said = qz::test::stdout_of([&] {
            h = d->instantiate(d, plugin, "/nowhere/", &Ui::write, this, &widget, features);
        });
    }
    ~Ui() {
        if (h) said += qz::test::stdout_of([&] { d->cleanup(h); });
    }
    Ui(const Ui&) = delete;
    Ui& operator=(const Ui&) = delete;

    QZ_Lv2_Ui& ui() { return *static_cast<QZ_Lv2_Ui*>(h); }
    void event(uint32_t port, float v) { d->port_event(h, port, sizeof v, 0, &v); }
    int idle() {
        auto* i =
            static_cast<const LV2UI_Idle_Interface*>(d->extension_data(LV2_UI__idleInterface));
        return i->idle(h);
    }
    QZ_Rect rect(int field) { return static_cast<QZ_Wid*>(ui().app.widgets[field])->rect(); }
    std::pair<int, int> centre(int field) {
        const QZ_Rect r = rect(field);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
};

struct Settings {
    float state = 1.0f, sustain = -6.0f, freq = 150.0f, level = -6.0f;
    float meterIn = 0.0f, meterOut = 0.0f;
};

// The VST 2.x editor composed off-screen with the same settings, sent as
// rampart sends them; the meters' levels given as the LV2 UI gives them.
std::vector<uint32_t> vst_editor(const Settings& s) {
    qz::test::Host h;
    const float values[] = {s.state, s.sustain, s.freq, s.level};
    for (int i = 0; i < 4; ++i)
        h.set(i, qz::test::rampart_value(i, values[i]));
    h.app().levelsGiven = true;
    h.app().meterIn.store(std::clamp(s.meterIn, 0.0f, 1.0f));
    h.app().meterOut.store(std::clamp(s.meterOut, 0.0f, 1.0f));
    QZ_Main_Vst_Editor* e = h.object()->editorObject();
    e->open(nullptr);
    auto px = qz::test::surface_pixels(*static_cast<QZ_Win_Surface*>(e->window()));
    e->close();
    return px;
}

void send(Ui& ui, const Settings& s) {
    const std::pair<uint32_t, float> ports[] = {{STATE, s.state},      {SUSTAIN, s.sustain},
                                                {FREQ, s.freq},        {LEVEL, s.level},
                                                {METER_IN, s.meterIn}, {METER_OUT, s.meterOut}};
    for (auto [port, v] : ports)
        ui.event(port, v);
}

// A window's WM_NORMAL_HINTS as {flags, min w, min h, max w, max h, base w,
// base h}; empty when it has none.
std::vector<uint32_t> size_hints(HostWindow& host, uint32_t window) {
    xcb_get_property_reply_t* r =
        xcb_get_property_reply(host.c,
                               xcb_get_property(host.c, 0, window, XCB_ATOM_WM_NORMAL_HINTS,
                                                XCB_ATOM_WM_SIZE_HINTS, 0, 18),
                               nullptr);
    std::vector<uint32_t> got;
    if (r && r->format == 32 && xcb_get_property_value_length(r) == 18 * 4) {
        const auto* h = static_cast<const uint32_t*>(xcb_get_property_value(r));
        got = {h[0], h[5], h[6], h[7], h[8], h[15], h[16]};
    }
    std::free(r);
    return got;
}

class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qz::x11::display_available()) GTEST_SKIP() << "no X server on DISPLAY";
        host = std::make_unique<HostWindow>();
        away();
    }
    HostWindow& window() { return *host; }
    // The pointer off every knob and button: none lit up.
    void away() { host->move(qz::test::EDITOR_W - 1, qz::test::EDITOR_H - 1); }
    bool shows(const Settings& s) {
        const auto want = vst_editor(s);
        return soon([&] { return same(window().pixels(), want); });
    }
    std::unique_ptr<HostWindow> host;
};

TEST_F(Lv2Ui, OpensInTheHostWindowShowingTheVstEditorsPanel) {
    Ui ui(window().handle());
    ASSERT_NE(ui.h, nullptr);
    // The widget is our child window, inside the parent the host gave.
    const uint32_t child = uint32_t(reinterpret_cast<uintptr_t>(ui.widget));
    EXPECT_NE(child, 0u);
    EXPECT_EQ(child, ui.ui().child());
    xcb_query_tree_reply_t* t =
        xcb_query_tree_reply(window().c, xcb_query_tree(window().c, child), nullptr);
    EXPECT_EQ(t ? t->parent : 0, window().id);
    std::free(t);
    EXPECT_EQ(ui.width, 200);
    EXPECT_EQ(ui.height, 156);
    // Its one size as smallest, largest and base (P_MIN_SIZE | P_MAX_SIZE |
    // P_BASE_SIZE): hosts that fit a window to the child's hints keep it.
    const std::vector<uint32_t> hints = {0x130, 200, 156, 200, 156, 200, 156};
    EXPECT_EQ(size_hints(window(), child), hints);
    ASSERT_TRUE(shows({})) << "the panel did not appear";
    if (const char* shot = std::getenv("VR_X11_SHOT")) qz::test::save_png(window().pixels(), shot);
    EXPECT_EQ(ui.idle(), 0);
    EXPECT_TRUE(ui.writes.empty());
    EXPECT_EQ(ui.said, "");
}

TEST_F(Lv2Ui, PortEventsShowAsTheVstEditorShowsTheSameSettingsAndMeters) {
    Ui ui(window().handle());
    ASSERT_NE(ui.h, nullptr);
    const Settings cases[] = {
        {1.0f, -24.0f, 300.0f, -12.0f}, // rampart render --sustain -24 --tone 300 --level -12
        {0.0f, -24.0f, 300.0f, -12.0f}, // State off: faded
        {1.0f, -45.0f, 50.0f, -3.0f},   // the ends of the ranges
        {1.0f, -9.3f, 123.4f, -33.3f},  // between knob frames
        {.meterIn = 0.95f, .meterOut = 0.5f},
        {.meterIn = 0.3f, .meterOut = 1.0f},
        {.meterIn = 2.0f, .meterOut = -1.0f}, // held at the ends
        {},                                   // dark again
        {1.0f, 20.0f, 1e6f, -1e6f},           // beyond: held at the ends, as the plug-in holds them
    };
    const auto dark = vst_editor({});
    const QZ_Rect meter = ui.rect(A::W_METER);
    for (const Settings& s : cases) {
        send(ui, s);
        EXPECT_TRUE(shows(s)) << s.state << " " << s.sustain << " " << s.freq << " " << s.level
                              << " " << s.meterIn << " " << s.meterOut;
        if (s.meterIn > 0.0f) {
            EXPECT_GT(qz::test::differing(vst_editor(s), dark, meter), 0);
        }
        // The host's own values are not sent back to it.
        ui.idle();
        EXPECT_TRUE(ui.writes.empty());
    }
    // Not a float control value, or not a control port of ours: ignored.
    const double wide = -30.0;
    ui.d->port_event(ui.h, SUSTAIN, sizeof wide, 0, &wide);
    ui.d->port_event(ui.h, SUSTAIN, sizeof(float), 7, &wide);
    ui.d->port_event(ui.h, SUSTAIN, sizeof(float), 0, nullptr);
    ui.event(LATENCY, 441.0f);
    ui.event(PORTS, 1.0f);
    ui.event(OUT_1, 1.0f);
    EXPECT_EQ(ui.ui().app.sustain.real(), 0.0f); // 20 dB held at the top, 0 dB
    EXPECT_TRUE(shows(cases[std::size(cases) - 1]));
}

TEST_F(Lv2Ui, WhatTheUserTurnsIsWrittenToThePortsFromIdleOnly) {
    Ui ui(window().handle());
    ASSERT_NE(ui.h, nullptr);
    ASSERT_TRUE(shows({}));
    // A drag up on the level knob.
    const auto [x, y] = ui.centre(A::W_LEVEL_KNOB);
    window().move(x, y);
    window().button(true);
    for (int step = 1; step <= 4; ++step)
        window().move(x, y - 5 * step);
    window().button(false);
    ASSERT_TRUE(soon([&] { return ui.ui().app.level.real() > -6.0f; }))
        << "the drag did not reach the knob";
    // Settled: the editor's thread has taken the last move.
    float level = ui.ui().app.level.real();
    ASSERT_TRUE(soon([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const float now = ui.ui().app.level.real();
        return std::exchange(level, now) == now;
    }));
    EXPECT_TRUE(ui.writes.empty()) << "written before the host's idle call";
    ui.idle();
    ASSERT_EQ(ui.writes.size(), 1u);
    EXPECT_EQ(ui.writes[0], std::make_pair(uint32_t(LEVEL), level));
    ui.idle();
    EXPECT_EQ(ui.writes.size(), 1u);
    // The host echoes the value: nothing moves, nothing is written again.
    ui.event(LEVEL, level);
    ui.idle();
    EXPECT_EQ(ui.writes.size(), 1u);
    EXPECT_EQ(ui.ui().app.level.real(), level);

    // A click on the button: State off, written as 0.
    const auto [bx, by] = ui.centre(A::W_BUTTON);
    window().move(bx, by);
    window().button(true);
    window().button(false);
    ASSERT_TRUE(soon([&] { return ui.ui().app.state.whole() == 0; }));
    ui.idle();
    ASSERT_EQ(ui.writes.size(), 2u);
    EXPECT_EQ(ui.writes[1], std::make_pair(uint32_t(STATE), 0.0f));
    away();
    EXPECT_TRUE(shows({.state = 0.0f, .level = level}));
}

TEST_F(Lv2Ui, RefusedWithoutAWindowToLiveInOrForAnotherPlugin) {
    const int32_t windows = qz::x11::live_windows();
    const std::pair<void*, const char*> refused[] = {
        {nullptr, uri},
        {reinterpret_cast<void*>(uintptr_t(0x7FFFFF)), uri}, // not a window
        {window().handle(), "urn:another:plugin"}};
    for (auto [parent, plugin] : refused)
        EXPECT_EQ(Ui(parent, plugin).h, nullptr) << plugin;
    EXPECT_EQ(qz::x11::live_windows(), windows);
    // What the UI offers a host besides: idle and a fixed size.
    const LV2UI_Descriptor* d = lv2ui_descriptor(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, ui_uri);
    EXPECT_EQ(lv2ui_descriptor(1), nullptr);
    EXPECT_NE(d->extension_data(LV2_UI__idleInterface), nullptr);
    EXPECT_EQ(d->extension_data(LV2_UI__showInterface), nullptr);
    auto* resize = static_cast<const LV2UI_Resize*>(d->extension_data(LV2_UI__resize));
    ASSERT_NE(resize, nullptr);
    Ui ui(window().handle());
    ASSERT_NE(ui.h, nullptr);
    EXPECT_EQ(resize->ui_resize(ui.h, 200, 156), 0);
    EXPECT_NE(resize->ui_resize(ui.h, 400, 312), 0);
}

TEST_F(Lv2Ui, ClosingLeavesNothingOnTheServerAndAParentGoneFirstIsSurvived) {
    {
        Ui ui(window().handle());
        ASSERT_NE(ui.h, nullptr);
        EXPECT_EQ(qz::x11::live_windows(), 1);
    }
    EXPECT_EQ(qz::x11::live_windows(), 0);
    EXPECT_EQ(qz::x11::live_gcs(), 0);
    {
        Ui ui(window().handle());
        ASSERT_NE(ui.h, nullptr);
        host.reset(); // the host's window, and ours with it, before cleanup
        EXPECT_TRUE(soon([] { return qz::x11::live_windows() == 0; }));
        ui.event(SUSTAIN, -30.0f); // repaints asked for a window that is gone
        ui.event(METER_IN, 0.7f);
        EXPECT_EQ(ui.idle(), 0);
    }
    EXPECT_EQ(qz::x11::live_windows(), 0);
    EXPECT_EQ(qz::x11::live_gcs(), 0);
}

TEST_F(Lv2Ui, PortEventsAndIdleOnTheHostsThreadWhileTheEditorDraws) {
    Ui ui(window().handle());
    ASSERT_NE(ui.h, nullptr);
    // The pointer turning the tone knob meanwhile, on the editor's thread.
    const auto [x, y] = ui.centre(A::W_TONE_KNOB);
    std::thread user([&, x = x, y = y] {
        for (int i = 0; i < 40; ++i) {
            window().move(x, y);
            window().button(true);
            window().move(x, y + (i % 2 ? 6 : -6));
            window().button(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    Settings last;
    for (int i = 0; i < 3000; ++i) {
        last = {1.0f,
                -float(i % 46),
                0.0f,
                -3.0f - float(i % 43),
                float(i % 10) / 10.0f,
                float(i % 7) / 7.0f};
        ui.event(SUSTAIN, last.sustain);
        ui.event(LEVEL, last.level);
        ui.event(METER_IN, last.meterIn);
        ui.event(METER_OUT, last.meterOut);
        if (i % 10 == 0) ui.idle();
    }
    user.join();
    ui.idle();
    // Only the tone knob was turned by hand: only its port was written.
    for (const auto& [port, v] : ui.writes)
        EXPECT_EQ(port, uint32_t(FREQ)) << v;
    last.freq = ui.ui().app.freq.real();
    away();
    EXPECT_TRUE(shows(last));
}

} // namespace
