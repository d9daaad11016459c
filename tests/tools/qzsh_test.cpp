#include "QZ_Buffer.h"
#include "QZ_Door.h"
#include "QZ_Effect_Gtzero.h"
#include "QZ_Fourier_Transform.h"
#include "QZ_Shell.h"
#include "QZ_Soundpipe.h"
#include "Wid_Knob.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

// Everything a shell wrote to its stream.
std::string read_all(std::FILE* f) {
    std::string s;
    std::rewind(f);
    int c;
    while ((c = std::fgetc(f)) != EOF)
        s.push_back(char(c));
    return s;
}

class Shell : public testing::Test {
protected:
    void SetUp() override { out = std::tmpfile(); }
    void TearDown() override {
        std::fclose(out);
        QZ_Soundpipe::current = nullptr;
    }
    // Runs a line and answers everything it printed.
    std::string said(qz::Shell& sh, const std::string& line, bool expect_ok) {
        long at = std::ftell(out);
        EXPECT_EQ(sh.line(line), expect_ok) << line;
        std::string text = read_all(out).substr(size_t(at));
        std::fseek(out, 0, SEEK_END);
        return text;
    }
    std::FILE* out = nullptr;
};

TEST_F(Shell, OneLinePerCommandAndHandlesTypedIntoLaterLines) {
    qz::Shell sh(out);
    EXPECT_TRUE(sh.line("QZ_Soundpipe -bl 512 -bl"));
    std::string first = read_all(out);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first, m, std::regex("(0x[0-9A-F]+) 512\n")));
    std::string pipe = m[1];
    EXPECT_TRUE(sh.line("QZ_Buffer -l 64 -l -limit 2.9 -limit"));
    EXPECT_TRUE(sh.line("QZ_Soundpipe " + pipe + " -bl 100 -bl -e"));
    EXPECT_TRUE(sh.line("# a comment"));
    EXPECT_TRUE(sh.line(""));
    EXPECT_TRUE(sh.line("QZ_Soundpipe " + pipe + " -delete"));
    std::string all = read_all(out);
    EXPECT_TRUE(std::regex_match(all, std::regex("0x[0-9A-F]+ 512\n0x[0-9A-F]+ 64 2\n100 1\n\n")))
        << all;
}

TEST_F(Shell, FailuresPrintTheMessageAndCount) {
    qz::Shell sh(out);
    EXPECT_FALSE(sh.line("QZ_Nope -x"));
    EXPECT_FALSE(sh.line("QZ_Buffer -nosuch"));
    EXPECT_FALSE(sh.line("%o -l"));
    EXPECT_FALSE(sh.line("QZ_Buffer -t %s"));
    // a discard placeholder and a final "%" need no argument and run
    EXPECT_TRUE(sh.line("QZ_Soundpipe -bl % -e %"));
    std::string all = read_all(out);
    EXPECT_TRUE(
        std::regex_match(all, std::regex("error: Command not found\nerror: Param not found\n"
                                         "error: conversions need arguments\n"
                                         "error: conversions need arguments\n"
                                         "0x[0-9A-F]+\n")))
        << all;
}

TEST_F(Shell, TheSessionsObjectsGoWithIt) {
    size_t before = qz::live_objects();
    {
        qz::Shell sh(out);
        EXPECT_TRUE(sh.line("QZ_Soundpipe -bl 64"));
        EXPECT_TRUE(sh.line("QZ_Buffer"));
        EXPECT_TRUE(sh.line("QZ_Effect_Hipass"));
        EXPECT_EQ(qz::live_objects(), before + 3);
        // blocks that own buffers and blocks of their own: each goes once
        EXPECT_TRUE(sh.line("QZ_Fourier_Transform -s 5"));
        EXPECT_TRUE(sh.line("QZ_Fourier_Noisegate -o1 -o2"));
    }
    EXPECT_EQ(qz::live_objects(), before);
    EXPECT_EQ(QZ_Soundpipe::current, nullptr);
}

