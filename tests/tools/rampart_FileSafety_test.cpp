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

using test::contains;
using test::Ran;

namespace fs = std::filesystem;

struct SafetyCase {
    const char* name;
    std::vector<std::string> args; // "@" stands for the scratch folder
    int status;
    std::string message; // part of standard error
    // The files the run makes, and the file whose samples each must hold.
    std::map<std::string, std::string> made = {};
    test::Redirect redirect = {};             // "@" as in args
    std::vector<std::string> piped_from = {}; // run as "rampart piped_from | rampart args"
    bool native_only = false;                 // shot, FLAC
    bool needs_symlink = false;
};

std::string at(const std::string& s, const std::string& dir) {
    return s.empty() || s[0] != '@' ? s : dir + s.substr(1);
}

// The files each case starts from, in a folder of its own.
class Scene {
public:
    explicit Scene(const std::string& dir) : dir_(dir) {
        fs::create_directories(dir_);
        test::write_wav(file("in.wav"), test::ramp(3000));
        test::write_wav(file("take.wav.part"), test::ramp(2000, 22050));
        test::write_wav(file("shot.png.part"), test::ramp(1000));
        test::write_wav(file("wide.wav"), test::ramp(100, 44100, 9));
        std::ofstream(file("out.wav.part"), std::ios::binary) << "another program's file";
        fs::create_hard_link(file("in.wav"), file("hard.wav"));
        fs::create_hard_link(file("in.wav"), file("pic.png"));
        fs::create_directory(file("folder.wav"));
        std::error_code ec;
        fs::create_symlink(file("in.wav"), file("link.wav"), ec);
        symlinks = !ec;
        for (const std::string& name : test::names_in(dir_))
            if (!fs::is_directory(file(name))) files[name] = test::file_bytes(file(name));
    }
    std::string file(const std::string& name) const { return dir_ + "/" + name; }

    bool symlinks = false;
    std::map<std::string, std::string> files; // every file before the run, and its bytes

private:
    std::string dir_;
};

TEST(FileSafety, NeverReplacesAnInputNorLeavesATemporaryFile) {
    const std::string gain = test::fixture("TestGain");
    const std::string same = "IN and OUT are the same file";
    const std::vector<SafetyCase> cases = {
        {"the same name", {"render", "@/in.wav", "@/in.wav"}, 2, same},
        {"through ./", {"render", "@/in.wav", "@/./in.wav"}, 2, same},
        {"through ..", {"render", "@/in.wav", "@/folder.wav/../in.wav"}, 2, same},
        {"OUT a symbolic link to IN",
         {"render", "@/in.wav", "@/link.wav"},
         2,
         same,
         {},
         {},
         {},
         false,
         true},
        {"IN a symbolic link to OUT",
         {"render", "@/link.wav", "@/in.wav"},
         2,
         same,
         {},
         {},
         {},
         false,
         true},
        {"OUT a hard link to IN", {"render", "@/in.wav", "@/hard.wav"}, 2, same},
        {"OUT.part naming IN",
         {"render", "@/take.wav.part", "@/take.wav", "--plugin", gain},
         0,
         "",
         {{"take.wav", "take.wav.part"}}},
        {"OUT.part another program's file",
         {"render", "@/in.wav", "@/out.wav", "--plugin", gain},
         0,
         "",
         {{"out.wav", "in.wav"}}},
        {"OUT a folder",
         {"render", "@/in.wav", "@/folder.wav", "--plugin", gain},
         1,
         "is a folder"},
        {"FLAC of 9 channels",
         {"render", "@/wide.wav", "@/out.flac", "--plugin", gain},
         1,
         "FLAC holds 1 to 8 channels",
         {},
         {},
         {},
         true},
        {"FLAC at 768 kHz",
         {"synth", "@/out.flac", "--rate", "768000"},
         1,
         "FLAC holds sample rates up to 655350 Hz",
         {},
         {},
         {},
         true},
        {"IN from standard input",
         {"render", "-", "@/out.wav", "--plugin", gain},
         0,
         "",
         {{"out.wav", "in.wav"}},
         {"@/in.wav", ""}},
        {"OUT to standard output",
         {"render", "@/in.wav", "-", "--plugin", gain},
         0,
         "rendered 3000 frames",
         {{"piped.wav", "in.wav"}},
         {"", "@/piped.wav"}},
        {"both standard",
         {"render", "-", "-", "--plugin", gain},
         0,
         "wrote standard output",
         {{"piped.wav", "in.wav"}},
         {"@/in.wav", "@/piped.wav"}},
        {"a WAV through a pipe",
         {"render", "-", "@/out.wav", "--plugin", gain},
         0,
         "",
         {{"out.wav", "take.wav.part"}},
         {},
         {"render", "@/take.wav.part", "-", "--plugin", gain}},
        {"standard input twice", {"compare", "-", "-"}, 2, "only one of A and B can be -"},
        {"shot with --in OUT.part",
         {"shot", "@/shot.png", "--in", "@/shot.png.part"},
         0,
         "",
         {{"shot.png", ""}},
         {},
         {},
         true},
        {"shot OUT a hard link to --in",
         {"shot", "@/pic.png", "--in", "@/in.wav"},
         2,
         "--in and OUT are the same file",
         {},
         {},
         {},
         true},
    };
    const std::string root = test::scratch_dir();
    int n = 0;
    for (const SafetyCase& c : cases) {
        SCOPED_TRACE(c.name);
#ifdef _WIN32
        if (c.native_only) continue; // rampart.exe writes no FLAC and takes no picture
#endif
        const std::string dir = root + "/" + std::to_string(++n);
        Scene scene(dir);
        if (c.needs_symlink && !scene.symlinks) {
            std::printf("[ SKIPPED  ] %s: no symbolic links here\n", c.name);
            continue;
        }
        std::vector<std::string> args, from;
        for (const std::string& a : c.args)
            args.push_back(at(a, dir));
        for (const std::string& a : c.piped_from)
            from.push_back(at(a, dir));
        Ran r = from.empty()
                    ? test::run_rampart(args, {at(c.redirect.in, dir), at(c.redirect.out, dir)})
                    : test::run_rampart_pipe(from, args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
        for (const auto& [name, bytes] : scene.files)
            EXPECT_TRUE(test::file_bytes(scene.file(name)) == bytes) << name << " was changed";
        std::set<std::string> expected = {"folder.wav"};
        for (const auto& kept : scene.files)
            expected.insert(kept.first);
        for (const auto& made : c.made)
            expected.insert(made.first);
        std::vector<std::string> names = test::names_in(dir);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
        for (const auto& [name, source] : c.made) {
            if (source.empty() || !test::file_exists(scene.file(name)) ||
                !test::file_exists(scene.file(source)))
                continue;
            try {
                test::Audio out = test::read_audio(scene.file(name));
                test::Audio in = test::read_audio(scene.file(source));
                EXPECT_EQ(out.rate, in.rate) << name;
                EXPECT_TRUE(out.samples == in.samples) << name << " does not hold " << source;
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        }
    }
}

} // namespace
} // namespace rampart
