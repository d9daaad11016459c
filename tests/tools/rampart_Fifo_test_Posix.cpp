// The real program on named pipes: input read once as it streams in, and a
// render stopped by a signal halfway, which must leave nothing behind.
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace rampart {
namespace {

using test::contains;

class Fifo : public testing::Test {
protected:
    void SetUp() override {
        dir_ = test::scratch_dir();
        fifo_ = dir_ + "/in.fifo";
        ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
        test::write_wav(dir_ + "/in.wav", test::ramp(30000, 44100, 2));
        wav_ = test::file_bytes(dir_ + "/in.wav");
        // A reader that stops early must not end the test program.
        old_pipe_ = std::signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override { std::signal(SIGPIPE, old_pipe_); }
    // Writes `bytes` into the pipe from another thread while `run` reads it.
    test::Ran fed(const std::string& bytes, const std::vector<std::string>& args) {
        std::atomic<bool> ran{false};
        std::thread writer([&] {
            // Not blocking on the open: a program that fails first never opens the pipe.
            int fd = -1;
            while ((fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && errno == ENXIO && !ran)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (fd >= 0) fcntl(fd, F_SETFL, 0);
            for (size_t done = 0; fd >= 0 && done < bytes.size();) {
                ssize_t n =
                    write(fd, bytes.data() + done, std::min<size_t>(bytes.size() - done, 777));
                if (n <= 0) break;
                done += static_cast<size_t>(n);
            }
            if (fd >= 0) close(fd);
            // A program that opens the pipe again finds it at its end.
            while (!ran) {
                if ((fd = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK)) >= 0) close(fd);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        test::Ran r = test::run_rampart(args);
        ran = true;
        writer.join();
        return r;
    }
    std::string dir_, fifo_, wav_;
    void (*old_pipe_)(int) = SIG_DFL;
};

TEST_F(Fifo, AWavIsReadAsItStreamsIn) {
    test::Ran r =
        fed(wav_, {"render", fifo_, dir_ + "/out.wav", "--plugin", test::fixture("TestGain")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "rendered 30000 frames")) << r.out;
    EXPECT_TRUE(test::read_audio(dir_ + "/out.wav").samples == test::ramp(30000, 44100, 2).samples);

    test::Ran whole = test::run_rampart({"levels", dir_ + "/in.wav"});
    test::Ran streamed = fed(wav_, {"levels", fifo_});
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out.substr(streamed.out.find('\n')), whole.out.substr(whole.out.find('\n')));
}

TEST_F(Fifo, OtherFormatsAreReadThroughACopy) {
    const std::string flac = dir_ + "/in.flac";
    ASSERT_EQ(
        test::run_rampart({"render", dir_ + "/in.wav", flac, "--plugin", test::fixture("TestGain")})
            .status,
        0);
    test::Ran r = fed(test::file_bytes(flac), {"compare", fifo_, flac});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// An output that exists and is no regular file (a pipe, a device) is written
// into; renaming over it would replace it.
TEST_F(Fifo, AnOutputThatIsAPipeIsWrittenIntoNotReplaced) {
    const std::string out = dir_ + "/out.wav";
    ASSERT_EQ(mkfifo(out.c_str(), 0600), 0);
    // Opened at once, without waiting for a writer: a program that never
    // writes into the pipe must not leave this test waiting.
    int fd = open(out.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    std::string got;
    std::atomic<bool> ran{false};
    std::thread reader([&] {
        char buf[4096];
        for (;;) {
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<size_t>(n));
            else if (n == 0 && ran)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    test::Ran r =
        test::run_rampart({"render", dir_ + "/in.wav", out, "--plugin", test::fixture("TestGain")});
    ran = true;
    reader.join();
    close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(test::run_rampart({"render", dir_ + "/in.wav", dir_ + "/file.wav", "--plugin",
                                 test::fixture("TestGain")})
                  .status,
              0);
    EXPECT_TRUE(got == test::file_bytes(dir_ + "/file.wav"));
    EXPECT_EQ(test::names_in(dir_),
              (std::vector<std::string>{"file.wav", "in.fifo", "in.wav", "out.wav"}));
}

// A render waits on the pipe with its output half written; the signal must
// remove that file and still end the program as the signal does.
TEST_F(Fifo, ASignalDuringARenderLeavesNothingBehind) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        std::string program = test::build_dir() + "/rampart";
        std::vector<std::string> args = {program,           "render",   fifo_,
                                         dir_ + "/out.wav", "--plugin", test::fixture("TestGain"),
                                         "--block",         "64"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // As a shell starts it, whatever this process ignores.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);

        int fd = open(fifo_.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        // The header and part of the samples: rampart renders them and waits.
        size_t part = wav_.size() / 3;
        for (size_t done = 0; done < part;) {
            ssize_t n = write(fd, wav_.data() + done, part - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        bool writing = false;
        for (int i = 0; i < 1000 && !writing; ++i) {
            for (const std::string& name : test::names_in(dir_))
                writing = writing || contains(name, "out.wav");
            if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(writing) << "no output file was begun";
        kill(pid, sig);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        close(fd);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "status " << status;
        EXPECT_EQ(test::names_in(dir_), (std::vector<std::string>{"in.fifo", "in.wav"}));
    }
}

} // namespace
} // namespace rampart
