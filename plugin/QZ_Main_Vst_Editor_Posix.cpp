#include "QZ_Main_Vst_Editor.h"

#include "Win.h"

// No window of our own for Linux hosts yet: the editor composes off-screen.
const bool QZ_Main_Vst_Editor::forHosts = false;

QZ_Win* QZ_Main_Vst_Editor::make_window(int32_t width, int32_t height) {
    return new QZ_Win_Surface(width, height);
}

void QZ_Main_Vst_Editor::place(void*) {}

void QZ_Main_Vst_Editor::unplace() {}
