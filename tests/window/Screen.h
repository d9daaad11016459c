#pragma once
// What the window tests do on a real screen (wine on an Xvfb display): host
// windows, the message loop, the real mouse, and pixels read back.
#include "Pic/Base.h"
#include "QZ_Pix.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace qz::test {

// The plug-in DLL's module instance in hInstance for the whole program, so
// that resources are found and the window class is registered with it once.
// False when the DLL cannot be loaded.
bool use_plugin_module();

// Puts this thread on a desktop of its own, before it has any window: the
// wine prefix's default desktop may have been started by another test
// program, without a display. False when that cannot be done.
bool use_own_desktop();

// A top-level popup window standing in for the host's editor window: its
// client area is exactly w × h at (x, y) on the screen, filled with fill.
class HostWindow {
public:
    HostWindow(int x, int y, int w, int h, COLORREF fill = RGB(255, 0, 255));
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND hwnd() const { return hwnd_; }
    HWND release(); // the caller destroys it

private:
    HWND hwnd_;
};

// Dispatches this thread's messages until done() holds or ms have passed;
// answers done(). A WM_QUIT on the way is dropped.
bool pump_until(const std::function<bool()>& done, int ms = 3000);
void pump_for(int ms);

// The real mouse, through SendInput: the system then decides which window
// gets which message (capture included) and leave tracking sees the pointer
// where it is. Screen coordinates; false when the pointer did not get there.
bool move_pointer(int x, int y);
void press_left();
void release_left();

// 0xAARRGGBB as the bytes of a 32-bit DIB give them.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> px;
    uint32_t at(int x, int y) const { return px[size_t(y) * size_t(width) + size_t(x)]; }
};

Pixels read_window(HWND h);        // the client area, through the window's DC
Pixels read_screen(const RECT& r); // the screen itself, through the screen DC
Pixels pixels_of(const QZ_Pic_Base<QZ_Pix_A32>& pic);

// Pixels whose bytes in mask differ by more than tolerance, the first few of
// them described; empty when none do.
std::string differences(const Pixels& got, const Pixels& want, uint32_t mask, int tolerance = 0);

// A 32-bit top-down BMP; false when it cannot be written.
bool write_bmp(const std::string& path, const Pixels& p);

} // namespace qz::test
