#include "QZ_Main_Vst_Editor.h"

#include "Win_X11.h"

// Offered to hosts where an X server answers; a headless host (a render, a
// plug-in scan without a display) gets no editor, and the window composes
// off-screen for the tests and tools.
bool QZ_Main_Vst_Editor::forHosts() {
    return qz::x11::display_available();
}

QZ_Win* QZ_Main_Vst_Editor::make_window(int32_t width, int32_t height) {
    return new QZ_Win_X11(width, height);
}

// The host's window is an X11 window id in the pointer.
bool QZ_Main_Vst_Editor::place(void* parent) {
    const auto id = uint32_t(reinterpret_cast<uintptr_t>(parent));
    return static_cast<QZ_Win_X11*>(window_)->xwindow(id) == id;
}

void QZ_Main_Vst_Editor::unplace() {
    static_cast<QZ_Win_X11*>(window_)->xwindow(0);
}
