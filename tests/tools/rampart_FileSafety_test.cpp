// What rampart may and may not do to the files around it, through the real
// program: an input is never replaced, whatever names reach it, a file it did
// not make is never touched, and a failed run leaves nothing behind.
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace rampart {
namespace {

namespace fs = std::filesystem;

struct SafetyCase {
    // "@" stands for the scratch folder; "<F" and ">F" redirect standard
    // input and output; "|" pipes the words before it into the words after.
    std::vector<std::string> args;
    int status;
    std::string message; // part of standard error
    // The files the run makes, and the file whose samples each must hold.
    std::map<std::string, std::string> made = {};
};

// The files each case starts from, in a folder of its own; false when it
// cannot make a symbolic link.
bool make_scene(const std::string& dir) {
    auto file = [&](const char* name) { return dir + "/" + name; };
    fs::create_directories(dir);
    test::write_wav(file("in.wav"), test::ramp(3000));
    // Inputs named as the temporary files of outputs, and another program's
    // file where out.wav's temporary file would go.
    test::write_wav(file("take.wav.part"), test::ramp(2000, 22050));
    test::write_wav(file("shot.png.part"), test::ramp(1000));
    std::ofstream(file("out.wav.part"), std::ios::binary) << "another program's file";
    test::write_wav(file("wide.wav"), test::ramp(100, 44100, 9));
    fs::create_hard_link(file("in.wav"), file("hard.wav"));
    fs::create_hard_link(file("in.wav"), file("pic.png"));
    fs::create_directory(file("folder.wav"));
    std::error_code ec;
    fs::create_symlink(file("in.wav"), file("link.wav"), ec);
    return !ec;
}

TEST(FileSafety, NeverReplacesAnInputNorLeavesATemporaryFile) {
    const std::string gain = test::fixture("TestGain");
    const std::string same = "IN and OUT are the same file";
    const std::vector<SafetyCase> cases = {
        {{"render", "@/in.wav", "@/in.wav"}, 2, same},
        {{"render", "@/in.wav", "@/./in.wav"}, 2, same},
        {{"render", "@/in.wav", "@/folder.wav/../in.wav"}, 2, same},
        {{"render", "@/in.wav", "@/link.wav"}, 2, same},
        {{"render", "@/link.wav", "@/in.wav"}, 2, same},
        {{"render", "@/in.wav", "@/hard.wav"}, 2, same},
        {{"render", "@/take.wav.part", "@/take.wav", "--plugin", gain},
         0,
         "",
         {{"take.wav", "take.wav.part"}}},
        {{"render", "@/in.wav", "@/out.wav", "--plugin", gain}, 0, "", {{"out.wav", "in.wav"}}},
        {{"render", "@/in.wav", "@/folder.wav", "--plugin", gain}, 1, "is a folder"},
        {{"render", "@/wide.wav", "@/out.flac", "--plugin", gain}, 1, "FLAC holds 1 to 8 channels"},
        {{"synth", "@/out.flac", "--rate", "768000"}, 1, "FLAC holds sample rates up to 655350 Hz"},
        {{"render", "-", "@/out.wav", "--plugin", gain, "<@/in.wav"},
         0,
         "",
         {{"out.wav", "in.wav"}}},
        {{"render", "@/in.wav", "-", "--plugin", gain, ">@/piped.wav"},
         0,
         "rendered 3000 frames",
         {{"piped.wav", "in.wav"}}},
        {{"render", "-", "-", "--plugin", gain, "<@/in.wav", ">@/piped.wav"},
         0,
         "wrote standard output",
         {{"piped.wav", "in.wav"}}},
        {{"render", "@/take.wav.part", "-", "--plugin", gain, "|", "render", "-", "@/out.wav",
          "--plugin", gain},
         0,
         "",
         {{"out.wav", "take.wav.part"}}},
        {{"compare", "-", "-"}, 2, "only one of A and B can be -"},
        {{"shot", "@/shot.png", "--in", "@/shot.png.part"}, 0, "", {{"shot.png", ""}}},
        {{"shot", "@/pic.png", "--in", "@/in.wav"}, 2, "--in and OUT are the same file"},
    };
    const std::string root = test::scratch_dir();
    int n = 0;
    for (const SafetyCase& c : cases) {
        std::string line;
        for (const std::string& a : c.args)
            line += " " + a;
        SCOPED_TRACE(line);
#ifdef _WIN32
        // rampart.exe writes no FLAC and takes no picture
        if (c.args[0] == "shot" || test::contains(c.args[1] + c.args[2], ".flac")) continue;
#endif
        const std::string dir = root + "/" + std::to_string(++n);
        auto file = [&](const std::string& name) { return dir + "/" + name; };
        if (!make_scene(dir) && test::contains(c.args[1] + c.args[2], "link.wav")) {
            std::printf("[ SKIPPED  ]%s: no symbolic links here\n", line.c_str());
            continue;
        }
        std::map<std::string, std::string> before; // every file and its bytes
        for (const std::string& name : test::names_in(dir))
            if (!fs::is_directory(file(name))) before[name] = test::file_bytes(file(name));

        std::vector<std::string> args, from;
        test::Redirect redirect;
        for (std::string a : c.args) {
            if (a == "|") {
                from.swap(args);
                continue;
            }
            char kind = a[0] == '<' || a[0] == '>' ? a[0] : 0;
            if (kind) a.erase(0, 1);
            if (a[0] == '@') a = dir + a.substr(1);
            if (kind == '<')
                redirect.in = a;
            else if (kind == '>')
                redirect.out = a;
            else
                args.push_back(a);
        }
        test::Ran r =
            from.empty() ? test::run_rampart(args, redirect) : test::run_rampart_pipe(from, args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(test::contains(r.err, c.message)) << r.err;
        std::set<std::string> expected = {"folder.wav"};
        for (const auto& [name, bytes] : before) {
            EXPECT_TRUE(test::file_bytes(file(name)) == bytes) << name << " was changed";
            expected.insert(name);
        }
        for (const auto& [name, source] : c.made) {
            expected.insert(name);
            if (source.empty() || !test::file_exists(file(name))) continue;
            try {
                test::Audio out = test::read_audio(file(name)), in = test::read_audio(file(source));
                EXPECT_EQ(out.rate, in.rate) << name;
                EXPECT_TRUE(out.samples == in.samples) << name << " does not hold " << source;
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        }
        std::vector<std::string> names = test::names_in(dir);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    }
}

} // namespace
} // namespace rampart
