#include "QZ_Lv2_Ui.h"

#include "QZ_Lv2_Names.h"
#include "Win_X11.h"

#include <cmath>
#include <cstring>
#include <new>

using namespace qz::lv2;

QZ_Lv2_Ui::QZ_Lv2_Ui(LV2UI_Write_Function write, LV2UI_Controller controller)
    : write_(write), controller_(controller) {
    app.title = title;
    app.levelsGiven = true; // the plug-in's meter ports
    app.create();
    window = new QZ_Win_X11(app.editorWidth, app.editorHeight);
    for (int32_t i = 0; i < QZ_Application::PARAMS; ++i) {
        word_[i] = app.param(i)->load();
        port_[i] = bits(port_value(*app.param(i), word_[i]));
    }
}

QZ_Lv2_Ui::~QZ_Lv2_Ui() {
    // As the VST 2.x editor closes: the widgets let go under the paint
    // mutex, then the window and its thread go.
    {
        qz::PaintLock lock(window->paintMutex);
        app.detach();
    }
    window->xwindow(0);
    app.destroy();
    delete window;
}

bool QZ_Lv2_Ui::open(uint32_t parent) {
    if (!parent || window->xwindow(parent) != parent) return false;
    qz::PaintLock lock(window->paintMutex);
    app.attach(window);
    window->invalidate({0, 0, window->width, window->height});
    return true;
}

uint32_t QZ_Lv2_Ui::child() const {
    return window->child();
}

void QZ_Lv2_Ui::port_event(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    // Control ports carry one float (format 0); nothing else is ours.
    if (format != 0 || size != sizeof(float) || !buffer) return;
    float v;
    std::memcpy(&v, buffer, sizeof v);
    const int32_t i = parameter_of(port);
    if (i >= 0) {
        // The host echoes what we wrote: nothing new.
        if (bits(v) == port_[i]) return;
        QZ_Application::Param* p = app.param(i);
        const uintptr_t w = mapped_word(*p, v);
        port_[i] = bits(v);
        word_[i] = w;
        // The editor's thread shows it (follow).
        p->store(w);
    } else if (port == METER_IN || port == METER_OUT) {
        const float m = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; // a NaN: 0
        (port == METER_IN ? app.meterIn : app.meterOut).store(m, std::memory_order_relaxed);
        app.meterSteps.fetch_add(1, std::memory_order_release);
    }
}

int QZ_Lv2_Ui::idle() {
    for (int32_t i = 0; i < QZ_Application::PARAMS; ++i) {
        const uintptr_t w = app.param(i)->load();
        if (w == word_[i]) continue;
        const float v = port_value(*app.param(i), w);
        word_[i] = w;
        port_[i] = bits(v);
        if (write_) write_(controller_, control_port(i), sizeof v, 0, &v);
    }
    return 0;
}

// --- the descriptor ---------------------------------------------------------

namespace {

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* plugin, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!plugin || std::strcmp(plugin, uri) != 0 || !widget) return nullptr;
    void* parent = nullptr;
    const LV2UI_Resize* resize = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (std::strcmp((*f)->URI, LV2_UI__parent) == 0)
            parent = (*f)->data;
        else if (std::strcmp((*f)->URI, LV2_UI__resize) == 0)
            resize = static_cast<const LV2UI_Resize*>((*f)->data);
    }
    // The editor lives in the host's window; there is nothing to show without one.
    if (!parent) return nullptr;
    auto* ui = new (std::nothrow) QZ_Lv2_Ui(write, controller);
    if (!ui) return nullptr;
    if (!ui->open(uint32_t(reinterpret_cast<uintptr_t>(parent)))) {
        delete ui;
        return nullptr;
    }
    *widget = reinterpret_cast<LV2UI_Widget>(uintptr_t(ui->child()));
    if (resize && resize->ui_resize)
        resize->ui_resize(resize->handle, ui->window->width, ui->window->height);
    return ui;
}

void cleanup(LV2UI_Handle h) {
    delete static_cast<QZ_Lv2_Ui*>(h);
}

void port_event(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    static_cast<QZ_Lv2_Ui*>(h)->port_event(port, size, format, buffer);
}

int idle(LV2UI_Handle h) {
    return static_cast<QZ_Lv2_Ui*>(h)->idle();
}

// The panel has one size: a host asking for another keeps this one.
int resize(LV2UI_Feature_Handle h, int width, int height) {
    const QZ_Win_X11* w = static_cast<QZ_Lv2_Ui*>(h)->window;
    return width == w->width && height == w->height ? 0 : 1;
}

const LV2UI_Idle_Interface idle_interface = {idle};
const LV2UI_Resize resize_interface = {nullptr, resize};

const void* extension_data(const char* uri) {
    if (!uri) return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idle_interface;
    if (std::strcmp(uri, LV2_UI__resize) == 0) return &resize_interface;
    return nullptr;
}

const LV2UI_Descriptor descriptor = {ui_uri, instantiate, cleanup, port_event, extension_data};

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
