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

TEST(Library, EveryEntryNameCreatesAWorkingPlugin) {
    qz::test::Library lib(qz::test::plugin_library_path());
    ASSERT_TRUE(lib.loaded()) << qz::test::plugin_library_path();
    for (const char* name : {"VSTPluginMain", "main", "MAIN", "_VSTPluginMain", "_MAIN"}) {
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

TEST(Library, LoadRoutineStoresTheModuleInstance) {
    qz::test::Library lib(qz::test::plugin_library_path());
    ASSERT_TRUE(lib.loaded());
    auto instance = static_cast<void**>(lib.symbol("hInstance"));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(*instance, lib.instance());
    // the framework's exported data is there too
    auto ok = static_cast<const char* const*>(lib.symbol("QZ_OK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_STREQ(*ok, "Operation OK");
}

} // namespace
