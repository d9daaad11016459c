#pragma once
// A host for tests: loads the plug-in through its entry point and drives it
// only through the effect record, as a host does.
#include "QZ_Main_Vst.h"
#include "QZ_Vst2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qz::test {

struct HostCall {
    int32_t opcode, index;
    intptr_t value;
    bool withEffect;
};

class Host {
public:
    // Creates a plug-in through VSTPluginMain; quiet: the interpreter's and
    // the application's lines to standard output are kept in `said`.
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    std::string text(int32_t opcode, int32_t index = 0);
    void set(int32_t index, float x);
    float get(int32_t index);
    // One replacing call: one input channel, two outputs.
    void process(const std::vector<float>& in, std::vector<float>& out0, std::vector<float>& out1);
    std::vector<float> process(const std::vector<float>& in);
    void close();

    QZ_Main_Vst* object() { return static_cast<QZ_Main_Vst*>(fx->object); }
    QZ_Application& app() { return object()->app; }

    AEffect* fx = nullptr;
    std::string said;

    static std::vector<HostCall> calls;
    static intptr_t version; // what the host answers to the version request
    static intptr_t callback(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt);
};

} // namespace qz::test
