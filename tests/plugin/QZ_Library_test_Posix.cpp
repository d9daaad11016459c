// The Linux plug-in beside another plug-in in one process, whichever of the
// two a host (or a bridge) loads with its symbols made global: it exports its
// entry points and nothing else, so no call binds across the two.
#include "QZ_Library.h"
#include "QZ_Vst2.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <dlfcn.h>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string peer_path() {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return std::string(dir ? dir : ".") + "/PeerEffect.so";
}

void* open(const std::string& path, int scope) {
    void* h = dlopen(path.c_str(), RTLD_NOW | scope);
    if (!h) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::exit(2);
    }
    return h;
}

// Our dispatcher's answers to effGetProgram (0: AudioEffect's dispatcher
// asks QZ_Main_Vst) and effGetVstVersion (AudioEffectX's 2400).
struct Answers {
    intptr_t program = -1, version = -1;
};
Answers our_answers(void* plugin) {
    Answers a;
    auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(plugin, "VSTPluginMain"));
    AEffect* fx = entry ? entry(&host) : nullptr;
    if (!fx) return a;
    a.program = fx->dispatcher(fx, effGetProgram, 0, 0, nullptr, 0.0f);
    a.version = fx->dispatcher(fx, effGetVstVersion, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    return a;
}

intptr_t peer_version(void* peer) {
    auto f = reinterpret_cast<int32_t (*)()>(dlsym(peer, "peer_vst_version"));
    return f ? f() : -1;
}

// Each order in a process of its own: a library once loaded keeps the
// bindings it got then.
void load(bool peerFirst) {
    void *ours, *peer;
    if (peerFirst) {
        peer = open(peer_path(), RTLD_GLOBAL);
        ours = open(qz::test::plugin_library_path(), RTLD_LOCAL);
    } else {
        ours = open(qz::test::plugin_library_path(), RTLD_GLOBAL);
        peer = open(peer_path(), RTLD_LOCAL);
    }
    const Answers mine = our_answers(ours);
    const intptr_t theirs = peer_version(peer);
    std::fprintf(stderr, "ours answers program %ld and version %ld, the peer version %ld\n",
                 long(mine.program), long(mine.version), long(theirs));
    std::exit(mine.program == 0 && mine.version == 2400 && theirs == 1234 ? 0 : 1);
}

TEST(LibraryBesideAPeerDeathTest, OurCallsStayOursWhenThePeersSymbolsAreGlobal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(load(true), ::testing::ExitedWithCode(0), "");
}

TEST(LibraryBesideAPeerDeathTest, ThePeersCallsStayTheirsWhenOursAreGlobal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(load(false), ::testing::ExitedWithCode(0), "");
}

} // namespace
