#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Object.h"
#include "QZ_PluginHost.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using qz::test::Host;

namespace {

class Plugin : public testing::Test {
protected:
    void SetUp() override { Host::calls.clear(); }
};

TEST_F(Plugin, EntryAsksTheHostFirstAndSizesTheEditor) {
    Host h;
    ASSERT_NE(h.fx, nullptr);
    ASSERT_GE(Host::calls.size(), 2u);
    EXPECT_EQ(Host::calls[0].opcode, audioMasterVersion);
    EXPECT_FALSE(Host::calls[0].withEffect);
    EXPECT_EQ(Host::calls[1].opcode, audioMasterSizeWindow);
    EXPECT_EQ(Host::calls[1].index, 200);
    EXPECT_EQ(Host::calls[1].value, 156);
    EXPECT_EQ(Host::calls.size(), 2u); // nothing else is asked of the host
}

TEST_F(Plugin, NoHostNoPlugin) {
    Host::version = 0;
    AEffect* fx = VSTPluginMain(&Host::callback);
    Host::version = 2400;
    EXPECT_EQ(fx, nullptr);
    EXPECT_EQ(Host::calls.size(), 1u);
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
    // the other names are the same entry
    Host::calls.clear();
    AEffect* other = _MAIN(&Host::callback);
    ASSERT_NE(other, nullptr);
    qz::test::stdout_of([&] { other->dispatcher(other, effClose, 0, 0, nullptr, 0); });
}

TEST_F(Plugin, EffectRecordFields) {
    Host h;
    const AEffect& e = *h.fx;
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 1);
    EXPECT_EQ(e.numParams, 4);
    EXPECT_EQ(e.numInputs, 1);
    EXPECT_EQ(e.numOutputs, 2);
    // can process replacing, and has an editor where hosts are given one
    EXPECT_EQ(e.flags, QZ_Main_Vst_Editor::forHosts() ? 0x11 : 0x10);
    EXPECT_EQ(e.resvd1, 0);
    EXPECT_EQ(e.resvd2, 0);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.realQualities, 0);
    EXPECT_EQ(e.offQualities, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_EQ(e.uniqueID, 0x36386F35);
    EXPECT_EQ(std::memcmp(&e.uniqueID, "5o86", 4), 0);
    EXPECT_EQ(e.version, 1);
    for (char c : e.future)
        EXPECT_EQ(c, 0);
    EXPECT_NE(e.dispatcher, nullptr);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.processDoubleReplacing, nullptr);
    EXPECT_NE(e.setParameter, nullptr);
    EXPECT_NE(e.getParameter, nullptr);
}

