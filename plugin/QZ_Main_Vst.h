#pragma once
#include "AudioEffectX.h"
#include "QZ_Application.h"
#include "QZ_Export.h"
#include "QZ_Main_Vst_Editor.h"

// The plug-in: answers the host and hands every real piece of work to the
// sustainer application it embeds.
class QZ_Main_Vst : public AudioEffectX {
public:
    explicit QZ_Main_Vst(audioMasterCallback host);
    ~QZ_Main_Vst() override;

    void open() override;
    void setProgram(int32_t) override {}
    int32_t getProgram() override { return 0; }
    void getProgramName(char* name) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    void setSampleRate(float rate) override;
    int32_t getChunk(void** data, bool preset) override;
    int32_t setChunk(void* data, int32_t size, bool preset) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    int32_t getPlugCategory() override { return kPlugCategEffect; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override { return 1000; }

    void processReplacing(float** inputs, float** outputs, int32_t frames) override;
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;

    // The editor, whether or not hosts are given it.
    QZ_Main_Vst_Editor* editorObject() {
        return ownEditor ? ownEditor : static_cast<QZ_Main_Vst_Editor*>(editor);
    }

    QZ_Application app;

    static const char vendor[];
    static const char title[];

private:
    QZ_Main_Vst_Editor* ownEditor = nullptr; // one not given to hosts
};

extern "C" {
QZ_ENTRY AEffect* VSTPluginMain(audioMasterCallback host);
QZ_EXPORT AEffect* _MAIN(audioMasterCallback host);
}
