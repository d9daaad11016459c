#include "AudioEffectX.h"

#include "QZ_Math.h"

void AudioEffectX::resume() {
    if (!(cEffect.flags & effFlagsIsSynth) && canDo("receiveVstMidiEvent") == 1) wantEvents();
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    char* text = static_cast<char*>(ptr);
    // One line a case where one line says it: a table of opcodes.
    // clang-format off
    switch (opcode) {
    case effProcessEvents: return processEvents(ptr);
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return text && string2parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed:
        return text && getProgramNameIndexed(int32_t(value), index, text) ? 1 : 0;
    case effGetInputProperties: return getInputProperties(index, ptr) ? 1 : 0;
    case effGetOutputProperties: return getOutputProperties(index, ptr) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effOfflineNotify: return offlineNotify(ptr, int32_t(value), index != 0) ? 1 : 0;
    case effOfflinePrepare: return offlinePrepare(ptr, int32_t(value)) ? 1 : 0;
    case effOfflineRun: return offlineRun(ptr, int32_t(value)) ? 1 : 0;
    case effProcessVarIo: return processVariableIo(ptr) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<void*>(value), ptr) ? 1 : 0;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return text && getEffectName(text) ? 1 : 0;
    case effGetVendorString: return text && getVendorString(text) ? 1 : 0;
    case effGetProductString: return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return text ? canDo(text) : 0;
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties: return getParameterProperties(index, ptr) ? 1 : 0;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
        return editor && editor->onKeyDown(index, int32_t(value & 0xFF), qz::trunc32(opt) & 0xFF) ? 1
                                                                                              : 0;
    case effEditKeyUp:
        return editor && editor->onKeyUp(index, int32_t(value & 0xFF), qz::trunc32(opt) & 0xFF) ? 1 : 0;
    case effSetEditKnobMode: return editor && editor->setKnobMode(int32_t(value)) ? 1 : 0;
    case effGetMidiProgramName: return getMidiProgramName(index, ptr);
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, ptr);
    case effGetMidiProgramCategory: return getMidiProgramCategory(index, ptr);
    case effHasMidiProgramsChanged: return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName: return getMidiKeyName(index, ptr) ? 1 : 0;
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement: {
        void* unused_in = nullptr;
        void* unused_out = nullptr;
        void** in = value ? reinterpret_cast<void**>(value) : &unused_in;
        void** out = ptr ? static_cast<void**>(ptr) : &unused_out;
        return getSpeakerArrangement(in, out) ? 1 : 0;
    }
    case effShellGetNextPlugin: return text ? getNextShellPlugin(text) : 0;
    case effStartProcess: return startProcess();
    case effStopProcess: return stopProcess();
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(int32_t(value));
    case effSetPanLaw: return setPanLaw(int32_t(value), opt) ? 1 : 0;
    case effBeginLoadBank: return beginLoadBank(ptr);
    case effBeginLoadProgram: return beginLoadProgram(ptr);
    case effSetProcessPrecision: return setProcessPrecision(int32_t(value)) ? 1 : 0;
    case effGetNumMidiInputChannels: return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
    // clang-format on
}
