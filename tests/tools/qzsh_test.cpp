#include "QZ_Buffer.h"
#include "QZ_Shell.h"
#include "QZ_Soundpipe.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
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

TEST(QzshProgram, BadArgumentsAndMissingFiles) {
    EXPECT_EQ(qzsh({"--capacity", "0"}).status, 2);
    auto ran = qzsh({"no-such-file.qz"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_NE(ran.err.find("cannot open"), std::string::npos) << ran.err;
}

} // namespace
