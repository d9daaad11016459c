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

// Channel c of a file as a file of its own.
test::Audio channel_of(const test::Audio& a, int c) {
    test::Audio one{a.rate, 1, {}};
    for (size_t i = 0; i < a.frames(); ++i)
        one.samples.push_back(a.samples[i * a.channels + c]);
    return one;
}

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

TEST_F(Program, RendersEachChannelThroughAnInstanceOfItsOwn) {
    for (int channels : {2, 3}) {
        // Unlike content and levels: an instance given another's channel, or
        // state shared between instances, changes the sustainer's output.
        test::Audio in = test::ramp(6000, 44100, channels);
        for (size_t i = 0; i < in.samples.size(); ++i)
            in.samples[i] /= static_cast<float>(1 + 3 * (i % channels));
        test::write_wav(file("in.wav"), in);
        const std::vector<std::string> settings = {"--sustain", "-30", "--block", "300"};
        auto render = [&](std::vector<std::string> args) {
            args.insert(args.begin(), "render");
            args.insert(args.end(), settings.begin(), settings.end());
            Ran r = test::run_rampart(args);
            EXPECT_EQ(r.status, 0) << r.err;
            return r;
        };
        Ran all = render({file("in.wav"), file("all.wav")});
        EXPECT_TRUE(contains(all.out, "(" + std::to_string(channels) +
                                          " channels, each through an instance of its own)"))
            << all.out;
        test::Audio out = test::read_audio(file("all.wav"));
        ASSERT_EQ(out.channels, channels);
        ASSERT_EQ(out.frames(), in.frames());
        for (int c = 0; c < channels; ++c) {
            SCOPED_TRACE("channel " + std::to_string(c + 1) + " of " + std::to_string(channels));
            test::write_wav(file("mono.wav"), channel_of(in, c));
            render({file("mono.wav"), file("alone.wav")});
            test::Audio alone = test::read_audio(file("alone.wav"));
            ASSERT_EQ(alone.channels, 1);
            EXPECT_TRUE(alone.samples != channel_of(in, c).samples) << "the plug-in did nothing";
            EXPECT_TRUE(channel_of(out, c).samples == alone.samples) << "not as rendered alone";
            std::string n = std::to_string(c + 1);
            Ran picked = render({file("in.wav"), file("picked.wav"), "--channel", n});
            EXPECT_TRUE(contains(picked.out, "(1 channel, from channel " + n + " of " +
                                                 std::to_string(channels) + ")"))
                << picked.out;
            Ran same = test::run_rampart({"compare", file("picked.wav"), file("alone.wav")});
            EXPECT_EQ(same.status, 0) << same.out;
        }
    }
}

TEST_F(Program, FailsClearlyAndWritesNothing) {
    test::write_wav(file("in.wav"), test::ramp(1000));
    test::write_wav(file("stereo.wav"), test::ramp(1000, 44100, 2));
    test::write_wav(file("wide.wav"), test::ramp(10, 44100, 90));
    std::string gain = test::fixture("TestGain");
    test::expect_refused(
        {
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
            {{"render", file("in.wav"), file("out.wav"), "--channel", "0"},
             2,
             "rampart: --channel must be a whole number from 1 to 65535 (got '0')\n"
             "(see rampart render --help)"},
            {{"render", file("in.wav"), file("out.wav"), "--channel", "left"}, 2, "(got 'left')"},
            {{"render", file("in.wav"), file("out.wav"), "--channel", "2"},
             2,
             "rampart: --channel 2: " + file("in.wav") + " has one channel\n"},
            {{"render", file("stereo.wav"), file("out.wav"), "--channel", "3", "--plugin", gain},
             2,
             "--channel 3: " + file("stereo.wav") + " has 2 channels"},
            {{"render", file("stereo.wav"), file("out.wav"), "--channels", "2", "--plugin", gain},
             2,
             "--channels 2 is for a render of one channel, and " + file("stereo.wav") +
                 " has 2 channels (render one of them with --channel N)"},
            {{"render", file("wide.wav"), file("out.wav"), "--plugin", gain, "--block", "1048576"},
             1,
             "blocks of 1048576 frames through 90 instances need 1080 MiB of buffers"},
            {{"render", file("in.wav"), file("out.mp3"), "--plugin", gain},
             2,
             "cannot tell the output format"},
            {{"render", gain, file("out.wav"), "--plugin", gain}, 1, "rampart: " + gain + ": "},
            {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
            {{"compare", file("in.wav"), file("none.wav")}, 2, "cannot open"},
            {{"levels", file("in.wav"), "--from", "5"}, 1, "is past the end of"},
        },
        file("out.wav"));
}

TEST_F(Program, HelpGoesToStandardOutput) {
    Ran r = test::run_rampart({"render", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.out, "channel k of OUT is the first output")) << r.out;
    Ran none = test::run_rampart({});
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(contains(none.err, "Usage: rampart COMMAND")) << none.err;
}

} // namespace
} // namespace rampart
