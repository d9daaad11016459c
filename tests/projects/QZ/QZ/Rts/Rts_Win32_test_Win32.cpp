#include "Rts/Rts_Win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

std::atomic<int> blocks{0}, copies{0};
QZ_Rts_Win32* dev = nullptr;

// Input 0 to output 0, as an application would.
void block() {
    ++blocks;
    QZ_Rts::Chan* in = QZ_Rts::nth<QZ_Rts::Chan>(dev->inputs, 0);
    QZ_Rts::Chan* out = QZ_Rts::nth<QZ_Rts::Chan>(dev->outputs, 0);
    if (in && out && QZ_Rts::copyBuffer(out, in) == QZ_OK) ++copies;
}

class RtsWave : public ::testing::Test {
protected:
    void SetUp() override {
        blocks = copies = 0;
        ASSERT_EQ(QZ_Rts_Win32::classInit(&block), QZ_OK);
        ASSERT_EQ(QZ_Rts_Win32::devices.count, 1);
        dev = static_cast<QZ_Rts_Win32*>(QZ_Rts_Win32::devices.first()->data);
        EXPECT_STREQ(dev->name, "Windows");
    }
    void TearDown() override {
        qz::wave::calls() = qz::wave::system_calls();
        QZ_Rts_Win32::classExit();
        EXPECT_EQ(QZ_Rts_instances.count, 0);
    }
    QZ_Rts::Mode* find(int32_t rate, int32_t bits, int32_t channels) {
        for (QZ_Chain_Item* i = dev->modes.first(); !dev->modes.end(i); i = i->next) {
            QZ_Rts::Mode* m = QZ_Rts::at<QZ_Rts::Mode>(i);
            if (m->rate == rate && m->bits == bits && m->channels == channels) return m;
        }
        return nullptr;
    }
};

// Wine's own winmm, on ALSA's null device (tests/rts/alsa-null.conf).
TEST_F(RtsWave, ProbesAndStreamsThroughWinesWaveDevices) {
    if (waveInGetNumDevs() == 0 || waveOutGetNumDevs() == 0)
        GTEST_SKIP() << "wine offers no wave device here: ALSA_CONFIG_PATH unset?";
    ASSERT_EQ(dev->init(), QZ_OK);
    // The null device takes every format: all of them, in probing order.
    std::vector<std::string> want;
    for (int bits : {32, 24, 16})
        for (int rate : {48000, 96000, 192000, 44100})
            for (int ch : {4, 2})
                want.push_back(QZ_Rts::Mode(rate, bits, 0, ch).description);
    std::vector<std::string> got;
    for (QZ_Chain_Item* i = dev->modes.first(); !dev->modes.end(i); i = i->next)
        got.push_back(QZ_Rts::at<QZ_Rts::Mode>(i)->description);
    EXPECT_EQ(got, want);
    EXPECT_STREQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->inputs, 1)->name, "Right");

    struct Row {
        int32_t rate, bits, channels;
        uint32_t in, out;
        const char* last;
    } rows[] = {{48000, 24, 2, 0x1806, 0x1806, "Right front"},
                {44100, 16, 4, 0x1004, 0x1008, "Right back"}};
    for (const Row& r : rows) {
        blocks = copies = 0;
        QZ_Rts::Mode* m = find(r.rate, r.bits, r.channels);
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(dev->mode(m), QZ_OK) << m->description;
        EXPECT_EQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->inputs, 0)->format, r.in);
        EXPECT_EQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->outputs, 0)->format, r.out);
        EXPECT_EQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->outputs, 0)->count, r.rate / 100);
        EXPECT_EQ(dev->outputs.count, r.channels);
        EXPECT_STREQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->outputs, r.channels - 1)->name, r.last);
        EXPECT_EQ(dev->init(), QZ_ERROR_AUDIO) << "init while open";
        for (int t = 0; t < 500 && blocks < 20; ++t)
            Sleep(10);
        EXPECT_EQ(dev->free(), QZ_OK);
        EXPECT_GE(blocks, 20) << m->description;
        EXPECT_EQ(copies.load(), blocks.load());
        EXPECT_TRUE(!dev->in && !dev->out && !dev->current && dev->outputs.count == 0);
        const int after = blocks;
        Sleep(50);
        EXPECT_EQ(blocks, after) << "blocks after free";
    }
}

// A stand-in for winmm where wine cannot be made to do something: refuse
// formats, fail a chosen call, hand buffers back on our cue. Handles are
// dummies; nothing real is opened.
struct Fake {
    std::string failing;
    bool only44100at16 = false, stereoOnly = false;
    int calls = 0; // of the failing call
    std::vector<DWORD> sleeps;
    std::vector<std::vector<int>> writes; // output buffers queued per input buffer
    DWORD_PTR callback = 0;
    int handedBack = 8; // input buffers the wait sees come back
    bool signalled = false;
} fake;

