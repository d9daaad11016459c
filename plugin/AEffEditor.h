#pragma once
#include "QZ_Vst2.h"

class AudioEffect;

// The editor a host opens inside its own window.
class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* parent) {
        systemWindow = parent;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(int32_t, int32_t, int32_t) { return false; }
    virtual bool onKeyUp(int32_t, int32_t, int32_t) { return false; }
    virtual bool setKnobMode(int32_t) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
