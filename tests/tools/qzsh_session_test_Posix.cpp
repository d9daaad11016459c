// The real qzsh driven line by line, as a person at the terminal drives it:
// each handle it prints is typed into later lines. In the native-asan build
// the program runs under AddressSanitizer and LeakSanitizer, which fail the
// run on any fault, at exit included.
#include "QZ_Object.h"
#include "rampart_Process_Posix.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// qzsh with a pipe at each end; standard error goes to a file.
class Session {
public:
    Session() : err_(rampart::test::scratch_dir() + "/stderr.txt") {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = rampart::test::spawn_built("qzsh", {}, in[0], out[1], err_);
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
    // The handle a creating line printed first.
    std::string made(const std::string& line) {
        std::string answer = say(line);
        return answer.substr(0, answer.find(' '));
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

    std::string errors() const { return rampart::test::file_bytes(err_); }

private:
    std::string err_;
    int pid_ = -1;
    std::FILE* to_ = nullptr;
    std::FILE* from_ = nullptr;
};

// One object of every class of the class table that commands can make, each
// given its size and its buffers, all left alive for the exit to delete.
TEST(QzshSession, EveryClassSizedAndLeftAliveExitsClean) {
    Session sh;
    ASSERT_TRUE(sh.running());
    const std::regex handle("0x[0-9A-F]+( .*)?");
    std::map<std::string, std::string> names;
    names["{P}"] = sh.made("QZ_Soundpipe -bl 64");
    names["{B}"] = sh.made("QZ_Buffer -l 64");
    names["{S}"] = sh.made("QZ_Buffer");
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
        const std::string line =
            std::string(c->name) + " " + rampart::test::expand(o->second, names);
        const std::string answer = sh.say(line);
        EXPECT_TRUE(std::regex_match(answer, handle)) << line << "\n" << answer;
        ++classes;
    }
    EXPECT_EQ(classes, 26);
    EXPECT_EQ(sh.finish(), 0);
    EXPECT_EQ(sh.errors(), "");
}

// The gate's own parts and outputs stay out of reach of a typed delete, and
// what the session deleted is no handle any more.
TEST(QzshSession, OwnedAndDeletedObjectsAreRefused) {
    Session sh;
    ASSERT_TRUE(sh.running());
    sh.say("QZ_Soundpipe -bl 64");
    const std::string x = sh.made("QZ_Buffer -l 64");
    const std::string gate = sh.made("QZ_Fourier_Noisegate -i " + x);
    const std::string out = sh.made("QZ_Fourier_Noisegate " + gate + " -o1");
    const std::string profile = sh.made("QZ_Fourier_Noisegate " + gate + " -w");
    EXPECT_EQ(sh.say("QZ_Buffer " + out + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Object " + profile + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Buffer " + x + " -delete"), "");
    EXPECT_EQ(sh.say("QZ_Buffer " + x + " -delete"), "error: Param not found");
    EXPECT_EQ(sh.say("QZ_Fourier_Noisegate " + gate + " -i " + x), "error: Param not found");
    // the output it makes now is as long as the spectrum was, not read from it
    const std::string second = sh.made("QZ_Fourier_Noisegate " + gate + " -o2");
    EXPECT_EQ(sh.say("QZ_Buffer " + second + " -l"), "64");
    EXPECT_EQ(sh.finish(), 1);
    EXPECT_EQ(sh.errors(), "");
}

} // namespace