TEST_F(Shell, BuildsAndRunsAChainWithThePitchShifters) {
    qz::Shell sh(out);
    ASSERT_TRUE(sh.line("QZ_Soundpipe -bl 512"));
    ASSERT_TRUE(sh.line("QZ_Buffer"));
    ASSERT_TRUE(sh.line("QZ_Buffer"));
    ASSERT_TRUE(sh.line("QZ_Buffer"));
    std::string made = read_all(out);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(made, m,
                                 std::regex("(0x[0-9A-F]+)\n(0x[0-9A-F]+)\n"
                                            "(0x[0-9A-F]+)\n(0x[0-9A-F]+)\n")))
        << made;
    auto at = [&](int k) {
        return reinterpret_cast<void*>(uintptr_t(std::stoull(m[k].str(), nullptr, 16)));
    };
    auto* pipe = static_cast<QZ_Soundpipe*>(at(1));
    auto* in = static_cast<QZ_Buffer*>(at(2));
    auto* plain = static_cast<QZ_Buffer*>(at(3));
    auto* shifted = static_cast<QZ_Buffer*>(at(4));
    EXPECT_TRUE(sh.line("QZ_Effect_Nshift -i " + m[2].str() + " -o " + m[3].str() +
                        " -clock 48000 -s 0 -s -p"));
    EXPECT_TRUE(sh.line("QZ_Effect_Shift -i " + m[2].str() + " -o " + m[4].str() +
                        " -clock 44100 -s -16384.5 -s -p 7 -p"));
    std::string all = read_all(out);
    EXPECT_TRUE(std::regex_match(all.substr(made.size()),
                                 std::regex("0x[0-9A-F]+ 0 0\n0x[0-9A-F]+ -16384 7\n")))
        << all;
    // Nshift with s 0 at 48000: the input one window (512 samples) later
    for (int k = 0; k < 512; ++k)
        in->data[k] = (k + 1) * 1000003;
    pipe->process();
    pipe->process();
    for (int k = 0; k < 512; ++k)
        ASSERT_EQ(plain->data[k], ((k + 1) * 1000003) & ~16383) << k;
    EXPECT_NE(shifted->data[511], 0);
}

// The frequency blocks wired by typed handles, as a user of the shell would.
TEST_F(Shell, BuildsAndRunsAChainOfTheFrequencyBlocks) {
    qz::Shell sh(out);
    // runs a line and answers its first word
    auto first = [&](const std::string& line) {
        long at = std::ftell(out);
        EXPECT_TRUE(sh.line(line)) << line;
        std::string last = read_all(out).substr(size_t(at));
        std::fseek(out, 0, SEEK_END);
        return last.substr(0, last.find_first_of(" \n"));
    };
    std::string pipe = first("QZ_Soundpipe -bl 4");
    std::string a = first("QZ_Buffer"), b = first("QZ_Buffer"), c = first("QZ_Buffer -l 32");
    first("QZ_Effect_Gtzero -i " + a + " -o " + b + " -l -8000");
    first("QZ_Effect_Ltzero -i " + b + " -o " + b + " -l 4000");
    first("QZ_Effect_Oversam -i " + b + " -o " + c + " -k 8");
    std::string f = first("QZ_Effect_Freqmul -i " + a + " -o " + a + " -k 0 -clock 44100");
    first("QZ_Effect_Nefreqmul -i " + a + " -o " + a + " -mode sub -stab 0.5");
    first("QZ_Soundpipe " + pipe + " -e");
    EXPECT_EQ(first("QZ_Effect_Freqmul " + f + " -k"), "1");

    auto* in = reinterpret_cast<QZ_Buffer*>(std::stoull(a, nullptr, 16));
    auto* up = reinterpret_cast<QZ_Buffer*>(std::stoull(c, nullptr, 16));
    for (int i = 0; i < 4; ++i)
        in->data[i] = 8000 * (i - 2); // clipped to -8000, -8000, 0, 4000
    reinterpret_cast<QZ_Soundpipe*>(std::stoull(pipe, nullptr, 16))->process();
    EXPECT_EQ(up->data[16], -8000); // step 2 of the oversampler starts at its first input
    EXPECT_EQ(up->data[24], -8000);
    // the multiplier's latency is still ahead, and "sub" leaves the buffer to it
    EXPECT_EQ(std::vector<int32_t>(in->data, in->data + 4), std::vector<int32_t>(4, 0));
}

TEST_F(Shell, SmallCapacityReportsNoSpace) {
    qz::Shell sh(out, 8);
    EXPECT_FALSE(sh.line("QZ_Soundpipe -bl"));
    EXPECT_EQ(read_all(out), "error: Not enough space for command result\n");
}

