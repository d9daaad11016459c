// The real program on named pipes: input read once as it streams in, an
// output pipe written into, and a render stopped by a signal halfway.
#include "rampart_Process_Posix.h"
#include "rampart_TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace rampart {
namespace {

using test::contains;

std::vector<std::string> render(const std::string& in, const std::string& out) {
    return {"render", in, out, "--plugin", test::fixture("TestGain")};
}

// Writes bytes into fd in pieces of at most `piece`.
void write_all(int fd, const char* bytes, size_t size, size_t piece) {
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, bytes + done, std::min(size - done, piece));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
}

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
            if (fd >= 0) {
                fcntl(fd, F_SETFL, 0);
                write_all(fd, bytes.data(), bytes.size(), 777);
                close(fd);
            }
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

TEST_F(Fifo, InputIsReadAsItStreamsIn) {
    test::Ran r = fed(wav_, render(fifo_, dir_ + "/out.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "rendered 30000 frames")) << r.out;
    EXPECT_TRUE(test::read_audio(dir_ + "/out.wav").samples == test::ramp(30000, 44100, 2).samples);

    test::Ran whole = test::run_rampart({"levels", dir_ + "/in.wav"});
    test::Ran streamed = fed(wav_, {"levels", fifo_});
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out.substr(streamed.out.find('\n')), whole.out.substr(whole.out.find('\n')));

    // Other formats are read through a copy.
    const std::string flac = dir_ + "/in.flac";
    ASSERT_EQ(test::run_rampart(render(dir_ + "/in.wav", flac)).status, 0);
    r = fed(test::file_bytes(flac), {"compare", fifo_, flac});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

// An output that exists and is no regular file (a pipe, a device) is written
// into; renaming over it would replace it.
TEST_F(Fifo, AnOutputThatIsAPipeIsWrittenIntoNotReplaced) {
    const std::string out = dir_ + "/out.wav";
    ASSERT_EQ(mkfifo(out.c_str(), 0600), 0);
    // Not waiting for a writer: a program that never writes must not hang the test.
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
    test::Ran r = test::run_rampart(render(dir_ + "/in.wav", out));
    ran = true;
    reader.join();
    close(fd);
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(test::run_rampart(render(dir_ + "/in.wav", dir_ + "/file.wav")).status, 0);
    EXPECT_TRUE(got == test::file_bytes(dir_ + "/file.wav"));
    EXPECT_EQ(test::names_in(dir_),
              (std::vector<std::string>{"file.wav", "in.fifo", "in.wav", "out.wav"}));
}

// A render waits on the pipe with its output half written; the signal must
// remove that file and still end the program as the signal does.
TEST_F(Fifo, ASignalDuringARenderLeavesNothingBehind) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        std::vector<std::string> args = render(fifo_, dir_ + "/out.wav");
        args.insert(args.end(), {"--block", "64"});
        int pid = test::spawn_built("rampart", args, -1, -1, "/dev/null");
        ASSERT_GT(pid, 0);
        int fd = open(fifo_.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        // The header and part of the samples: rampart renders them and waits.
        write_all(fd, wav_.data(), wav_.size() / 3, wav_.size());
        bool writing = false;
        for (int i = 0; i < 1000 && !writing; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            writing = test::names_in(dir_).size() > 2; // in.fifo, in.wav and the output
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