MMRESULT result(const char* call) {
    if (fake.failing != call) return MMSYSERR_NOERROR;
    ++fake.calls;
    return MMSYSERR_ERROR;
}
MMRESULT WINAPI in_open(LPHWAVEIN h, UINT, LPCWAVEFORMATEX f, DWORD_PTR cb, DWORD_PTR, DWORD) {
    if (fake.only44100at16 && (f->nSamplesPerSec != 44100 || f->wBitsPerSample != 16))
        return WAVERR_BADFORMAT;
    *h = reinterpret_cast<HWAVEIN>(1);
    if (cb) fake.callback = cb;
    return cb ? result("inOpen") : 0;
}
MMRESULT WINAPI out_open(LPHWAVEOUT h, UINT, LPCWAVEFORMATEX f, DWORD_PTR, DWORD_PTR, DWORD) {
    if (fake.stereoOnly && f->nChannels != 2) return WAVERR_BADFORMAT;
    *h = reinterpret_cast<HWAVEOUT>(2);
    return result("outOpen");
}
// clang-format off
MMRESULT WINAPI in_close(HWAVEIN) { return result("inClose"); }
MMRESULT WINAPI out_close(HWAVEOUT) { return result("outClose"); }
MMRESULT WINAPI in_header(HWAVEIN, LPWAVEHDR, UINT) { return 0; }
MMRESULT WINAPI in_add(HWAVEIN, LPWAVEHDR, UINT) { return result("inAdd"); }
MMRESULT WINAPI in_start(HWAVEIN) { return result("inStart"); }
MMRESULT WINAPI in_stop(HWAVEIN) { return result("inStop"); }
MMRESULT WINAPI in_reset(HWAVEIN) { return 0; }
MMRESULT WINAPI out_header(HWAVEOUT, LPWAVEHDR, UINT) { return 0; }
MMRESULT WINAPI out_reset(HWAVEOUT) { return result("outReset"); }
void sleep(DWORD ms) { fake.sleeps.push_back(ms); }
// clang-format on
MMRESULT WINAPI out_write(HWAVEOUT, LPWAVEHDR h, UINT) {
    EXPECT_EQ(h->dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD(WHDR_BEGINLOOP | WHDR_ENDLOOP));
    EXPECT_EQ(h->dwLoops, 1u);
    h->dwFlags &= ~DWORD(WHDR_DONE); // queued until played
    if (fake.writes.empty()) fake.writes.emplace_back();
    fake.writes.back().push_back(int(h - dev->outHeaders));
    return 0;
}
void input_done(int k) {
    auto f = reinterpret_cast<void(CALLBACK*)(HWAVEIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)>(
        fake.callback);
    f(dev->in, 0x3C0, 0, DWORD_PTR(&dev->inHeaders[k]), 0);
}
DWORD wait(HANDLE closed, DWORD) {
    for (int k = 0; k < fake.handedBack; ++k)
        input_done(k);
    fake.signalled = WaitForSingleObject(closed, 0) == WAIT_OBJECT_0;
    return fake.signalled ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

class RtsWaveFake : public RtsWave {
protected:
    void SetUp() override {
        RtsWave::SetUp();
        fake = Fake{};
        qz::wave::calls() = {&in_open,   &in_close,  &in_header,  &in_header,
                             &in_add,    &in_start,  &in_stop,    &in_reset,
                             &out_open,  &out_close, &out_header, &out_header,
                             &out_write, &out_reset, &wait,       &sleep};
    }
    void TearDown() override {
        fake.failing.clear();
        dev->free(); // whatever a test left open
        RtsWave::TearDown();
    }
};

TEST_F(RtsWaveFake, InputOnlyAt44100And16BitsAndStereoOutputGiveOneMode) {
    fake.only44100at16 = fake.stereoOnly = true;
    ASSERT_EQ(dev->init(), QZ_OK);
    ASSERT_EQ(dev->modes.count, 1);
    const QZ_Rts::Mode* m = QZ_Rts::nth<QZ_Rts::Mode>(dev->modes, 0);
    EXPECT_EQ(m->rate, 44100);
    EXPECT_EQ(m->bits, 16);
    EXPECT_EQ(m->length, 441);
    EXPECT_EQ(m->channels, 2);
}

TEST_F(RtsWaveFake, FailedOpenLeavesTheDeviceClosed) {
    const std::pair<const char*, QZ_error> rows[] = {{"inOpen", QZ_ERROR_AUDIO_CANNOT_OPEN},
                                                     {"outOpen", QZ_ERROR_AUDIO_CANNOT_OPEN},
                                                     {"inAdd", QZ_ERROR_AUDIO},
                                                     {"inStart", QZ_ERROR_AUDIO}};
    ASSERT_EQ(dev->init(), QZ_OK);
    for (auto [call, code] : rows) {
        fake.failing = call;
        EXPECT_EQ(dev->mode(find(48000, 16, 2)), code) << call;
        EXPECT_TRUE(!dev->in && !dev->out && !dev->current && dev->outputs.count == 0) << call;
    }
    fake.failing.clear();
    EXPECT_EQ(dev->mode(find(48000, 16, 2)), QZ_OK) << "opens after failures";
}

// winmm is loaded at the first use; where a call of it cannot be had, the
// device refuses to probe or open instead of calling through null.
TEST_F(RtsWaveFake, AMissingWinmmCallRefusesProbeAndOpen) {
    ASSERT_EQ(dev->init(), QZ_OK);
    QZ_Rts::Mode* m = find(48000, 16, 2);
    ASSERT_NE(m, nullptr);
    qz::wave::calls().outWrite = nullptr;
    EXPECT_FALSE(qz::wave::complete(qz::wave::calls()));
    EXPECT_EQ(dev->mode(m), QZ_ERROR_AUDIO_CANNOT_OPEN);
    EXPECT_TRUE(!dev->in && !dev->out && !dev->current) << "nothing opened";
    EXPECT_EQ(dev->init(), QZ_ERROR_AUDIO);
    EXPECT_TRUE(qz::wave::complete(qz::wave::system_calls())) << "wine's winmm has every call";
}

// Each failing step of free is tried 10 times, half a second apart; the
// device can be closed by a later free.
TEST_F(RtsWaveFake, FreeReturnsTheCodeOfTheStepThatKeepsFailing) {
    const std::pair<const char*, QZ_error> rows[] = {
        {"inStop", QZ_ERROR_AUDIO_CANNOT_INPUT_STOP},
        {"outReset", QZ_ERROR_AUDIO_CANNOT_OUTPUT_RESET},
        {"inClose", QZ_ERROR_AUDIO_CANNOT_INPUT_CLOSE},
        {"outClose", QZ_ERROR_AUDIO_CANNOT_OUTPUT_CLOSE}};
    ASSERT_EQ(dev->init(), QZ_OK);
    for (auto [call, code] : rows) {
        ASSERT_EQ(dev->mode(find(44100, 16, 2)), QZ_OK);
        fake.failing = call;
        fake.calls = 0;
        fake.sleeps.clear();
        EXPECT_EQ(dev->free(), code) << call;
        EXPECT_EQ(fake.calls, 10) << call;
        EXPECT_EQ(fake.sleeps,
                  (std::vector<DWORD>{100, 500, 500, 500, 500, 500, 500, 500, 500, 500}))
            << call;
        fake.failing.clear();
        EXPECT_EQ(dev->free(), QZ_OK) << call;
        EXPECT_TRUE(!dev->in && !dev->out) << call;
    }
}

// The input callback as winmm calls it: each input buffer is re-queued and
// drives one block; an output is queued while two or more are free, a second
// while six or more are. With none free the block goes to no queued buffer.
TEST_F(RtsWaveFake, InputBuffersDriveBlocksAndQueueOutputs) {
    ASSERT_EQ(dev->init(), QZ_OK);
    ASSERT_EQ(dev->mode(find(44100, 16, 2)), QZ_OK);
    const std::vector<std::vector<int>> want = {{0, 1}, {2, 3}, {4}, {5}, {6}, {}, {}};
    for (size_t k = 0; k < want.size(); ++k) {
        fake.writes.emplace_back();
        if (k == 6) dev->outHeaders[7].dwFlags &= ~DWORD(WHDR_DONE); // none free now
        input_done(int(k));
        EXPECT_EQ(fake.writes.back(), want[k]) << k;
        EXPECT_EQ(QZ_Rts::nth<QZ_Rts::Chan>(dev->inputs, 1)->data, dev->inBuffers[k] + 2);
    }
    EXPECT_EQ(blocks, 7);
    const auto* out = static_cast<uint8_t*>(QZ_Rts::nth<QZ_Rts::Chan>(dev->outputs, 0)->data);
    for (uint8_t* b : dev->outBuffers)
        EXPECT_FALSE(out >= b && out < b + 441 * 4);
    // Closing: returned buffers are counted, not queued; all eight signal free.
    fake.handedBack = 7;
    fake.writes.emplace_back();
    EXPECT_EQ(dev->free(), QZ_OK);
    EXPECT_FALSE(fake.signalled);
    ASSERT_EQ(dev->mode(find(44100, 16, 2)), QZ_OK);
    fake.handedBack = 8;
    EXPECT_EQ(dev->free(), QZ_OK);
    EXPECT_TRUE(fake.signalled);
    EXPECT_TRUE(fake.writes.back().empty());
    EXPECT_EQ(blocks, 7);
}

} // namespace