TEST_F(Plugin, ConstantAnswers) {
    Host h;
    EXPECT_EQ(h.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(h.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(h.dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(h.dispatch(effGetPlugCategory), 1);
    EXPECT_EQ(h.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(h.dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    EXPECT_EQ(h.dispatch(effGetProgram), 0);
    for (int i : {0, 3, 99, -1})
        EXPECT_EQ(h.dispatch(effCanBeAutomated, i), 1);
    char midi[] = "receiveVstMidiEvent", bypass[] = "bypass", other[] = "sendVstEvents";
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, midi), 0);
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, bypass), 0);
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, other), 0);
    EXPECT_EQ(h.dispatch(effEditGetRect), 0); // no editor yet
    EXPECT_EQ(h.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(h.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(Host::calls.size(), 2u); // resume asked the host for nothing
}

TEST_F(Plugin, UnsupportedOpcodesAnswerZero) {
    Host h;
    char buf[64] = "unchanged";
    for (int op : {4,  9,  16, 17, 18, 20, 21, 25, 27, 28, 30, 31, 32, 33, 34,  36,     37,
                   38, 39, 40, 41, 42, 43, 44, 46, 50, 52, 53, 54, 55, 56, 57,  62,     64,
                   65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 78, 79, 80, 200, 100000, -5})
        EXPECT_EQ(h.dispatch(op, 0, 0, buf), 0) << "opcode " << op;
    EXPECT_STREQ(buf, "unchanged");
}

TEST_F(Plugin, Texts) {
    Host h;
    EXPECT_EQ(h.text(effGetEffectName), "Velvet Rampart");
    EXPECT_EQ(h.text(effGetVendorString), QZ_Main_Vst::vendor);
    EXPECT_EQ(h.text(effGetProductString), std::string(QZ_Main_Vst::vendor) + " Velvet Rampart");
    EXPECT_LT(std::strlen(QZ_Main_Vst::title), size_t(kVstMaxProductStrLen));
    EXPECT_EQ(h.text(effGetProgramName), "Default program");
    char buf[64];
    EXPECT_EQ(h.dispatch(effGetProgramNameIndexed, 5, 0, buf), 1);
    EXPECT_STREQ(buf, "Default program");
    char name[24];
    std::memset(name, '#', sizeof name);
    h.dispatch(effGetProgramName, 0, 0, name);
    for (size_t i = std::strlen("Default program"); i < sizeof name; ++i)
        EXPECT_EQ(name[i], 0);
    // a null text pointer gets no answer and no crash
    EXPECT_EQ(h.dispatch(effGetEffectName), 0);
    EXPECT_EQ(h.dispatch(effGetParamName), 0);
}

TEST_F(Plugin, ChunksAndSpeakerArrangement) {
    Host h;
    void* data = &h;
    EXPECT_EQ(h.dispatch(effGetChunk, 1, 0, &data), -1);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(h.dispatch(effGetChunk), -1);
    char bytes[10] = {};
    EXPECT_EQ(h.dispatch(effSetChunk, 0, 10, bytes), 10);
    EXPECT_EQ(h.fx->flags & effFlagsProgramChunks, 0);
    void* in = &h;
    void* out = &h;
    EXPECT_EQ(h.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(h.dispatch(effSetProgram, 0, 1), 0); // only program 0 exists
    EXPECT_EQ(h.dispatch(effGetProgram), 0);
}

TEST_F(Plugin, ParameterTextsAndDefaults) {
    Host h;
    const char* names[] = {"State", "Sustain", "Freq", "Level"};
    const char* labels[] = {"On/Off", "dB", "Hz", "dB"};
    const char* displays[] = {"On", "-6.0000", "150.000", "-6.0000"};
    const float normals[] = {1.0f, 0.133333f, 0.285714f, 0.928571f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(h.text(effGetParamName, i), names[i]);
        EXPECT_EQ(h.text(effGetParamLabel, i), labels[i]);
        EXPECT_EQ(h.text(effGetParamDisplay, i), displays[i]);
        EXPECT_NEAR(h.get(i), normals[i], 1e-6) << i;
    }
}

TEST_F(Plugin, HostTextsFillAtMostEightBytes) {
    Host h;
    for (int op : {effGetParamName, effGetParamLabel, effGetParamDisplay})
        for (int i = -3; i < 8; ++i) {
            char buf[16];
            std::memset(buf, '#', sizeof buf);
            h.dispatch(op, i, 0, buf);
            EXPECT_LE(std::strlen(buf), 7u);
            for (int k = 8; k < 16; ++k)
                EXPECT_EQ(buf[k], '#') << op << " " << i;
            if (i < 0 || i > 3) {
                EXPECT_EQ(buf[0], 0);
            }
        }
}

TEST_F(Plugin, NormalisedValuesBothWays) {
    Host h;
    h.set(1, 0.2f);
    EXPECT_EQ(h.app().sustain.real(), -9.0f);
    EXPECT_EQ(h.text(effGetParamDisplay, 1), "-9.0000");
    EXPECT_EQ(h.text(effGetParamLabel, 1), "dB");
    EXPECT_NEAR(h.get(1), 0.2f, 1e-7);
    h.set(0, 0.5f);
    EXPECT_EQ(h.get(0), 0.0f);
    EXPECT_EQ(h.text(effGetParamDisplay, 0), "Off");
    h.set(0, 0.5000001f);
    EXPECT_EQ(h.get(0), 1.0f);
    EXPECT_EQ(h.text(effGetParamDisplay, 0), "On");
    h.set(2, 1.0f);
    EXPECT_EQ(h.app().freq.real(), 400.0f);
    h.set(3, 0.0f);
    EXPECT_EQ(h.app().level.real(), -45.0f);
    // Hosts send 0 … 1: beyond it, the nearest end (not +6 dBFS, not silence).
    const struct {
        int p;
        float x, v;
        const char* shown;
    } beyond[] = {{2, 2.0f, 400.0f, "400.000"},
                  {3, 2.0f, -3.0f, "-3.0000"},
                  {1, 1e30f, -45.0f, "-45.000"},
                  {1, -7.0f, 0.0f, "0.00000"}};
    for (const auto& c : beyond) {
        h.set(c.p, c.x);
        EXPECT_EQ(h.app().param(c.p)->real(), c.v) << c.x;
        EXPECT_EQ(h.text(effGetParamDisplay, c.p), c.shown);
    }
}

TEST_F(Plugin, NonFiniteAndOutOfRangeParameterCallsChangeNothing) {
    Host h;
    h.set(1, std::numeric_limits<float>::quiet_NaN());
    h.set(1, std::numeric_limits<float>::infinity());
    h.set(1, -std::numeric_limits<float>::infinity());
    EXPECT_EQ(h.app().sustain.real(), -6.0f);
    h.set(4, 0.5f);
    h.set(-1, 0.5f);
    h.set(1 << 30, 0.5f);
    EXPECT_EQ(h.get(4), 0.0f);
    EXPECT_EQ(h.get(-1), 0.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(h.text(effGetParamName, i), "");
}

TEST_F(Plugin, SampleRateReachesEveryBlockTruncated) {
    Host h;
    h.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.7f);
    EXPECT_EQ(h.app().clock, 48000);
    for (QZ_Effect* e : h.app().blocks) {
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->clock, 48000);
    }
    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()})
        h.dispatch(effSetSampleRate, 0, 0, nullptr, bad);
    for (QZ_Effect* e : h.app().blocks)
        EXPECT_EQ(e->clock, 48000);
    h.dispatch(effSetBlockSize, 0, 64);
}

