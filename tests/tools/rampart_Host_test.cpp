// The host against the stand-in plug-ins: how it loads them, what it calls in
// which order, how it cuts a file into blocks and what it writes.
#include "Error.h"
#include "Host.h"
#include "Output.h"
#include "Wav.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace rampart {
namespace {

using test::contains;

// A stand-in's call log. It holds its own reference to the library, so the
// log outlives the host's load and unload.
class CallLog {
public:
    explicit CallLog(const std::string& name) : lib_(Library::open(test::fixture(name))) {
        log_ = reinterpret_cast<const char* (*)()>(lib_->symbol("testgain_log"));
        clear_ = reinterpret_cast<void (*)()>(lib_->symbol("testgain_clear_log"));
        if (!log_ || !clear_) throw Error(name + " has no call log");
        clear_();
    }
    std::string text() const { return log_(); }
    void clear() { clear_(); }
    // The lines that start with `what`.
    std::vector<std::string> lines(const std::string& what) const {
        std::vector<std::string> v;
        std::istringstream in(text());
        for (std::string l; std::getline(in, l);)
            if (l.rfind(what, 0) == 0) v.push_back(l);
        return v;
    }

private:
    std::unique_ptr<Library> lib_;
    const char* (*log_)() = nullptr;
    void (*clear_)() = nullptr;
};

class StandIn : public testing::Test {
protected:
    std::string log() const { return log_.text(); }
    std::vector<std::string> lines(const std::string& what) const { return log_.lines(what); }
    void clear_log() { log_.clear(); }
    std::string path() const { return test::fixture("TestGain"); }

