#include "QZ_PluginHost.h"

#include "QZ_Library.h"
#include "QZ_TestSupport.h"

#include <cstring>

namespace qz::test {

std::vector<HostCall> Host::calls;
intptr_t Host::version = 2400;

intptr_t Host::callback(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void*, float) {
    calls.push_back({opcode, index, value, e != nullptr});
    return opcode == audioMasterVersion ? version : 0;
}

Host::Host() {
    use_plugin_resources(); // the editor's images
    said = stdout_of([&] { fx = VSTPluginMain(&callback); });
}

Host::~Host() {
    close();
}

void Host::close() {
    if (!fx) return;
    said += stdout_of([&] { fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f); });
    fx = nullptr;
}

intptr_t Host::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    intptr_t r = 0;
    said += stdout_of([&] { r = fx->dispatcher(fx, opcode, index, value, ptr, opt); });
    return r;
}

std::string Host::text(int32_t opcode, int32_t index) {
    char buf[256];
    std::memset(buf, '#', sizeof buf);
    dispatch(opcode, index, 0, buf);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

void Host::set(int32_t index, float x) {
    said += stdout_of([&] { fx->setParameter(fx, index, x); });
}

float Host::get(int32_t index) {
    return fx->getParameter(fx, index);
}

void Host::process(const std::vector<float>& in, std::vector<float>& out0,
                   std::vector<float>& out1) {
    out0.assign(in.size(), -7.0f);
    out1.assign(in.size(), -7.0f);
    std::vector<float> ignored(in.size(), 0.25f); // a second input the plug-in must not read
    float* inputs[2] = {const_cast<float*>(in.data()), ignored.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    fx->processReplacing(fx, inputs, outputs, int32_t(in.size()));
}

std::vector<float> Host::process(const std::vector<float>& in) {
    std::vector<float> a, b;
    process(in, a, b);
    return a;
}

} // namespace qz::test
