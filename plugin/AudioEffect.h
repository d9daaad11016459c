#pragma once
#include "AEffEditor.h"
#include "QZ_Vst2.h"

// Owns the effect record and the host callback and answers the opcodes 0 to 24.
class AudioEffect {
public:
    AudioEffect(audioMasterCallback host, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);

    // The operations the record's entries reach.
    virtual void process(float**, float**, int32_t) {}
    virtual void processReplacing(float**, float**, int32_t) {}
    virtual void processDoubleReplacing(double**, double**, int32_t) {}
    virtual void setParameter(int32_t, float) {}
    virtual float getParameter(int32_t) { return 0.0f; }

    virtual void open() {}
    virtual void close() {}
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char* name) { name[0] = '\0'; }
    virtual void getParameterLabel(int32_t, char* label) { label[0] = '\0'; }
    virtual void getParameterDisplay(int32_t, char* text) { text[0] = '\0'; }
    virtual void getParameterName(int32_t, char* text) { text[0] = '\0'; }
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32_t size) { blockSize = size; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual int32_t getChunk(void** data, bool) {
        *data = nullptr;
        return 0;
    }
    virtual int32_t setChunk(void*, int32_t, bool) { return 0; }

    // Record settings.
    void setEditor(AEffEditor* e);
    void setNumInputs(int32_t n) { cEffect.numInputs = n; }
    void setNumOutputs(int32_t n) { cEffect.numOutputs = n; }
    void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
    void canProcessReplacing(bool on);
    void programsAreChunks(bool on);

    // Requests to the host; a missing callback answers 0.
    intptr_t master(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
    int32_t getMasterVersion() { return int32_t(master(audioMasterVersion)); }

    // The record's entries.
    static intptr_t dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                        void* ptr, float opt);
    static void processClass(AEffect* e, float** in, float** out, int32_t frames);
    static void processClassReplacing(AEffect* e, float** in, float** out, int32_t frames);
    static void processClassDoubleReplacing(AEffect* e, double** in, double** out, int32_t frames);
    static void setParameterClass(AEffect* e, int32_t index, float value);
    static float getParameterClass(AEffect* e, int32_t index);

protected:
    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    AEffect cEffect;
};
