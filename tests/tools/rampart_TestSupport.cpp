#include "rampart_TestSupport.h"

#include "Wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace rampart::test {

std::string build_dir() {
    const char* dir = std::getenv("VR_BUILD_DIR");
    return dir && *dir ? dir : ".";
}

std::string fixture(const std::string& name) {
    return build_dir() + "/" + name + library_suffix();
}

std::string scratch_dir() {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    std::filesystem::path dir = std::filesystem::path(build_dir()) / "test-tmp" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.generic_string();
}

void write_wav(const std::string& path, const Audio& audio) {
    WavWriter w(path, audio.rate, audio.channels);
    w.write(audio.samples.data(), audio.frames());
    w.finish();
}

Audio read_audio(const std::string& path) {
    auto r = open_audio_reader(path);
    Audio a;
    a.rate = r->rate();
    a.channels = r->channels();
    std::vector<float> buf(1024 * static_cast<size_t>(a.channels));
    while (size_t n = r->read(buf.data(), 1024))
        a.samples.insert(a.samples.end(), buf.begin(), buf.begin() + n * a.channels);
    return a;
}

Audio ramp(size_t frames, int rate, int channels) {
    Audio a;
    a.rate = rate;
    a.channels = channels;
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            a.samples.push_back(static_cast<float>(static_cast<int>((i + 37 * c) % 199) - 99) /
                                128.0f);
    return a;
}

Ran run_rampart(const std::vector<std::string>& args, const Redirect& redirect) {
    return run_built("rampart", args, redirect);
}

namespace {
Ran run_and_read_errors(const std::string& line, const Redirect& redirect) {
    static int runs = 0;
    std::filesystem::path dir = std::filesystem::path(build_dir()) / "test-tmp";
    std::filesystem::create_directories(dir);
    std::string err_file = (dir / ("stderr-" + std::to_string(++runs) + ".txt")).generic_string();
    Ran r = run_line(line, err_file, redirect);
    r.err = file_bytes(err_file);
    std::filesystem::remove(err_file);
    for (std::string* s : {&r.out, &r.err})
        s->erase(std::remove(s->begin(), s->end(), '\r'), s->end());
    return r;
}
} // namespace

Ran run_built(const std::string& name, const std::vector<std::string>& args,
              const Redirect& redirect) {
    return run_and_read_errors(command_line(build_dir() + "/" + name + program_suffix(), args),
                               redirect);
}

Ran run_rampart_pipe(const std::vector<std::string>& first,
                     const std::vector<std::string>& second) {
    std::string program = build_dir() + "/rampart" + program_suffix();
    return run_and_read_errors(command_line(program, first) + " | " + command_line(program, second),
                               {});
}

void expect_refused(const std::vector<Refused>& cases, const std::string& out) {
    for (const Refused& c : cases) {
        Ran r = run_rampart(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_TRUE(contains(r.err, c.message)) << r.err;
        EXPECT_FALSE(file_exists(out)) << c.message;
        EXPECT_FALSE(file_exists(out + ".part")) << c.message;
        // Nor any temporary file beside it.
        for (const std::string& name : names_in(std::filesystem::path(out).parent_path().string()))
            EXPECT_FALSE(contains(name, ".part")) << name << " left by " << c.message;
    }
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string expand(std::string text, const std::map<std::string, std::string>& names) {
    for (const auto& [name, value] : names)
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), value);
    return text;
}

bool file_exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace rampart::test
