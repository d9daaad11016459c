#include "QZ_Main_Vst_Editor.h"

#include "QZ_Main_Vst.h"
#include "Win.h"

ERect QZ_Main_Vst_Editor::rect = {0, 0, 156, 200};

QZ_Main_Vst_Editor::QZ_Main_Vst_Editor(QZ_Main_Vst* plugin)
    : AEffEditor(plugin), plugin_(plugin),
      window_(make_window(plugin->app.editorWidth, plugin->app.editorHeight)) {}

QZ_Main_Vst_Editor::~QZ_Main_Vst_Editor() {
    delete window_;
}

bool QZ_Main_Vst_Editor::getRect(ERect** r) {
    *r = &rect;
    return true;
}

// Attaching and detaching hold the paint mutex: the window's own thread may
// be painting or refreshing. Not while placing: the host's window may answer
// from another thread.
bool QZ_Main_Vst_Editor::open(void* parent) {
    // A window we were given and could not use: not open (no host window at
    // all composes off-screen).
    if (!place(parent) && parent) return false;
    qz::PaintLock lock(window_->paintMutex);
    plugin_->app.attach(window_);
    window_->invalidate({0, 0, window_->width, window_->height});
    return true;
}

void QZ_Main_Vst_Editor::close() {
    {
        qz::PaintLock lock(window_->paintMutex);
        plugin_->app.detach();
    }
    unplace();
}
