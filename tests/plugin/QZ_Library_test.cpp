// The built plug-in library, loaded the way a host loads it.
#include "QZ_Library.h"
#include "QZ_Vst2.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The names every build exports; the Windows library's others are tested
// with its exports.
TEST(Library, EveryEntryNameCreatesAWorkingPlugin) {
    qz::test::Library lib(qz::test::plugin_library_path());
    ASSERT_TRUE(lib.loaded()) << qz::test::plugin_library_path();
    for (const char* name : {"VSTPluginMain", "main"}) {
        auto entry = reinterpret_cast<VstPluginMainProc>(lib.symbol(name));
        ASSERT_NE(entry, nullptr) << name;
        AEffect* fx = entry(&host);
        ASSERT_NE(fx, nullptr) << name;
        EXPECT_EQ(fx->magic, kEffectMagic);
        EXPECT_EQ(fx->uniqueID, 0x36386F35);
        fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
        std::vector<float> in(1000, 0.25f), a(1000), b(1000);
        float* inputs[1] = {in.data()};
        float* outputs[2] = {a.data(), b.data()};
        fx->processReplacing(fx, inputs, outputs, 1000);
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
        EXPECT_EQ(fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f), 1);
    }
}

} // namespace
