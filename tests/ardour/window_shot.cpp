// For ardour_editor_shot.sh, on the X server in DISPLAY:
//   window_shot shot WINDOW OUT.png REFERENCE.png
//     saves the top-level WINDOW as the server shows it and checks the
//     editor in it: a descendant window of the reference's size, showing
//     1000 colours or more and the reference (the panel composed
//     off-screen) within one level.
//   window_shot screen OUT.png
//     saves the whole screen (for failure reports).
//   window_shot quit WINDOW
//     gives WINDOW the keyboard focus and types Ctrl+Q through XTest.
//   window_shot save WINDOW
//     the same with Ctrl+S.
//   window_shot drag WINDOW REFERENCE.png X Y DY
//     in the editor shown inside WINDOW (found as for shot), presses the
//     left button at (X, Y), moves the pointer DY pixels down (up: negative)
//     in steps and releases it, through XTest.
// Exits 0 when done, 3 while the editor is not (yet) as expected, 1 on errors.
#include <cairo.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using Reply = std::unique_ptr<T, Free>;

int fail(const std::string& msg) {
    std::fprintf(stderr, "window_shot: %s\n", msg.c_str());
    return 1;
}

int not_yet(const std::string& msg) {
    std::fprintf(stderr, "window_shot: %s\n", msg.c_str());
    return 3;
}

struct Found {
    int x = 0, y = 0; // in the top-level window
};

// The first viewable descendant of exactly w x h pixels, depth first.
bool find_child(xcb_connection_t* c, xcb_window_t parent, int px, int py, int w, int h,
                Found& out) {
    Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr));
    if (!tree) return false;
    const xcb_window_t* kids = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, kids[i]), nullptr));
        Reply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr));
        if (!g || !a || a->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        const int x = px + g->x + g->border_width, y = py + g->y + g->border_width;
        if (g->width == w && g->height == h) {
            out = {x, y};
            return true;
        }
        if (find_child(c, kids[i], x, y, w, h, out)) return true;
    }
    return false;
}

// The window's pixels as the server shows them (children included), or null.
// 24-bit TrueColor in 32-bit pixels, least significant byte first, is
// cairo's RGB24 on this machine (Xvfb -screen 0 WxHx24).
cairo_surface_t* read_back(xcb_connection_t* c, xcb_window_t win) {
    Reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, win), nullptr));
    if (!g) return nullptr;
    const int w = g->width, h = g->height;
    xcb_generic_error_t* err = nullptr;
    Reply<xcb_get_image_reply_t> img(xcb_get_image_reply(
        c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, win, 0, 0, uint16_t(w), uint16_t(h), ~0u),
        &err));
    std::free(err);
    if (!img || img->depth != 24 || xcb_get_image_data_length(img.get()) != w * h * 4 ||
        xcb_get_setup(c)->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y)
        std::memcpy(cairo_image_surface_get_data(s) + size_t(y) * stride,
                    xcb_get_image_data(img.get()) + size_t(y) * w * 4, size_t(w) * 4);
    cairo_surface_mark_dirty(s);
    return s;
}

int shot(xcb_connection_t* c, xcb_screen_t* screen, xcb_window_t win, const char* out,
         const char* reference) {
    cairo_surface_t* ref = cairo_image_surface_create_from_png(reference);
    if (cairo_surface_status(ref) != CAIRO_STATUS_SUCCESS)
        return fail(std::string("cannot read ") + reference);
    cairo_surface_flush(ref);
    const int rw = cairo_image_surface_get_width(ref), rh = cairo_image_surface_get_height(ref);

    // Nothing else on top (there is no window manager), and no knob hovered.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, win, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_warp_pointer(c, XCB_NONE, screen->root, 0, 0, 0, 0, int16_t(screen->width_in_pixels - 1),
                     int16_t(screen->height_in_pixels - 1));
    Found editor;
    if (!find_child(c, win, 0, 0, rw, rh, editor))
        return not_yet("no " + std::to_string(rw) + " x " + std::to_string(rh) +
                       " window shown inside the plug-in's window");

    cairo_surface_t* s = read_back(c, win);
    if (!s) return not_yet("cannot read the window back (not wholly on the screen?)");
    const int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    if (editor.x < 0 || editor.y < 0 || editor.x + rw > w || editor.y + rh > h) {
        cairo_surface_destroy(s);
        return not_yet("the editor is not wholly inside the plug-in's window");
    }
    const uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);

    // A blank, half-painted or different panel is told apart by its pixels.
    std::set<uint32_t> colours;
    int differing = 0;
    const int ref_stride = cairo_image_surface_get_stride(ref);
    for (int y = 0; y < rh; ++y)
        for (int x = 0; x < rw; ++x) {
            const uint32_t p = reinterpret_cast<const uint32_t*>(data + size_t(editor.y + y) *
                                                                            stride)[editor.x + x] &
                               0xFFFFFF;
            const uint32_t q = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(ref) +
                                                                 size_t(y) * ref_stride)[x] &
                               0xFFFFFF;
            colours.insert(p);
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(int(p >> shift & 0xFF) - int(q >> shift & 0xFF)) > 1) {
                    ++differing;
                    break;
                }
        }
    cairo_surface_destroy(ref);
    // Written whatever it shows: a failure is easier to judge with the picture.
    const cairo_status_t st = cairo_surface_write_to_png(s, out);
    cairo_surface_destroy(s);
    if (st != CAIRO_STATUS_SUCCESS) return fail(std::string("cannot write ") + out);
    const std::string where = " (" + std::to_string(rw) + " x " + std::to_string(rh) + " at " +
                              std::to_string(editor.x) + "," + std::to_string(editor.y) + ")";
    if (colours.size() < 1000)
        return not_yet("the editor" + where + " shows only " + std::to_string(colours.size()) +
                       " colours");
    if (differing)
        return not_yet("the editor" + where + " differs from the reference in " +
                       std::to_string(differing) + " pixels");
    std::printf("window_shot: %d x %d, the editor%s as composed, %zu colours\n", w, h,
                where.c_str(), colours.size());
    return 0;
}

