// The real qzsh driven line by line, as a person at the terminal drives it:
// each handle it prints is typed into later lines. In the native-asan build
// the program runs under AddressSanitizer and LeakSanitizer, which fail the
// run on any fault, at exit included.
#include "QZ_Object.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// qzsh with a pipe at each end; standard error goes to a file.
class Session {
public:
    explicit Session(const std::string& err_file) : err_(err_file) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_addopen(&fa, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        for (int fd : {in[0], in[1], out[0], out[1]})
            posix_spawn_file_actions_addclose(&fa, fd);
        std::string program = rampart::test::build_dir() + "/qzsh";
        char* argv[] = {program.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &fa, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
        close(in[0]);
        close(out[1]);
        to_ = fdopen(in[1], "w");
        from_ = fdopen(out[0], "r");
    }
    ~Session() { finish(); }

    bool running() const { return pid_ > 0 && to_ && from_; }

    // Types a line and answers the shell's last line for it (diagnostics
    // before it are skipped): a result, or "error: ...".
    std::string say(const std::string& line) {
        std::fprintf(to_, "%s\n", line.c_str());
        std::fflush(to_);
        std::string got;
        do {
            got.clear();
            int c;
            while ((c = std::fgetc(from_)) != EOF && c != '\n')
                got.push_back(char(c));
            if (c == EOF) return "<end>";
        } while (got.rfind("derar: ", 0) == 0);
        return got;
    }

    // Ends the input; answers the exit status (-1 for a signal).
    int finish() {
        if (to_) std::fclose(to_);
        to_ = nullptr;
        if (from_) {
            while (std::fgetc(from_) != EOF) {
            }
            std::fclose(from_);
            from_ = nullptr;
        }
        if (pid_ <= 0) return -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string errors() const {
        std::ifstream f(err_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }

private:
    std::string err_;
    pid_t pid_ = -1;
    std::FILE* to_ = nullptr;
    std::FILE* from_ = nullptr;
};

// The handle a creating line printed first.
std::string handle(const std::string& answer) {
    return answer.substr(0, answer.find(' '));
}

std::string expand(std::string s, const std::map<std::string, std::string>& names) {
    for (const auto& [name, value] : names)
        for (size_t at; (at = s.find(name)) != std::string::npos;)
            s.replace(at, name.size(), value);
    return s;
}

// One object of every class of the class table that commands can make, each
// given its size and its buffers, all left alive for the exit to delete.
TEST(QzshSession, EveryClassSizedAndLeftAliveExitsClean) {
    Session sh(rampart::test::scratch_dir() + "/stderr.txt");
    ASSERT_TRUE(sh.running());
    const std::regex made("0x[0-9A-F]+( .*)?");
    std::map<std::string, std::string> names;
    names["{P}"] = handle(sh.say("QZ_Soundpipe -bl 64"));
    names["{B}"] = handle(sh.say("QZ_Buffer -l 64"));
    names["{S}"] = handle(sh.say("QZ_Buffer"));
    const std::map<std::string, std::string> options = {
        {"QZ_Soundpipe", "-bl 32"},
        {"QZ_Buffer", "-l 128 -t spare -limit 9"},
        {"QZ_Effect_Zero", "-o {S}"},
        {"QZ_Effect_Hipass", "-i {S} -o {S} -f 200 -clock 44100"},
        {"QZ_Effect_Lopass", "-i {S} -o {S} -f 200 -clock 44100"},
        {"QZ_Effect_Freqmul", "-i {S} -o {S} -k 2"},
        {"QZ_Effect_Nefreqmul", "-i {S} -o {S} -k 2"},
        {"QZ_Effect_Gtzero", "-i {S} -o {S} -l 5"},
        {"QZ_Effect_Ltzero", "-i {S} -o {S} -l 5"},
        {"QZ_Effect_Bapass", "-i {S} -o {S} -f 300 -q 2"},
        {"QZ_Effect_Ampdet", "-i {S} -o {S} -a {S} -f1 10 -f2 5"},
        {"QZ_Effect_Copy", "-i {S} -o {S} -is 1 -os 1"},
        {"QZ_Effect_Oper", "-i1 {S} -i2 {S} -o {S} -oper mul"},
        {"QZ_Effect_Koef", "-i {S} -o {S} -k 2"},
        {"QZ_Effect_Dist", "-i {S} -o {S} -d 0.5"},
        {"QZ_Effect_Deline", "-i {S} -g % -go {S} -d % -dt 100 -da 1"},
        {"QZ_Effect_Oversam", "-i {S} -o {B}"},
        {"QZ_Effect_Shift", "-i {S} -o {S} -s 100"},
        {"QZ_Effect_Nshift", "-i {S} -o {S} -s 100"},
        {"QZ_Fourier_Transform", "-i {S} -s 5 -win sin"},
        {"QZ_Fourier_Noisegate", "-i {B} -s {S} -o1 -o2 -a 1"},
        {"QZ_Wid_Pic", "-res bgnd -l 0 -t 0"},
        {"QZ_Wid_Butt", "-res but -l 10 -t 10 -w 32 -h 32"},
        {"QZ_Wid_Knob", "-res tune -w 32 -h 32 -mn 0 -mx -45 -val -10"},
        {"QZ_Wid_Pal", "-res i61x11 -w 100 -h 20"},
        {"QZ_Wid_Text", "-text hi -size 11 -w 64 -h 14"},
    };
    int classes = 0;
    for (const QZ_Class* c = __QZ; c->name; ++c) {
        if (!c->descriptor[0].create) continue; // abstract: made through its subclasses
        auto o = options.find(c->name);
        ASSERT_NE(o, options.end()) << c->name << " has no line in this session";
        const std::string line = std::string(c->name) + " " + expand(o->second, names);
        const std::string answer = sh.say(line);
        EXPECT_TRUE(std::regex_match(answer, made)) << line << "\n" << answer;
        ++classes;
    }
    EXPECT_EQ(classes, 26);
    EXPECT_EQ(sh.finish(), 0);
    EXPECT_EQ(sh.errors(), "");
}

// The gate's own parts and outputs stay out of reach of a typed delete, and
// what the session deleted is no handle any more.
TEST(QzshSession, OwnedAndDeletedObjectsAreRefused) {
    Session sh(rampart::test::scratch_dir() + "/stderr.txt");
    ASSERT_TRUE(sh.running());
    sh.say("QZ_Soundpipe -bl 64");
    const std::string x = handle(sh.say("QZ_Buffer -l 64"));
    const std::string gate = handle(sh.say("QZ_Fourier_Noisegate -i " + x));
    const std::string out = handle(sh.say("QZ_Fourier_Noisegate " + gate + " -o1"));
    const std::string profile = handle(sh.say("QZ_Fourier_Noisegate " + gate + " -w"));
    EXPECT_EQ(sh.say("QZ_Buffer " + out + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Object " + profile + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Buffer " + x + " -delete"), "");
    EXPECT_EQ(sh.say("QZ_Buffer " + x + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Fourier_Noisegate " + gate + " -i " + x), "error: Param not found");
    // the output it makes now is as long as the spectrum was, not read from it
    const std::string second = handle(sh.say("QZ_Fourier_Noisegate " + gate + " -o2"));
    EXPECT_EQ(sh.say("QZ_Buffer " + second + " -l"), "64");
    EXPECT_EQ(sh.finish(), 1);
    EXPECT_EQ(sh.errors(), "");
}

} // namespace
