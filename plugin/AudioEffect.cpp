#include "AudioEffect.h"

#include <cstring>

AudioEffect::AudioEffect(audioMasterCallback host, int32_t programs, int32_t params)
    : audioMaster(host), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &dispatchEffectClass;
    cEffect.process = &processClass;
    cEffect.setParameter = &setParameterClass;
    cEffect.getParameter = &getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = 0x4E6F4566; // 'NoEf' until the plug-in names itself
    cEffect.version = 1;
    cEffect.processReplacing = &processClassReplacing;
    cEffect.processDoubleReplacing = &processClassDoubleReplacing;
    canProcessReplacing(true);
}

AudioEffect::~AudioEffect() {
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* e) {
    editor = e;
    if (e)
        cEffect.flags |= effFlagsHasEditor;
    else
        cEffect.flags &= ~effFlagsHasEditor;
}

void AudioEffect::canProcessReplacing(bool on) {
    if (on)
        cEffect.flags |= effFlagsCanReplacing;
    else
        cEffect.flags &= ~effFlagsCanReplacing;
}

void AudioEffect::programsAreChunks(bool on) {
    if (on)
        cEffect.flags |= effFlagsProgramChunks;
    else
        cEffect.flags &= ~effFlagsProgramChunks;
}

intptr_t AudioEffect::master(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    // Texts and pointers come from the host; a null one gets no answer.
    char* text = static_cast<char*>(ptr);
    // One line a case where one line says it: a table of opcodes.
    // clang-format off
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value < numPrograms) setProgram(int32_t(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(int32_t(value)); return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (editor && ptr) {
            ERect* r = nullptr;
            editor->getRect(&r);
            *static_cast<ERect**>(ptr) = r;
            return 1;
        }
        return 0;
    case effEditOpen: return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify: return 0x4E764566; // 'NvEf'
    case effGetChunk: {
        void* unused = nullptr;
        return getChunk(ptr ? static_cast<void**>(ptr) : &unused, index != 0);
    }
    case effSetChunk: return setChunk(ptr, int32_t(value), index != 0);
    default: return 0;
    }
    // clang-format on
}

intptr_t AudioEffect::dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                          void* ptr, float opt) {
    AudioEffect* fx = e ? static_cast<AudioEffect*>(e->object) : nullptr;
    if (!fx) return 0;
    if (opcode == effClose) {
        fx->dispatcher(opcode, index, value, ptr, opt);
        e->object = nullptr;
        delete fx;
        return 1;
    }
    return fx->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processClass(AEffect* e, float** in, float** out, int32_t frames) {
    if (e && e->object) static_cast<AudioEffect*>(e->object)->process(in, out, frames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** in, float** out, int32_t frames) {
    if (e && e->object) static_cast<AudioEffect*>(e->object)->processReplacing(in, out, frames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** in, double** out,
                                              int32_t frames) {
    if (e && e->object)
        static_cast<AudioEffect*>(e->object)->processDoubleReplacing(in, out, frames);
}

void AudioEffect::setParameterClass(AEffect* e, int32_t index, float value) {
    if (e && e->object) static_cast<AudioEffect*>(e->object)->setParameter(index, value);
}

float AudioEffect::getParameterClass(AEffect* e, int32_t index) {
    return e && e->object ? static_cast<AudioEffect*>(e->object)->getParameter(index) : 0.0f;
}