// Every handle a typed line gives is checked at the shell's door against the
// live objects and the class the command or option wants; the plug-in's own
// commands never pass that door. {X} stand for the objects made below.
TEST_F(Shell, HandlesAreCheckedAtTheDoor) {
    qz::Shell sh(out);
    std::map<std::string, std::string> h;
    auto made = [&](const std::string& line) {
        std::string t = said(sh, line, true);
        return t.substr(0, t.find_first_of(" \n"));
    };
    h["{P}"] = made("QZ_Soundpipe -bl 64");
    h["{B}"] = made("QZ_Buffer");
    h["{W}"] = made("QZ_Wid_Pic");
    h["{E}"] = made("QZ_Effect_Hipass");
    h["{T}"] = made("QZ_Fourier_Transform -s 3");
    h["{K}"] = made("QZ_Fourier_Transform " + h["{T}"] + " -w");
    h["{G}"] = made("QZ_Fourier_Noisegate -i " + h["{B}"]);
    h["{D}"] = made("QZ_Buffer");
    said(sh, "QZ_Buffer " + h["{D}"] + " -delete", true);
    ASSERT_FALSE(qz::is_live(reinterpret_cast<void*>(std::stoull(h["{D}"], nullptr, 16))));

    struct Row {
        std::string line;
        std::string refusal; // part of the door's reason; empty: let through
    } rows[] = {
        {"QZ_Buffer 5 -l", "derar: no object '5'"},
        {"QZ_Buffer {D} -l", "no object '{D}'"},
        {"QZ_Buffer {D} -delete", "no object '{D}'"}, // deleted twice
        {"QZ_Object {D} -delete", "no object '{D}'"},
        {"QZ_Wid {B} -win 0", "not a QZ_Wid '{B}'"},
        {"QZ_Soundpipe {B} -bl 5", "not a QZ_Soundpipe '{B}'"},
        {"QZ_Wid {W} -win 5", "param 'win' takes only 0 in the shell, not '5'"},
        {"QZ_Wid {W} -win {B}", "takes only 0"},
        {"QZ_Wid {W} -win 0", ""},
        {"QZ_Soundpipe {P} -be 5", "no object '5'"},
        {"QZ_Soundpipe {P} -be {B}", "not a QZ_Effect '{B}'"},
        {"QZ_Soundpipe {P} -be {D}", "no object '{D}'"},
        {"QZ_Soundpipe {P} -be {E} -be 0", ""},
        {"QZ_Soundpipe current -be 5", "no object '5'"},
        {"QZ_Wid_Butt -com 5", "param 'com' takes only 0"},
        {"QZ_Wid_Knob -var {B}", "param 'var' takes only 0"},
        {"QZ_Wid_Pal -ln 0x10", "param 'ln' takes only 0"},
        {"QZ_Effect_Hipass -i {W}", "not a QZ_Buffer '{W}'"},
        {"QZ_Effect_Hipass -i 1.5", "param 'i' takes a handle, not '1.5'"},
        {"QZ_Effect_Hipass -o abc", "param 'o' takes a handle, not 'abc'"},
        {"QZ_Effect_Hipass -i {B} -f abc", "param 'f' takes a number, not 'abc'"},
        {"QZ_Effect {E} -before {W}", "not a QZ_Effect '{W}'"},
        {"QZ_Wid_Pic -res 0x1234", "param 'res' takes a word, not '0x1234'"},
        {"QZ_Buffer {B} -t 0x1234", "param 't' takes a word"},
        {"QZ_Buffer {B} -l % -t 0x5", "param 't' takes a word"},
        {"QZ_Buffer {B} -l -t 0x5", "param 't' takes a word"},
        {"QZ_Buffer {K} -delete", "deleted only with its owner {T}: '{K}'"},
        {"QZ_Effect {T} -on 1 -delete", ""}, // its own parts go with it
        {"QZ_Buffer {B} -l", ""},
        {"QZ_Effect_Hipass -i {B} -o 0 -f 200.5", ""},
    };
    for (const Row& r : rows) {
        const std::string line = rampart::test::expand(r.line, h);
        const std::string text = said(sh, line, r.refusal.empty());
        if (r.refusal.empty()) {
            EXPECT_EQ(text.find("derar: "), std::string::npos) << line << "\n" << text;
            continue;
        }
        // said as the interpreter says a bad option, before anything runs
        EXPECT_EQ(text.rfind("derar: " + line + "\nderar: ", 0), 0u) << text;
        EXPECT_NE(text.find(rampart::test::expand(r.refusal, h)), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with("'\nerror: Param not found\n")) << text;
    }
}

