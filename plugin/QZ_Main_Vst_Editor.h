#pragma once
#include "AEffEditor.h"

#include <cstdint>

class QZ_Main_Vst;
class QZ_Win;

// The editor a host opens: a framework window of the editor's size, which the
// application's widgets are attached to while it is open. The window is a
// child of the host's window (a window handle on Windows, an X11 window id on
// Linux); opened without one, it composes off-screen (tests and tools read
// it back). On Linux it is offered to hosts only where a display answers.
class QZ_Main_Vst_Editor : public AEffEditor {
public:
    explicit QZ_Main_Vst_Editor(QZ_Main_Vst* plugin);
    ~QZ_Main_Vst_Editor() override;
    QZ_Main_Vst_Editor(const QZ_Main_Vst_Editor&) = delete;
    QZ_Main_Vst_Editor& operator=(const QZ_Main_Vst_Editor&) = delete;

    bool getRect(ERect** r) override;
    bool open(void* parent) override;
    void close() override;
    void idle() override {}

    QZ_Win* window() const { return window_; }

    // Whether hosts are given this editor (the has-editor flag).
    static bool forHosts();
    // Shared by every instance: hosts may keep its address.
    static ERect rect;

private:
    QZ_Main_Vst* plugin_;
    QZ_Win* window_;

    // The platform's part of open and close: the host's window sized, and the
    // framework window put into it (false: it could not be) or taken out again.
    static QZ_Win* make_window(int32_t width, int32_t height);
    bool place(void* parent);
    void unplace();
};
