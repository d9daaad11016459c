#include "QZ_Main_Vst_Editor.h"

#include "Win_Win32.h"

bool QZ_Main_Vst_Editor::forHosts() {
    return true;
}

QZ_Win* QZ_Main_Vst_Editor::make_window(int32_t width, int32_t height) {
    return new QZ_Win_Win32(width, height);
}

bool QZ_Main_Vst_Editor::place(void* parent) {
    HWND host = static_cast<HWND>(parent);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp; // 44
    GetWindowPlacement(host, &wp);
    SetWindowPos(host, nullptr, wp.rcNormalPosition.left, wp.rcNormalPosition.top, window_->width,
                 window_->height, 0);
    static_cast<QZ_Win_Win32*>(window_)->hwnd(host);
    return true;
}

void QZ_Main_Vst_Editor::unplace() {
    static_cast<QZ_Win_Win32*>(window_)->hwnd(nullptr);
}