// The door knows what every option of the class table takes, and which C++
// class stands behind every class name.
TEST_F(Shell, TheDoorKnowsEveryOptionAndClassOfTheTable) {
    using qz::door::Arg;
    int options = 0;
    for (const QZ_Class* c = __QZ; c->name; ++c)
        for (const QZ_Entry* e = c->descriptor + 1; e->name; ++e, ++options)
            EXPECT_NE(qz::door::argument(c->descriptor, e->name), Arg::Unknown)
                << c->name << " -" << e->name;
    EXPECT_EQ(options, 134);
    // found as the interpreter finds it: a knob's "l" is the widget's
    EXPECT_EQ(qz::door::argument(QZ_Wid_Knob::cls, "l"), Arg::Number);
    EXPECT_EQ(qz::door::argument(QZ_Effect_Gtzero::cls, "l"), Arg::Number);
    EXPECT_EQ(qz::door::argument(QZ_Effect_Gtzero::cls, "win"), Arg::Unknown);
    EXPECT_EQ(qz::door::argument(QZ_Fourier_Transform::cls, "win"), Arg::Text);

    qz::Shell sh(out);
    for (const QZ_Class* c = __QZ; c->name; ++c) {
        if (!c->descriptor[0].create) continue;
        auto* o =
            reinterpret_cast<const QZ_Object*>(std::stoull(said(sh, c->name, true), nullptr, 16));
        for (const QZ_Entry* d = c->descriptor; d;) {
            EXPECT_TRUE(qz::door::is_a(o, d)) << c->name << " " << qz::door::class_name(d);
            const QZ_Entry* e = d + 1;
            while (e->name)
                ++e;
            d = e->parent;
        }
        const bool buffer = c->descriptor == QZ_Buffer::cls;
        EXPECT_EQ(qz::door::is_a(o, QZ_Buffer::cls), buffer) << c->name;
        EXPECT_EQ(qz::door::is_a(o, QZ_Effect::cls),
                  std::string(c->name).starts_with("QZ_Effect_") ||
                      std::string(c->name).starts_with("QZ_Fourier_"))
            << c->name;
    }
}

TEST(ShellArguments, OnlyWholeConversionWordsNeedArguments) {
    EXPECT_TRUE(qz::Shell::needs_arguments("%o -l"));
    EXPECT_TRUE(qz::Shell::needs_arguments("QZ_Buffer -l %i"));
    EXPECT_TRUE(qz::Shell::needs_arguments("QZ_Buffer -t %s -l 5"));
    EXPECT_FALSE(qz::Shell::needs_arguments("QZ_Buffer -t a%ib"));
    EXPECT_FALSE(qz::Shell::needs_arguments("QZ_Buffer -t % -l"));
    EXPECT_FALSE(qz::Shell::needs_arguments("QZ_Buffer -t %ix"));
    EXPECT_FALSE(qz::Shell::needs_arguments("QZ_Buffer -l %"));
}

// The built program, natively or under wine, reading a session file.
rampart::test::Ran qzsh(const std::vector<std::string>& args) {
    return rampart::test::run_built("qzsh", args);
}

// Writes a session file through the Unix path of a Z:/ path under wine.
std::string session(const std::string& text) {
    std::string path = rampart::test::scratch_dir() + "/session.qz";
    std::ofstream(path.substr(path.find(':') == 1 ? 2 : 0), std::ios::binary) << text;
    return path;
}

TEST(QzshProgram, ScriptedSessionAndExitStatus) {
    auto ran = qzsh({session("# build, query and take apart\n"
                             "QZ_Soundpipe -bl 256 -bl\n"
                             "QZ_Buffer -l -limit 2.9 -limit\n"
                             "QZ_Effect_Hipass -f 200 -clock 44100 -f -mode add -mode\n"
                             "QZ_Soundpipe current\n"
                             "\n")});
    EXPECT_EQ(ran.status, 0) << ran.out << ran.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(ran.out, m,
                                 std::regex("(0x[0-9A-F]+) 256\n0x[0-9A-F]+ 256 2\n"
                                            "0x[0-9A-F]+ 200 add\n(0x[0-9A-F]+)\n")))
        << ran.out;
    EXPECT_EQ(m[1], m[2]); // "current" named the soundpipe of the first line

    ran = qzsh({session("QZ_Soundpipe -zz\nQZ_Buffer -l %i\nQZ_Soundpipe current -e\n")});
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(std::regex_match(ran.out, std::regex("derar: QZ_Soundpipe -zz\n"
                                                     "derar: param 'zz' not found\n"
                                                     "error: Param not found\n"
                                                     "error: conversions need arguments\n"
                                                     "0x[0-9A-F]+ 1\n")))
        << ran.out;
}

