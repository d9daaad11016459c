#include "Rts/Rts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

TEST(RtsMode, DescribesRateBitsAndChannels) {
    struct Row {
        int32_t rate, bits, channels;
        const char* text;
    } rows[] = {
        {44100, 16, 2, " 44.1 kHz, 16 bit, stereo"},
        {192000, 24, 4, "192.0 kHz, 24 bit, quadro"},
        {48000, 32, 8, " 48.0 kHz, 32 bit, 8 ch"},
        {96000, 32, 1, " 96.0 kHz, 32 bit, mono"},
        {44100, 16, 3, " 44.1 kHz, 16 bit, trio"},
        {48000, 32, 0, " 48.0 kHz, 32 bit"},
        // Parts left out take their arguments with them.
        {0, 16, 2, "16 bit, stereo"},
        {0, 0, 5, "5 ch"},
        {0, 0, 0, ""},
    };
    for (const Row& r : rows) {
        QZ_Rts::Mode m(r.rate, r.bits, r.rate / 100, r.channels);
        EXPECT_STREQ(m.description, r.text) << r.rate << " " << r.bits << " " << r.channels;
        EXPECT_EQ(m.length, r.rate / 100);
        EXPECT_EQ(m.item.data, nullptr);
    }
}

// One sample through copyBuffer, each side in a container of its own format.
struct Copy {
    uint32_t from;
    uint64_t in; // the source container's bytes, little-endian
    uint32_t to;
    uint64_t out;
};

uint64_t bits_of(double d) {
    uint64_t u;
    std::memcpy(&u, &d, 8);
    return u;
}
uint64_t bits_of(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

TEST(RtsCopyBuffer, ConvertsBetweenEveryContainerKind) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Copy rows[] = {
        {0x1002, 0x4000, 0x1002004, bits_of(0.5f)},              // half scale
        {0x1002004, bits_of(1.5f), 0x1002, 0x7FFF},              // clipped
        {0x1002004, bits_of(-1.5f), 0x1002, 0x8000},             // -2147483647 >> 16
        {0x1002004, bits_of(nan), 0x1002, 0x8000},               // not a number is -1
        {0x1002, 0x1234, 0x1803, 0x123400},                      // 16 to 24: times 256
        {0x1803, 0x876543, 0x1002, 0x8765},                      // 24 packed, negative
        {0x2004, 0x12345678, 0x1002, 0x1234},                    // 32 to 16: the high half
        {0x81804, 0xFF800000, 0x1002, 0x8000},                   // 24 right-aligned in 32
        {0x1002, 0x8000, 0x81804, 0xFF800000},                   // and back, sign-extended
        {0xE1204, 0x0001FFFF, 0x101004, 0x00007FFF},             // 18 to 16 in 32
        {0x0801, 0x40, 0x1002, 0x4000},                          // one byte
        {0x2004, 0x80000000, 0x1002004, bits_of(-1.0f)},         // most negative clamps
        {0x1002004, bits_of(0.25f), 0x1004008, bits_of(0.25)},   // doubles are read and
        {0x1004008, bits_of(-0.75), 0x1002004, bits_of(-0.75f)}, // written as doubles
        {0x1004008, bits_of(2.0), 0x2004, 0x7FFFFFFF},
        {0x1004008, bits_of(0.5), 0x1002, 0x3FFF},
    };
    for (const Copy& r : rows) {
        uint64_t in = r.in, out = 0;
        QZ_Rts::Chan src("in", r.from, 1), dst("out", r.to, 1);
        src.data = &in;
        dst.data = &out;
        ASSERT_EQ(QZ_Rts::copyBuffer(&dst, &src), QZ_OK) << std::hex << r.from << " " << r.to;
        EXPECT_EQ(out, r.out) << std::hex << r.from << " " << r.in << " " << r.to;
    }
}

TEST(RtsCopyBuffer, WalksEachSideByItsOwnStride) {
    // Interleaved 16-bit stereo to mono 24-bit packed: the right channel only.
    const int16_t stereo[8] = {1, 0x100, 2, -0x100, 3, 0x7FFF, 4, -0x8000};
    uint8_t mono[12] = {};
    QZ_Rts::Chan src("Right", 0x1004, 4), dst("mono", 0x1803, 4);
    src.data = const_cast<int16_t*>(stereo) + 1;
    dst.data = mono;
    ASSERT_EQ(QZ_Rts::copyBuffer(&dst, &src), QZ_OK);
    const uint8_t want[12] = {0, 0, 1, 0, 0, 0xFF, 0, 0xFF, 0x7F, 0, 0, 0x80};
    EXPECT_EQ(0, std::memcmp(mono, want, 12));
}

// Container sizes other than 1 to 4 bytes (8 for floats) are not read or
// written; that is no count mismatch, so later copies still work.
TEST(RtsCopyBuffer, RefusesLayoutsItCannotRead) {
    int32_t a = 7, b = 0;
    for (uint32_t bad : {0x0u, 0x1204u, 0x2804u, 0x1003008u, 0x1001004u}) {
        QZ_Rts::Chan src("in", bad, 1), dst("out", 0x2004, 1);
        src.data = &a;
        dst.data = &b;
        EXPECT_EQ(QZ_Rts::copyBuffer(&dst, &src), nullptr) << std::hex << bad;
        EXPECT_EQ(QZ_Rts::copyBuffer(&src, &dst), nullptr) << std::hex << bad;
    }
    QZ_Rts::Chan src("in", 0x2004, 1), dst("out", 0x2004, 1);
    src.data = &a;
    dst.data = &b;
    EXPECT_EQ(QZ_Rts::copyBuffer(&dst, &src), QZ_OK);
    EXPECT_EQ(b, 7);
    EXPECT_FALSE(qz::rts::copy_failed());
}

// In a child process: mismatched counts are refused, and so is the next copy
// with equal counts. Exits 3 when both were refused and nothing was written.
[[noreturn]] void mismatch_then_copy() {
    int16_t a[4] = {1, 2, 3, 4}, b[4] = {};
    QZ_Rts::Chan three("a", 0x1002, 3), four("b", 0x1002, 4), other("c", 0x1002, 4);
    three.data = four.data = a;
    other.data = b;
    const bool refused = QZ_Rts::copyBuffer(&other, &three) == nullptr;
    const bool still = QZ_Rts::copyBuffer(&other, &four) == nullptr;
    std::exit(refused && still && b[0] == 0 && qz::rts::copy_failed() ? 3 : 4);
}

// The failure flag is never cleared, so it is set in a child process.
TEST(RtsCopyBufferDeathTest, MismatchedCountsStopEveryLaterCopy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(mismatch_then_copy(), ::testing::ExitedWithCode(3), "");
    EXPECT_FALSE(qz::rts::copy_failed());
}

} // namespace
