#include "QZ_Main_Vst.h"

#include "QZ_Math.h"
#include "QZ_Text.h"

#include <cmath>
#include <cstring>
#include <new>

// Short enough that the title fits the editor's 180-pixel title line.
const char QZ_Main_Vst::vendor[] = "rampart.audio";
const char QZ_Main_Vst::title[] = "rampart.audio Velvet Rampart";

QZ_Main_Vst::QZ_Main_Vst(audioMasterCallback host) : AudioEffectX(host, 1, 4) {
    app.title = title;
    app.create();
    sizeWindow(app.editorWidth, app.editorHeight);
    programsAreChunks(app.hasState() != 0);
    setNumInputs(1);
    setNumOutputs(2);
    setUniqueID(0x36386F35); // "5o86"
    auto* e = new (std::nothrow) QZ_Main_Vst_Editor(this);
    if (QZ_Main_Vst_Editor::forHosts())
        setEditor(e); // the has-editor flag
    else
        ownEditor = e;
}

QZ_Main_Vst::~QZ_Main_Vst() {
    app.destroy();
    delete ownEditor;
}

void QZ_Main_Vst::open() {
    app.resetChain();
}

void QZ_Main_Vst::getProgramName(char* name) {
    std::memset(name, 0, kVstMaxProgNameLen);
    qz::copy_cut(name, "Default program", kVstMaxProgNameLen - 1);
}

void QZ_Main_Vst::getParameterLabel(int32_t index, char* label) {
    if (auto* p = app.param(index))
        p->hostLabel(label);
    else
        std::memset(label, 0, kVstMaxParamStrLen);
}

void QZ_Main_Vst::getParameterDisplay(int32_t index, char* text) {
    if (auto* p = app.param(index))
        p->hostDisplay(text);
    else
        std::memset(text, 0, kVstMaxParamStrLen);
}

void QZ_Main_Vst::getParameterName(int32_t index, char* text) {
    if (auto* p = app.param(index))
        p->hostName(text);
    else
        std::memset(text, 0, kVstMaxParamStrLen);
}

void QZ_Main_Vst::setSampleRate(float rate) {
    // Only a real rate; the base's own sample rate keeps 44100.
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    app.setClock(qz::trunc32(rate));
}

int32_t QZ_Main_Vst::getChunk(void** data, bool) {
    QZ_value state = app.getState();
    *data = state.asPtr<void>();
    return state.length;
}

int32_t QZ_Main_Vst::setChunk(void* data, int32_t size, bool) {
    app.setState(QZ_value(reinterpret_cast<uintptr_t>(data), QZ_value::NONE, size));
    return size;
}

bool QZ_Main_Vst::getProgramNameIndexed(int32_t, int32_t, char* text) {
    std::strcpy(text, "Default program");
    return true;
}

bool QZ_Main_Vst::getEffectName(char* name) {
    std::strcpy(name, "Velvet Rampart");
    return true;
}

bool QZ_Main_Vst::getVendorString(char* text) {
    std::strcpy(text, vendor);
    return true;
}

bool QZ_Main_Vst::getProductString(char* text) {
    std::strcpy(text, title);
    return true;
}

void QZ_Main_Vst::processReplacing(float** inputs, float** outputs, int32_t frames) {
    app.run(inputs, outputs, frames);
}

void QZ_Main_Vst::setParameter(int32_t index, float x) {
    // No lock, on any thread.
    app.setNormalised(index, x);
}

float QZ_Main_Vst::getParameter(int32_t index) {
    QZ_Application::Param* p = app.param(index);
    return p ? p->normalised() : 0.0f;
}

extern "C" AEffect* VSTPluginMain(audioMasterCallback host) {
    // No host answering the version request, no plug-in.
    if (!host || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    QZ_Main_Vst* fx = new (std::nothrow) QZ_Main_Vst(host);
    return fx ? fx->getAeffect() : nullptr;
}

extern "C" AEffect* _MAIN(audioMasterCallback host) {
    return VSTPluginMain(host);
}