int screen_shot(xcb_connection_t* c, xcb_screen_t* screen, const char* out) {
    cairo_surface_t* s = read_back(c, screen->root);
    if (!s) return fail("cannot read the screen back");
    const cairo_status_t st = cairo_surface_write_to_png(s, out);
    cairo_surface_destroy(s);
    return st == CAIRO_STATUS_SUCCESS ? 0 : fail(std::string("cannot write ") + out);
}

xcb_keycode_t keycode(xcb_connection_t* c, xcb_keysym_t sym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> m(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(count)), nullptr));
    if (!m) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(m.get());
    for (int k = 0; k < count; ++k)
        for (int i = 0; i < m->keysyms_per_keycode; ++i)
            if (syms[k * m->keysyms_per_keycode + i] == sym)
                return xcb_keycode_t(setup->min_keycode + k);
    return 0;
}

// Ctrl and a letter, typed into WINDOW.
int control_key(xcb_connection_t* c, xcb_window_t win, xcb_keysym_t letter) {
    const xcb_keycode_t ctrl = keycode(c, 0xFFE3 /* Control_L */), q = keycode(c, letter);
    if (!ctrl || !q)
        return fail("no keys for Ctrl+" + std::string(1, char(letter)) + " in the keyboard map");
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, win, XCB_CURRENT_TIME);
    for (const auto& [type, key] : {std::pair{XCB_KEY_PRESS, ctrl},
                                    {XCB_KEY_PRESS, q},
                                    {XCB_KEY_RELEASE, q},
                                    {XCB_KEY_RELEASE, ctrl}})
        xcb_test_fake_input(c, uint8_t(type), key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // A round trip: the server has taken the events before we disconnect.
    Reply<xcb_get_input_focus_reply_t> f(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return f ? 0 : fail("the X server went away");
}

int drag(xcb_connection_t* c, xcb_screen_t* screen, xcb_window_t win, const char* reference, int x,
         int y, int dy) {
    cairo_surface_t* ref = cairo_image_surface_create_from_png(reference);
    if (cairo_surface_status(ref) != CAIRO_STATUS_SUCCESS)
        return fail(std::string("cannot read ") + reference);
    const int rw = cairo_image_surface_get_width(ref), rh = cairo_image_surface_get_height(ref);
    cairo_surface_destroy(ref);
    Found editor;
    if (!find_child(c, win, 0, 0, rw, rh, editor)) return fail("no editor inside the window");
    Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, win, screen->root, int16_t(editor.x), int16_t(editor.y)),
        nullptr));
    if (!at) return fail("cannot place the window on the screen");
    auto move = [&](int px, int py) {
        xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root,
                            int16_t(at->dst_x + px), int16_t(at->dst_y + py), 0);
        xcb_flush(c);
        usleep(20000);
    };
    move(x, y);
    xcb_test_fake_input(c, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    const int steps = 10;
    for (int i = 1; i <= steps; ++i)
        move(x, y + dy * i / steps);
    xcb_test_fake_input(c, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // Away again: no knob left lit by the pointer.
    move(-editor.x, -editor.y);
    Reply<xcb_get_input_focus_reply_t> f(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return f ? 0 : fail("the X server went away");
}

} // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (!((cmd == "shot" && argc == 5) || (cmd == "screen" && argc == 3) ||
          ((cmd == "quit" || cmd == "save") && argc == 3) || (cmd == "drag" && argc == 7))) {
        std::fprintf(stderr, "usage: window_shot shot WINDOW OUT.png REFERENCE.png\n"
                             "       window_shot screen OUT.png\n"
                             "       window_shot quit WINDOW\n"
                             "       window_shot save WINDOW\n"
                             "       window_shot drag WINDOW REFERENCE.png X Y DY\n");
        return 2;
    }
    xcb_window_t win = 0;
    if (cmd != "screen") {
        char* end = nullptr;
        win = xcb_window_t(std::strtoul(argv[2], &end, 0));
        if (*end || !win) return fail(std::string("not a window id: ") + argv[2]);
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return fail("cannot open the display");
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const int status = cmd == "shot"     ? shot(c, screen, win, argv[3], argv[4])
                       : cmd == "screen" ? screen_shot(c, screen, argv[2])
                       : cmd == "drag"
                           ? drag(c, screen, win, argv[3], std::atoi(argv[4]), std::atoi(argv[5]),
                                  std::atoi(argv[6]))
                           : control_key(c, win, cmd == "save" ? 0x73 /* s */ : 0x71 /* q */);
    xcb_disconnect(c);
    return status;
}
