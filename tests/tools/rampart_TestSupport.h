#pragma once
// Shared by the rampart tests: where the build is, scratch files, audio
// helpers, and running the real program.
#include "AudioFile.h"

#include <map>
#include <string>
#include <vector>

namespace rampart::test {

// The build directory (VR_BUILD_DIR; a Z:/ path under wine).
std::string build_dir();
// A stand-in plug-in of the build: "TestGain" -> .../TestGain.so or .dll.
std::string fixture(const std::string& name);
// ".so" or ".dll"; "" or ".exe".
const char* library_suffix();
const char* program_suffix();
// A fresh, empty directory for the running test.
std::string scratch_dir();

struct Audio {
    int rate = 0, channels = 0;
    std::vector<float> samples; // interleaved
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

void write_wav(const std::string& path, const Audio& audio);
Audio read_audio(const std::string& path);
// A mono test signal with no two samples alike: i -> (i % 199 - 99) / 128.
Audio ramp(size_t frames, int rate = 44100, int channels = 1);

struct Ran {
    int status = -1;
    std::string out, err; // without carriage returns
};
// Files for a program's standard input and output; empty: none (its output
// is then read into Ran::out).
struct Redirect {
    std::string in, out;
};
// Runs build_dir()/rampart with these arguments (each one quoted).
Ran run_rampart(const std::vector<std::string>& args, const Redirect& redirect = {});
// The same for another program of the build, named without its suffix.
Ran run_built(const std::string& name, const std::vector<std::string>& args,
              const Redirect& redirect = {});
// "rampart first | rampart second": the second one's status and output, both
// programs' standard error.
Ran run_rampart_pipe(const std::vector<std::string>& first, const std::vector<std::string>& second);
// The platform part of it: the command line that runs a program with
// arguments, and running such lines (joined by "|") with standard error into
// a file.
std::string command_line(const std::string& program, const std::vector<std::string>& args);
Ran run_line(const std::string& line, const std::string& stderr_file, const Redirect& redirect);

// A command line rampart must refuse: its exit status and part of its message.
struct Refused {
    std::vector<std::string> args;
    int status;
    std::string message;
};
// Runs each and checks the status, the message, and that neither `out` nor
// a temporary file beside it was left behind.
void expect_refused(const std::vector<Refused>& cases, const std::string& out);

bool contains(const std::string& text, const std::string& part);
// The text with each name in it (say "{B}") replaced by what names maps it to.
std::string expand(std::string text, const std::map<std::string, std::string>& names);
bool file_exists(const std::string& path);
// A whole file's bytes ("" when it cannot be read).
std::string file_bytes(const std::string& path);
// The names in a directory, sorted.
std::vector<std::string> names_in(const std::string& dir);

} // namespace rampart::test
