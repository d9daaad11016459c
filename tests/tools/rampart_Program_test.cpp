// The real rampart program with the stand-in plug-ins, as a user runs it
// (rampart.exe under wine in the Windows build).
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

namespace rampart {
namespace {

using test::contains;
using test::Ran;

class Program : public testing::Test {
protected:
    void SetUp() override { dir_ = test::scratch_dir(); }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_;
};

TEST_F(Program, InfoPrintsTheRecordParametersAndTexts) {
    Ran r = test::run_rampart({"info", test::fixture("TestGain")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"entry point      VSTPluginMain\n", "magic            0x56737450 'VstP'\n",
          "flags            0x00000010 (can process replacing)\n", "inputs           1\n",
          "outputs          2\n", "unique ID        0x5447616E 'TGan' (bytes in memory 'naGT')\n",
          "version          7\n", "parameters       5\n", "programs         1\n",
          "effect name      Test Gain\n", "vendor           Velvet Rampart tests\n",
          "product          TestGain fixture\n", "vendor version   3\n", "VST version      2400\n",
          "category         1 (effect)\n", "program          Unity\n",
          "0      State      On/Off     On           1.000000\n",
          "3      Level      x          1.000        1.000000\n",
          "4      Spread     x          0.000        0.000000\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << "missing from:\n" << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(Program, LoadsThePluginBesideItByDefault) {
    Ran r = test::run_rampart({"info"});
    // Loaded or refused, it is the Velvet Rampart library next to the program.
    std::string name = std::string("VelvetRampart") + test::library_suffix();
    EXPECT_TRUE(contains(r.status == 0 ? r.out : r.err, name)) << r.out << r.err;
}

TEST_F(Program, RendersTheStandInsGain) {
    Ran s = test::run_rampart({"synth", file("in.wav"), "--seconds", "2", "--rate", "22050"});
    ASSERT_EQ(s.status, 0) << s.err;
    Ran r = test::run_rampart({"render", file("in.wav"), file("out.wav"), "--plugin",
                               test::fixture("TestGain"), "--level", "-24", "--state", "on",
                               "--block", "300"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "rendered 44100 frames (2.000 s at 22050 Hz) in 147 blocks"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "(1 channel)")) << r.out;
    test::Audio in = test::read_audio(file("in.wav")), out = test::read_audio(file("out.wav"));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    EXPECT_EQ(out.rate, 22050);
    for (size_t i = 0; i < in.samples.size(); ++i)
        ASSERT_EQ(out.samples[i], in.samples[i] * 0.5f) << "sample " << i;

    Ran same = test::run_rampart({"compare", file("in.wav"), file("in.wav")});
    EXPECT_EQ(same.status, 0);
    Ran differ = test::run_rampart({"compare", file("in.wav"), file("out.wav")});
    EXPECT_EQ(differ.status, 1);
    EXPECT_TRUE(contains(differ.out, "first difference at frame 1")) << differ.out;
    Ran levels = test::run_rampart({"levels", file("out.wav"), "--from", "0", "--to", "1"});
    EXPECT_EQ(levels.status, 0);
    EXPECT_TRUE(contains(levels.out, "from 0.000 s to 1.000 s (22050 frames)\npeak "))
        << levels.out;
}

TEST_F(Program, FailsClearlyAndWritesNothing) {
    test::write_wav(file("in.wav"), test::ramp(1000));
    std::string gain = test::fixture("TestGain");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"render", file("none.wav"), file("out.wav"), "--plugin", gain},
         1,
         "rampart: cannot open " + file("none.wav")},
        {{"render", file("in.wav"), file("out.wav"), "--plugin", test::fixture("NotVst")},
         1,
         "exports neither VSTPluginMain nor main"},
        {{"render", file("in.wav"), file("out.wav"), "--plugin", test::fixture("WrongMagic")},
         1,
         "magic 0x12345678"},
        {{"render", file("in.wav"), file("out.wav"), "--plugin", test::fixture("TestGainMain"),
          "--sustain", "-3"},
         1,
         "has no parameter named Sustain"},
        {{"render", file("in.wav"), file("out.wav"), "--block", "0"},
         2,
         "rampart: --block must be a whole number from 1 to 1048576 (got '0')\n"
         "(see rampart render --help)"},
        {{"render", file("in.wav"), file("out.wav"), "--sustain", "3"},
         2,
         "--sustain must be from -45 to 0 dB (got 3)"},
        {{"render", file("in.wav"), file("out.wav"), "--loud", "1"},
         2,
         "unknown option --loud for render"},
        {{"render", file("in.wav"), file("out.mp3"), "--plugin", gain},
         1,
         "cannot tell the output format"},
        {{"render", gain, file("out.wav"), "--plugin", gain}, 1, "rampart: " + gain + ": "},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"compare", file("in.wav"), file("none.wav")}, 2, "cannot open"},
        {{"levels", file("in.wav"), "--from", "5"}, 1, "is past the end of"},
    };
    for (const Case& c : cases) {
        Ran r = test::run_rampart(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
        EXPECT_FALSE(test::file_exists(file("out.wav"))) << c.message;
        EXPECT_FALSE(test::file_exists(file("out.wav.part"))) << c.message;
    }
}

TEST_F(Program, HelpGoesToStandardOutput) {
    Ran r = test::run_rampart({"render", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "FIRST CHANNEL of IN")) << r.out;
    Ran none = test::run_rampart({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(contains(none.err, "usage: rampart COMMAND")) << none.err;
}

} // namespace
} // namespace rampart