TEST_F(Plugin, CloseAnswersOneAndDeletesEverything) {
    size_t before = qz::live_objects();
    Host h;
    // the chain, its buffers and blocks, and the editor's widgets
    EXPECT_EQ(qz::live_objects(), before + 1 + 5 + 11 + 32);
    EXPECT_EQ(QZ_Soundpipe::current, nullptr); // the chain was closed after building
    std::string said = qz::test::stdout_of(
        [&] { EXPECT_EQ(h.fx->dispatcher(h.fx, effClose, 0, 0, nullptr, 0), 1); });
    h.fx = nullptr;
    EXPECT_EQ(said, ""); // every handle was made, so none is reported
    EXPECT_EQ(h.said, "");
    EXPECT_EQ(qz::live_objects(), before);
}

TEST_F(Plugin, OnlyAWidgetThatIsReallyMissingIsReportedAtClose) {
    Host h;
    QZ_Application& a = h.app();
    QZ_command(a.texts.del, a.widgets[QZ_Application::W_TITLE]);
    a.widgets[QZ_Application::W_TITLE] = nullptr;
    std::string said =
        qz::test::stdout_of([&] { h.fx->dispatcher(h.fx, effClose, 0, 0, nullptr, 0); });
    h.fx = nullptr;
    EXPECT_EQ(said, "NULL WIDGET\n");
}

TEST_F(Plugin, TwoInstancesAreIndependent) {
    Host a, b;
    a.set(1, 1.0f);
    EXPECT_EQ(b.app().sustain.real(), -6.0f);
    EXPECT_NE(a.app().chain, b.app().chain);
    EXPECT_EQ(a.app().chain->buffers.count, 5);
    EXPECT_EQ(b.app().chain->buffers.count, 5);
}

} // namespace
