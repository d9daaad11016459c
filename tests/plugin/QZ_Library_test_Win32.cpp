// The DLL's own exports: the entry point's other names and the framework's
// data and functions, called through the names a program finds them by.
#include "QZ_Library.h"
#include "QZ_Vst2.h"
#include "Rts/Rts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(LibraryExports, TheEntryPointsOtherNamesCreateAPlugin) {
    qz::test::Library lib(qz::test::plugin_library_path());
    ASSERT_TRUE(lib.loaded()) << qz::test::plugin_library_path();
    for (const char* name : {"MAIN", "_VSTPluginMain", "_MAIN"}) {
        auto entry = reinterpret_cast<VstPluginMainProc>(lib.symbol(name));
        ASSERT_NE(entry, nullptr) << name;
        AEffect* fx = entry(&host);
        ASSERT_NE(fx, nullptr) << name;
        EXPECT_EQ(fx->magic, kEffectMagic) << name;
        EXPECT_EQ(fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f), 1) << name;
    }
}

TEST(LibraryExports, LoadRoutineStoresTheModuleInstance) {
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

TEST(LibraryExports, CopyBufferConvertsThroughItsExportedName) {
    qz::test::Library lib(qz::test::plugin_library_path());
    ASSERT_TRUE(lib.loaded());
    using Copy = QZ_error (*)(QZ_Rts::Chan*, QZ_Rts::Chan*);
    auto copy = reinterpret_cast<Copy>(lib.symbol("_ZN6QZ_Rts10copyBufferEPNS_4ChanES1_"));
    auto ok = static_cast<const char* const*>(lib.symbol("QZ_OK"));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(ok, nullptr);
    int16_t half[2] = {0x4000, -0x4000};
    float out[2] = {};
    QZ_Rts::Chan src("in", 0x1002, 2), dst("out", 0x1002004, 2);
    src.data = half;
    dst.data = out;
    EXPECT_EQ(copy(&dst, &src), *ok) << "the DLL's own code, not ours";
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], -0.5f);
    auto instances = static_cast<QZ_Chain*>(lib.symbol("QZ_Rts_instances"));
    ASSERT_NE(instances, nullptr);
    EXPECT_EQ(instances->count, 0) << "the plug-in makes no device";
}

// Which of the libraries a host should not load for the plug-in are loaded.
std::string loaded_extras() {
    std::string names;
    for (const char* name : {"winmm.dll", "ole32.dll", "comdlg32.dll"})
        if (GetModuleHandleA(name)) names += std::string(names.empty() ? "" : " ") + name;
    return names.empty() ? "none" : names;
}

// In a process of its own, where nothing else loaded them: the DLL loads
// winmm and ole32 when a device is first made and probed, not before.
void load_then_use_devices() {
    const std::string before = loaded_extras();
    HMODULE dll = LoadLibraryA(qz::test::plugin_library_path().c_str());
    const std::string loaded = loaded_extras();
    using ClassInit = QZ_error (*)(QZ_Rts::Callback);
    auto wave = reinterpret_cast<ClassInit>(
        reinterpret_cast<void*>(GetProcAddress(dll, "_ZN12QZ_Rts_Win329classInitEPFvvE")));
    auto asio = reinterpret_cast<ClassInit>(
        reinterpret_cast<void*>(GetProcAddress(dll, "_ZN11QZ_Rts_Asio9classInitEPFvvE")));
    auto instances = reinterpret_cast<QZ_Chain*>(GetProcAddress(dll, "QZ_Rts_instances"));
    auto ok = reinterpret_cast<const char* const*>(GetProcAddress(dll, "QZ_OK"));
    if (!dll || !wave || !asio || !instances || !ok) {
        std::fprintf(stderr, "the DLL or its device exports are missing\n");
        std::exit(1);
    }
    const bool made = wave(nullptr) == *ok && instances->count == 1;
    static_cast<QZ_Rts*>(instances->first()->data)->init();
    const std::string probed = loaded_extras();
    const bool listed = asio(nullptr) == *ok;
    const std::string drivers = loaded_extras();
    std::fprintf(stderr,
                 "before: %s; with the plug-in: %s; after a wave device's init: %s; after "
                 "listing ASIO drivers: %s\n",
                 before.c_str(), loaded.c_str(), probed.c_str(), drivers.c_str());
    const bool lazy = before == "none" && loaded == "none" &&
                      probed.find("winmm.dll") != std::string::npos &&
                      drivers.find("ole32.dll") != std::string::npos &&
                      drivers.find("comdlg32.dll") == std::string::npos;
    std::exit(made && listed && lazy ? 0 : 1);
}

TEST(LibraryExportsDeathTest, DevicesLoadWinmmAndOle32OnlyWhenUsed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(load_then_use_devices(), ::testing::ExitedWithCode(0), "");
}

} // namespace
