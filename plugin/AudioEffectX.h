#pragma once
#include "AudioEffect.h"

// Answers the opcodes 25 to 79 and wraps the host's requests; numbers it does
// not know go down to AudioEffect.
class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;

    virtual int32_t processEvents(void*) { return 0; }
    virtual bool canParameterBeAutomated(int32_t) { return true; }
    virtual bool string2parameter(int32_t, char*) { return false; }
    virtual bool getProgramNameIndexed(int32_t, int32_t, char*) { return false; }
    virtual bool getInputProperties(int32_t, void*) { return false; }
    virtual bool getOutputProperties(int32_t, void*) { return false; }
    virtual int32_t getPlugCategory() { return 0; }
    virtual bool offlineNotify(void*, int32_t, bool) { return false; }
    virtual bool offlinePrepare(void*, int32_t) { return false; }
    virtual bool offlineRun(void*, int32_t) { return false; }
    virtual bool processVariableIo(void*) { return false; }
    virtual bool setSpeakerArrangement(void*, void*) { return false; }
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t, intptr_t, void*, float) { return 0; }
    virtual int32_t canDo(const char*) { return 0; }
    virtual int32_t getGetTailSize() { return 0; }
    virtual bool getParameterProperties(int32_t, void*) { return false; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual int32_t getMidiProgramName(int32_t, void*) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t, void*) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t, void*) { return 0; }
    virtual bool hasMidiProgramsChanged(int32_t) { return false; }
    virtual bool getMidiKeyName(int32_t, void*) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual bool getSpeakerArrangement(void** input, void** output) {
        *input = nullptr;
        *output = nullptr;
        return false;
    }
    virtual int32_t getNextShellPlugin(char*) { return 0; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }
    virtual int32_t setTotalSampleToProcess(int32_t value) { return value; }
    virtual bool setPanLaw(int32_t, float) { return false; }
    virtual int32_t beginLoadBank(void*) { return 0; }
    virtual int32_t beginLoadProgram(void*) { return 0; }
    virtual bool setProcessPrecision(int32_t) { return false; }
    virtual int32_t getNumMidiInputChannels() { return 0; }
    virtual int32_t getNumMidiOutputChannels() { return 0; }

    // Host requests.
    bool sizeWindow(int32_t width, int32_t height) {
        return master(audioMasterSizeWindow, width, height) != 0;
    }
    bool wantEvents(int32_t filter = 1) { return master(audioMasterWantMidi, 0, filter) != 0; }
    void resume() override;
};
