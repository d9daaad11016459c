#pragma once
// The plug-in's editor as an LV2 X11 UI: the VST 2.x plug-in's panel, knobs
// and meter, made by an application of its own (the plug-in's instance may
// run in another process) in a framework window inside the host's window.
// The host's port events set its parameters and meter; the editor's own
// thread draws them as it does in VST 2.x hosts; what the user turns is
// written to the plug-in's control ports from the host's idle calls, on the
// host's thread.
#include "QZ_Application.h"
#include "QZ_Lv2.h"

#include <lv2/ui/ui.h>

#include <cstdint>

class QZ_Win_X11;

class QZ_Lv2_Ui {
public:
    QZ_Lv2_Ui(LV2UI_Write_Function write, LV2UI_Controller controller);
    ~QZ_Lv2_Ui();
    QZ_Lv2_Ui(const QZ_Lv2_Ui&) = delete;
    QZ_Lv2_Ui& operator=(const QZ_Lv2_Ui&) = delete;

    // Puts the editor into the host's X11 window `parent` (false: it could
    // not be: no display, not a window).
    bool open(uint32_t parent);
    // Our window's id, given to the host as the UI's widget.
    uint32_t child() const;

    void port_event(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // Sends the plug-in what the user changed since the last call; 0 (the
    // editor stays open).
    int idle();

    QZ_Application app;
    QZ_Win_X11* window = nullptr;

private:
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    // For each control port, the value the plug-in has (last heard or sent,
    // bit for bit) and the parameter's value word that stands for it.
    uint32_t port_[QZ_Application::PARAMS] = {};
    uintptr_t word_[QZ_Application::PARAMS] = {};
};