// The version the project declares, read from the top-level CMakeLists.txt.
std::string project_version() {
    const char* src = std::getenv("VR_SOURCE_DIR_UNIX");
    std::string t = rampart::test::file_bytes(std::string(src ? src : "..") + "/CMakeLists.txt");
    std::smatch m;
    return std::regex_search(t, m, std::regex("project\\(VelvetRampart VERSION ([0-9.]+)"))
               ? m[1].str()
               : "?";
}

TEST(QzshProgram, CommandLineWords) {
    const std::string dir = rampart::test::scratch_dir();
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string out; // a part of standard output
        std::string err; // a part of standard error
    } rows[] = {
        {{"--help"}, 0, "Usage: qzsh [--capacity N] [FILE...]", ""},
        {{"-h"}, 0, "--version", ""},
        {{"--version"}, 0, "qzsh " + project_version() + "\n", ""},
        {{"--capacity", "0"}, 2, "", "--capacity takes a number"},
        {{"--capacity"}, 2, "", "--capacity needs a number"},
        {{"--bogus"}, 2, "", "unknown option --bogus"},
        {{"no-such-file.qz"}, 1, "", "cannot open 'no-such-file.qz'"},
        {{dir}, 1, "", "is a directory"},
        {{session("QZ_Soundpipe -bl 2\n"), dir}, 1, "0x", "is a directory"},
    };
    for (const Row& r : rows) {
        auto ran = qzsh(r.args);
        EXPECT_EQ(ran.status, r.status) << r.args[0] << "\n" << ran.err;
        EXPECT_NE(ran.out.find(r.out), std::string::npos) << r.args[0] << "\n" << ran.out;
        EXPECT_NE(ran.err.find(r.err), std::string::npos) << r.args[0] << "\n" << ran.err;
        if (r.err.empty()) {
            EXPECT_EQ(ran.err, "") << r.args[0];
        }
    }
}

// Widgets find the editor's images in every build: the Windows programs
// carry them as the DLL does.
TEST(QzshProgram, WidgetsFindTheirImages) {
    // a picture takes its image's size; a knob's value lands on one of the
    // strip's 100 frames, and without a strip on none
    auto ran = qzsh({session("QZ_Wid_Pic -res bgnd -w -h -res\n"
                             "QZ_Wid_Knob -res tune -mn 0 -mx 100 -val 50 -val\n")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(std::regex_match(ran.out, std::regex("0x[0-9A-F]+ 63 63 bgnd\n"
                                                     "0x[0-9A-F]+ 49.494949\n")))
        << ran.out;
    EXPECT_EQ(ran.err, "");
    // a missing one is reported on standard error, never in a box that
    // would hold the session
    ran = qzsh({session("QZ_Wid_Pic -res nosuch -w\n")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(std::regex_match(ran.out, std::regex("0x[0-9A-F]+ 0\n"))) << ran.out;
    EXPECT_EQ(
        ran.err.rfind("ERROR\nError: nosuch\nFile: projects/QZ/QZ_cfuncs.cpp\nLine: 121\n", 0), 0u)
        << ran.err;
}

// The crash at exit of every session that made a transform or a gate: their
// own buffers and blocks were deleted, then deleted again by their owner.
TEST(QzshProgram, EveryClassLeftAliveEndsClean) {
    auto ran = qzsh({session("QZ_Soundpipe -bl 64\n"
                             "QZ_Buffer -l 32\n"
                             "QZ_Fourier_Transform -s 5\n"
                             "QZ_Fourier_Noisegate -o1 -o2\n"
                             "QZ_Effect_Deline -g % -d % -dt 10\n"
                             "QZ_Wid_Pal -res i61x11\n")});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.err, "");
}

} // namespace
