// What the real program says, and its exit status, where a user got it wrong
// or asked for something odd.
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rampart {
namespace {

using test::contains;
using test::Ran;

struct Said {
    std::vector<std::string> args; // "@" stands for the scratch folder
    int status;
    std::string err;        // part of standard error
    std::string out = "";   // part of standard output
    std::string never = ""; // in neither
    bool native_only = false;
};

std::string at(const std::string& s, const std::string& dir) {
    return s.empty() || s[0] != '@' ? s : dir + s.substr(1);
}

TEST(Messages, SayWhatIsWrongWithTheRightStatus) {
    const std::string dir = test::scratch_dir();
    test::write_wav(dir + "/in.wav", test::ramp(1000));
    test::write_wav(dir + "/empty.wav", test::Audio{44100, 1, {}});
    std::filesystem::create_directory(dir + "/folder.wav");
    const std::string gain = test::fixture("TestGain");
    const std::vector<Said> cases = {
        {{"--version"}, 0, "", std::string("rampart ") + VR_VERSION + "\n"},
        {{"render", "@/folder.wav", "@/out.wav", "--plugin", gain},
         1,
         "rampart: @/folder.wav is a folder, not an audio file\n",
         "",
         "Format not recognised"},
        {{"levels", "@/folder.wav"}, 1, "@/folder.wav is a folder, not an audio file\n"},
        {{"render", "@/in.wav", "@/out.wav", "--sustain", "-45.0000001"},
         2,
         "--sustain must be from -45 to 0 dB (got -45.0000001)"},
        {{"render", "@/in.wav", "@/out.wav", "--level", "-2.99999"},
         2,
         "--level must be from -45 to -3 dB (got -2.99999)"},
        {{"levels", "@/empty.wav"}, 1, "@/empty.wav holds no audio (0 frames)", "", "--from"},
        {{"render", "@/in.wav", "@/no/such/out.wav", "--plugin", gain},
         1,
         "cannot write @/no/such/out.wav: the folder @/no/such does not exist"},
        {{"shot", "@/no/such/out.png"},
         1,
         "cannot write @/no/such/out.png: the folder @/no/such does not exist",
         "",
         "",
         true},
        {{"synth", "@/out.wav", "--seconds", "0.00001"},
         2,
         "--seconds 0.00001 is less than one sample at 44100 Hz"},
        {{"synth", "@/short.wav", "--seconds", "1", "--rate", "8000"},
         0,
         "",
         "wrote @/short.wav: 1.000 s at 8000 Hz, mono; plucked notes only (the quiet tail would "
         "start at 2.5 s)",
         "notes until"},
        {{"render", "@/in.wav", "@/out.mp3", "--plugin", gain},
         2,
         "rampart: cannot tell the output format from @/out.mp3: name it .wav"},
        {{"synth", "@/out"}, 2, "cannot tell the output format from @/out"},
    };
    for (const Said& c : cases) {
#ifdef _WIN32
        if (c.native_only) continue;
#endif
        std::vector<std::string> args;
        for (const std::string& a : c.args)
            args.push_back(at(a, dir));
        SCOPED_TRACE(args.at(0) + " " + (args.size() > 1 ? args[1] : ""));
        Ran r = test::run_rampart(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        auto placed = [&](const std::string& s) {
            std::string t = s;
            for (size_t p; (p = t.find('@')) != std::string::npos;)
                t.replace(p, 1, dir);
            return t;
        };
        EXPECT_TRUE(contains(r.err, placed(c.err))) << r.err;
        EXPECT_TRUE(contains(r.out, placed(c.out))) << r.out;
        if (!c.never.empty()) {
            EXPECT_FALSE(contains(r.out + r.err, c.never)) << r.out << r.err;
        }
    }
}

} // namespace
} // namespace rampart