    // Renders `audio` through the stand-in into a file and answers the file.
    test::Audio render_file(const test::Audio& audio, RenderSettings settings,
                            ChannelMode mode = ChannelMode::Auto) {
        std::string dir = test::scratch_dir();
        test::write_wav(dir + "/in.wav", audio);
        WavReader in(open_file_source(dir + "/in.wav"), "in.wav");
        Plugin p(path());
        FileOutput out(dir + "/out.wav", OutputFormat::Wav, audio.rate, mode);
        render(p, in, out, settings);
        p.close();
        out.finish();
        first_difference_ = out.first_difference();
        EXPECT_EQ(test::names_in(dir), (std::vector<std::string>{"in.wav", "out.wav"}));
        return test::read_audio(dir + "/out.wav");
    }
    int64_t first_difference_ = -2;

private:
    CallLog log_{"TestGain"};
};

// An input of known length straight from memory.
class Silence : public AudioReader {
public:
    Silence(int64_t frames, int channels = 1) {
        frames_ = left_ = frames;
        channels_ = channels;
        rate_ = 48000;
        name_ = "silence";
    }
    size_t read(double* out, size_t n) override {
        n = static_cast<size_t>(std::min<int64_t>(left_, static_cast<int64_t>(n)));
        std::fill_n(out, n * static_cast<size_t>(channels_), 0.0);
        left_ -= static_cast<int64_t>(n);
        return n;
    }
    using AudioReader::read;

private:
    int64_t left_;
};

class NullSink : public OutputSink {
public:
    void write(std::span<const InstanceOutput> outputs, size_t frames) override {
        frames_.push_back(frames);
        two_ = outputs[0].second != nullptr;
    }
    std::vector<size_t> frames_;
    bool two_ = false;
};

TEST(HostCallback, AnswersTheVersionAndNothingElse) {
    EXPECT_EQ(host_callback(nullptr, audioMasterVersion, 0, 0, nullptr, 0), 2400);
    for (int32_t op :
         std::initializer_list<int32_t>{audioMasterAutomate, audioMasterCurrentId, audioMasterIdle,
                                        audioMasterWantMidi, audioMasterSizeWindow, 42, -1})
        EXPECT_EQ(host_callback(nullptr, op, 200, 156, nullptr, 1.0f), 0) << op;
}

TEST_F(StandIn, IsLoadedThroughVSTPluginMainWithTheHostCallback) {
    Plugin p(path());
    EXPECT_STREQ(p.entry_name(), "VSTPluginMain");
    EXPECT_EQ(p.effect().magic, kEffectMagic);
    EXPECT_EQ(p.effect().numOutputs, 2);
    EXPECT_EQ(log(), "version 2400\nhost 2 answers 0\n");
    EXPECT_EQ(p.text(effGetEffectName), "Test Gain");
    EXPECT_EQ(p.find_parameter("level"), 3);
    EXPECT_EQ(p.find_parameter("Spread"), 4);
    EXPECT_EQ(p.find_parameter("Sustai"), -1);
    p.close();
    EXPECT_EQ(lines("close").size(), 1u);
}

TEST_F(StandIn, ClosesThroughTheDispatcherWhenDropped) {
    { Plugin p(path()); }
    EXPECT_EQ(lines("close").size(), 1u);
}

TEST(PluginLoading, FallsBackToTheEntryNamedMain) {
    Plugin p(test::fixture("TestGainMain"));
    EXPECT_STREQ(p.entry_name(), "main");
    EXPECT_EQ(p.effect().numParams, 2);
}

TEST(PluginLoading, RefusesWhatIsNoVst2Plugin) {
    struct Case {
        std::string path, message;
    } cases[] = {
        {test::fixture("NotVst"),
         "is not a VST 2.x plug-in: it exports neither VSTPluginMain nor main"},
        {test::fixture("WrongMagic"), "is not a VST 2.x plug-in: its effect record has the magic "
                                      "0x12345678, not 0x56737450 ('VstP')"},
        {test::fixture("NullRecord"),
         "is not a VST 2.x plug-in: VSTPluginMain answered no effect record"},
        {test::fixture("Missing"), "cannot load plug-in "},
        {test::build_dir(), "cannot load plug-in "},
    };
    for (const Case& c : cases) {
        try {
            Plugin p(c.path);
            ADD_FAILURE() << "loaded " << c.path;
        } catch (const Error& e) {
            EXPECT_TRUE(contains(e.what(), c.message)) << e.what();
            EXPECT_TRUE(contains(e.what(), c.path)) << e.what();
        }
    }
}

TEST(PluginLoading, RefusesAFileThatIsNoLibrary) {
    std::string path = test::scratch_dir() + "/fake" + test::library_suffix();
    test::write_wav(path, test::ramp(10));
    try {
        Plugin p(path);
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(contains(e.what(), "cannot load plug-in " + path + ": ")) << e.what();
    }
}

TEST_F(StandIn, IsDrivenInTheHostsOrder) {
    Plugin p(path());
    Silence in(1300);
    NullSink out;
    RenderSettings s;
    s.parameters = {{"State", 1.0f}, {"Level", 0.5f}};
    RenderStats st = render(p, in, out, s);
    p.close();
    EXPECT_EQ(st.frames, 1300);
    EXPECT_EQ(st.blocks, 3);
    EXPECT_EQ(log(), "version 2400\nhost 2 answers 0\n"
                     "open\n"
                     "name 0\n"
                     "name 0\nname 1\nname 2\nname 3\n"
                     "rate 48000\nblock 512\nmains 1\n"
                     "set 0 1.000000\nset 3 0.500000\n"
                     "process 512\nprocess 512\nprocess 276\n"
                     "mains 0\nclose\n");
    EXPECT_EQ(out.frames_, (std::vector<size_t>{512, 512, 276}));
    EXPECT_TRUE(out.two_);
}

TEST_F(StandIn, CutsTheInputIntoHostBlocks) {
    struct Case {
        int64_t frames;
        int block;
        std::vector<size_t> calls;
    } cases[] = {{1300, 512, {512, 512, 276}}, {1024, 512, {512, 512}},
                 {5, 1, {1, 1, 1, 1, 1}},      {0, 512, {}},
                 {1300, 1048576, {1300}},      {513, 512, {512, 1}}};
    for (const Case& c : cases) {
        Plugin p(path());
        Silence in(c.frames, 2);
        NullSink out;
        RenderSettings s;
        s.block = c.block;
        render(p, in, out, s);
        EXPECT_EQ(out.frames_, c.calls) << c.frames << " frames in blocks of " << c.block;
        EXPECT_EQ(lines("block"), std::vector<std::string>{"block " + std::to_string(c.block)});
        std::vector<std::string> want;
        for (size_t n : c.calls)
            want.push_back("process " + std::to_string(n));
        EXPECT_EQ(lines("process"), want);
        clear_log();
    }
}

TEST(PluginParameters, UnknownOneStopsBeforeAnyAudioAndThePluginStillCloses) {
    CallLog log("TestGainMain");
    {
        Plugin p(test::fixture("TestGainMain"));
        Silence in(100);
        NullSink out;
        RenderSettings s;
        s.parameters = {{"Sustain", 0.5f}};
        try {
            render(p, in, out, s);
            FAIL();
        } catch (const Error& e) {
            EXPECT_TRUE(contains(e.what(), "has no parameter named Sustain")) << e.what();
        }
        EXPECT_TRUE(out.frames_.empty());
    }
    EXPECT_EQ(log.lines("process").size(), 0u);
    EXPECT_EQ(log.lines("mains"), std::vector<std::string>{});
    EXPECT_EQ(log.lines("close").size(), 1u);
}

TEST_F(StandIn, FeedsTheFirstChannelAndWritesTheExpectedGain) {
    test::Audio in = test::ramp(3001, 44100, 2);
    RenderSettings s;
    s.block = 100;
    s.parameters = {{"Level", 0.5f}};
    test::Audio out = render_file(in, s);
    ASSERT_EQ(out.channels, 1); // both outputs alike: one channel
    EXPECT_EQ(out.rate, 44100);
    ASSERT_EQ(out.frames(), 3001u);
    for (size_t i = 0; i < out.frames(); ++i)
        ASSERT_EQ(out.samples[i], in.samples[2 * i] * 0.5f) << "frame " << i;
    EXPECT_EQ(first_difference_, -1);
}

TEST_F(StandIn, RunsAnInstancePerChannelInStepWithTheSameParameters) {
    // Silent starts: the outputs first differ in the second block, earliest in
    // the second channel's instance.
    test::Audio in = test::ramp(1100, 48000, 3);
    const size_t silent[] = {700, 600, 650};
    for (size_t c = 0; c < 3; ++c)
        for (size_t i = 0; i < silent[c]; ++i)
            in.samples[3 * i + c] = 0.0f;
    std::string dir = test::scratch_dir();
    test::write_wav(dir + "/in.wav", in);
    WavReader reader(open_file_source(dir + "/in.wav"), "in.wav");
    Plugin a(path()), b(path()), c(path());
    Plugin* each[] = {&a, &b, &c};
    RenderSettings s;
    s.parameters = {{"Level", 0.5f}, {"Spread", 0.5f}};
    {
        FileOutput out(dir + "/out.wav", OutputFormat::Wav, 48000, ChannelMode::Auto, 3);
        RenderStats st = render(each, reader, out, s);
        EXPECT_EQ(st.blocks, 3);
        EXPECT_EQ(out.first_difference(), 600);
        out.finish();
    }
    for (Plugin* p : each)
        p->close();
    auto times = [&](const std::string& line, size_t n) { return std::vector(n, line); };
    EXPECT_EQ(lines("open"), times("open", 3));
    EXPECT_EQ(lines("set"),
              (std::vector<std::string>{"set 3 0.500000", "set 4 0.500000", "set 3 0.500000",
                                        "set 4 0.500000", "set 3 0.500000", "set 4 0.500000"}));
    // Block by block, every instance in turn.
    std::vector<std::string> process = times("process 512", 6);
    process.insert(process.end(), 3, "process 76");
    EXPECT_EQ(lines("process"), process);
    EXPECT_EQ(lines("mains 0"), times("mains 0", 3));
    // Channel k holds the first output of the instance given channel k.
    test::Audio out = test::read_audio(dir + "/out.wav");
    ASSERT_EQ(out.channels, 3);
    EXPECT_EQ(out.frames(), 1100u);
    for (size_t i = 0; i < in.samples.size(); ++i)
        ASSERT_EQ(out.samples[i], in.samples[i] * 0.5f) << "sample " << i;
}

TEST_F(StandIn, WidensToTwoChannelsFromTheFirstDifference) {
    // Silence first: the outputs differ only once the signal starts.
    test::Audio in = test::ramp(3000);
    std::fill_n(in.samples.begin(), 1000, 0.0f);
    RenderSettings s;
    s.block = 64;
    s.parameters = {{"Spread", 0.5f}};
    test::Audio out = render_file(in, s);
    ASSERT_EQ(out.channels, 2);
    ASSERT_EQ(out.frames(), 3000u);
    EXPECT_EQ(first_difference_, 1000);
    for (size_t i = 0; i < 3000; ++i) {
        ASSERT_EQ(out.samples[2 * i], in.samples[i]) << "frame " << i;
        ASSERT_EQ(out.samples[2 * i + 1], in.samples[i] * 0.5f) << "frame " << i;
    }
}

TEST_F(StandIn, KeepsTheChannelCountItIsTold) {
    test::Audio in = test::ramp(500);
    RenderSettings s;
    s.parameters = {{"Spread", 0.25f}};
    test::Audio one = render_file(in, s, ChannelMode::One);
    EXPECT_EQ(one.channels, 1);
    EXPECT_EQ(one.samples, in.samples);
    EXPECT_EQ(first_difference_, 0);
    s.parameters.clear();
    test::Audio two = render_file(in, s, ChannelMode::Two);
    ASSERT_EQ(two.channels, 2);
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(two.samples[2 * i], two.samples[2 * i + 1]);
}

// Temporary files: new, beside the output, never a name that exists.
TEST(FileOutputs, LeaveNothingBehindWhenUnfinished) {
    std::string dir = test::scratch_dir();
    std::ofstream(dir + "/o.wav.part") << "not ours";
    std::ofstream(dir + "/o.wav.part2") << "not ours either";
    const std::vector<std::string> before = test::names_in(dir);
    auto temporaries = [&] {
        std::vector<std::string> v;
        for (const std::string& name : test::names_in(dir))
            if (name.rfind("o.wav.", 0) == 0 && name.size() == 19 && contains(name, ".part"))
                v.push_back(name);
        return v;
    };
    {
        FileOutput out(dir + "/o.wav", OutputFormat::Wav, 8000, ChannelMode::Auto);
        auto mono = temporaries();
        EXPECT_EQ(mono.size(), 1u); // o.wav.XXXXXXXX.part
        float a[3] = {1, 2, 3}, b[3] = {1, 2, 4};
        out.write(a, b, 3); // widened: another temporary file, the first one gone
        auto stereo = temporaries();
        EXPECT_EQ(stereo.size(), 1u);
        EXPECT_NE(stereo, mono);
    }
    EXPECT_EQ(test::names_in(dir), before);
    EXPECT_EQ(test::file_bytes(dir + "/o.wav.part"), "not ours");
}

} // namespace
} // namespace rampart
