// Counts and lengths given to options: numbers, never a value's bits, and
// never beyond what the framework allocates; refusals are reported.
#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>

using qz::test::cmd;
using qz::test::stdout_of;

namespace {

struct Ran {
    QZ_error code;
    std::string out;
};

Ran run(const std::string& text) {
    char buf[256] = {};
    int cap = sizeof buf;
    QZ_error e = QZ_command_text(cmd(text), buf, &cap);
    return {e, e == QZ_OK ? std::string(buf, size_t(cap)) : std::string()};
}

// A handle as commands write it.
std::string hex(const void* p) {
    std::ostringstream s;
    s << "0x" << std::hex << std::uppercase << uintptr_t(p);
    return s.str();
}

class Counts : public testing::Test {
protected:
    void SetUp() override { mark_ = qz::next_serial(); }
    void TearDown() override {
        qz::delete_objects_since(mark_);
        QZ_Soundpipe::current = nullptr;
    }
    uint64_t mark_ = 0;
};

TEST_F(Counts, RealsTruncateAndTextsOrTooMuchAreRefused) {
    struct Row {
        const char* make; // class and options of a fresh object
        const char* option;
        const char* value;
        bool taken;
        const char* answer; // the option's answer afterwards; null: as before
    } rows[] = {
        {"QZ_Buffer -l 8", "l", "512.0", true, "512"},
        {"QZ_Buffer -l 8", "l", "0x10", true, "16"},
        {"QZ_Buffer -l 8", "l", "1e39", false, nullptr}, // was 2^31 - 2^24 samples
        {"QZ_Buffer -l 8", "l", "abc", false, nullptr},  // was the text's address
        {"QZ_Buffer -l 8", "l", "4194305", false, nullptr},
        {"QZ_Buffer", "limit", "abc", false, nullptr},
        {"QZ_Buffer", "limit", "7.9", true, "7"},
        {"QZ_Soundpipe -bl 64", "bl", "3.5", true, "3"}, // was the float's bits
        {"QZ_Soundpipe -bl 64", "bl", "1e9", false, nullptr},
        {"QZ_Soundpipe -bl 64", "bl", "abc", false, nullptr},
        {"QZ_Fourier_Transform -s 3", "s", "4.7", true, "4"},
        {"QZ_Fourier_Transform -s 3", "s", "12", false, nullptr},
        {"QZ_Fourier_Transform -s 3", "s", "-1", false, nullptr},
        {"QZ_Fourier_Transform -s 3", "s", "abc", false, nullptr},
        {"QZ_Effect_Copy", "is", "abc", false, nullptr},
        {"QZ_Effect_Copy", "os", "2.5", true, "2"},
        {"QZ_Effect_Freqmul", "k", "abc", false, nullptr},
        {"QZ_Effect_Freqmul", "k", "3.9", true, "3"},
        {"QZ_Effect_Nefreqmul", "k", "abc", false, nullptr},
        {"QZ_Effect_Oversam", "k", "abc", false, nullptr},
        {"QZ_Effect_Hipass", "clock", "abc", false, nullptr},
        {"QZ_Effect_Hipass", "clock", "44100.9", true, "44100"},
        {"QZ_Effect_Deline -g % -d %", "dt", "abc", false, nullptr},
        {"QZ_Effect_Deline -g % -d %", "dt", "300", true, "300.000000"},
    };
    for (const Row& r : rows) {
        const std::string what = std::string(r.make) + " -" + r.option + " " + r.value;
        Ran made = run(r.make);
        ASSERT_EQ(made.code, QZ_OK) << what;
        const std::string cls(r.make, std::strcspn(r.make, " "));
        const std::string self =
            cls + " " + made.out.substr(0, made.out.find(' ')) + " -" + r.option;
        const std::string before = run(self).out;
        std::string said = stdout_of([&] {
            EXPECT_EQ(run(self + " " + r.value).code, r.taken ? QZ_OK : QZ_ERROR_COMMAND_NOT_PARAM)
                << what;
        });
        EXPECT_EQ(run(self).out, r.answer ? r.answer : before) << what;
        if (!r.taken) {
            EXPECT_NE(said.find(std::string("derar: param '") + r.option + "' refuses '" + r.value +
                                "': "),
                      std::string::npos)
                << what << "\n"
                << said;
        }
    }
}

TEST_F(Counts, NoStorageBeyondTheLimitWhateverTheBlockLength) {
    QZ_Soundpipe* s = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 16"), &s), QZ_OK);
    s->bl = QZ_Buffer::MAX_LENGTH + 1; // as a program may set it, past the command
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer"), &b), QZ_OK);
    EXPECT_EQ(b->data, nullptr);
    EXPECT_EQ(b->usable(), 0);
    s->bl = 16;
}

// New effects are linked before the insertion point: one that is in another
// soundpipe's chain would join two chains into one.
TEST_F(Counts, InsertionPointOnlyAmongTheSoundpipesOwnEffects) {
    QZ_Soundpipe* a = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 4"), &a), QZ_OK);
    QZ_Effect* x = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect_Zero"), &x), QZ_OK);
    QZ_Soundpipe* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 4"), &b), QZ_OK);
    std::string said = stdout_of(
        [&] { EXPECT_EQ(QZ_command(cmd("%o -be %o"), b, x), QZ_ERROR_COMMAND_NOT_PARAM); });
    EXPECT_NE(said.find("param 'be' refuses"), std::string::npos) << said;
    EXPECT_EQ(b->before, nullptr);
    QZ_Effect* y = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Effect_Zero"), &y), QZ_OK);
    EXPECT_EQ(a->effects.count, 1);
    EXPECT_EQ(b->effects.count, 1);
    EXPECT_EQ(run("QZ_Soundpipe " + hex(b) + " -be " + hex(y) + " -be").out, hex(y));
}

} // namespace
