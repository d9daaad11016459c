#include "Rts/AsioDrivers_Win32.h"
#include "Rts/Asio_Win32.h"

#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

// These tests load a real in-process COM server through the registry: our
// own small driver (tests/rts/FakeAsio.cpp), since no ASIO driver is installed
// under wine. They write HKLM\Software\ASIO and the driver's class in the
// test prefix and remove both again.
namespace {

const char* const fake_clsid = "{5A1F0C3E-8B2D-4C6E-9F10-2B3C4D5E6F70}";
const char* const lost_clsid = "{5A1F0C3E-8B2D-4C6E-9F10-2B3C4D5E6F71}";    // server file missing
const char* const unknown_clsid = "{5A1F0C3E-8B2D-4C6E-9F10-2B3C4D5E6F72}"; // not registered
const char* const forty = "A driver whose name has forty characters";

void put(HKEY root, const std::string& path, const char* value, const std::string& text) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS)
        << path;
    RegSetValueExA(k, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD(text.size() + 1));
    RegCloseKey(k);
}

std::string beside_me(const char* file) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of("\\/") + 1) + file;
}

// One of the stand-in driver's own functions.
template <class F> F fake_function(HMODULE dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

std::atomic<int> blocks{0};
QZ_Rts_Asio* streaming = nullptr;

// Every input to the output of the same number.
void pass_through() {
    ++blocks;
    for (int32_t c = 0;; ++c) {
        QZ_Rts::Chan* in = QZ_Rts::nth<QZ_Rts::Chan>(streaming->inputs, c);
        QZ_Rts::Chan* out = QZ_Rts::nth<QZ_Rts::Chan>(streaming->outputs, c);
        if (!in || !out) return;
        QZ_Rts::copyBuffer(out, in);
    }
}

class RtsAsio : public ::testing::Test {
protected:
    HMODULE fake = nullptr;
    int (*switches)() = nullptr;
    int (*echoed)() = nullptr;
    int (*timed)() = nullptr;

    void SetUp() override {
        const std::string dll = beside_me("FakeAsio.dll");
        // Held here too, so that its counters can be read.
        fake = LoadLibraryA(dll.c_str());
        ASSERT_NE(fake, nullptr) << dll;
        switches = fake_function<int (*)()>(fake, "fake_asio_switches");
        echoed = fake_function<int (*)()>(fake, "fake_asio_echoed");
        timed = fake_function<int (*)()>(fake, "fake_asio_timed");
        fake_function<void (*)()>(fake, "fake_asio_reset")();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ASIO");
        const std::string classes = "CLSID\\";
        put(HKEY_CLASSES_ROOT, classes + fake_clsid + "\\InprocServer32", nullptr, dll);
        put(HKEY_CLASSES_ROOT, classes + fake_clsid + "\\InprocServer32", "ThreadingModel",
            "Apartment");
        put(HKEY_CLASSES_ROOT, classes + lost_clsid + "\\InprocServer32", nullptr,
            beside_me("NoSuchDriver.dll"));
        const std::string asio = "Software\\ASIO\\";
        put(HKEY_LOCAL_MACHINE, asio + "A", "clsid", fake_clsid);
        put(HKEY_LOCAL_MACHINE, asio + "A", "description", "Fake driver");
        put(HKEY_LOCAL_MACHINE, asio + "B", "clsid", fake_clsid);
        put(HKEY_LOCAL_MACHINE, asio + "B", "description", forty);
        put(HKEY_LOCAL_MACHINE, asio + "C lost", "clsid", lost_clsid);
        put(HKEY_LOCAL_MACHINE, asio + "D unknown", "clsid", unknown_clsid);
        put(HKEY_LOCAL_MACHINE, asio + "E undescribed", "clsid", fake_clsid);
        blocks = 0;
    }
    void TearDown() override {
        QZ_Rts_Asio::classExit();
        EXPECT_EQ(QZ_Rts_instances.count, 0);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ASIO");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + fake_clsid).c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + lost_clsid).c_str());
        for (const char* v : {"FAKE_ASIO_FAIL", "FAKE_ASIO_INPUTS", "FAKE_ASIO_OUTPUTS",
                              "FAKE_ASIO_SWITCHES", "FAKE_ASIO_PLAIN"})
            SetEnvironmentVariableA(v, nullptr);
        FreeLibrary(fake);
    }
    QZ_Rts_Asio* device(int32_t n) {
        EXPECT_EQ(QZ_Rts_Asio::classInit(&pass_through), QZ_OK);
        QZ_Chain_Item* i = QZ_Rts_Asio::devices.first();
        for (; n > 0 && !QZ_Rts_Asio::devices.end(i); --n)
            i = i->next;
        return streaming =
                   QZ_Rts_Asio::devices.end(i) ? nullptr : static_cast<QZ_Rts_Asio*>(i->data);
    }
    // Opens the first mode and waits for the driver's given number of switches.
    void stream(QZ_Rts_Asio* d, int n) {
        SetEnvironmentVariableA("FAKE_ASIO_SWITCHES", std::to_string(n).c_str());
        ASSERT_EQ(d->init(), QZ_OK);
        ASSERT_EQ(d->mode(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 0)), QZ_OK);
        for (int t = 0; t < 500 && switches() < n; ++t)
            Sleep(10);
        EXPECT_EQ(d->free(), QZ_OK);
        EXPECT_EQ(switches(), n);
    }
};

TEST_F(RtsAsio, ListsRegisteredDriversByTheirShownNames) {
    device(0);
    std::vector<std::string> names;
    for (QZ_Chain_Item* i = QZ_Rts_instances.first(); !QZ_Rts_instances.end(i); i = i->next)
        names.push_back(static_cast<QZ_Rts*>(i->data)->name);
    EXPECT_EQ(names, (std::vector<std::string>{"Fake driver", "A driver whose name has fort...",
                                               "E undescribed"}));
    EXPECT_EQ(std::string(forty).size(), 40u);
    QZ_Rts_Asio::classExit();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ASIO");
    EXPECT_EQ(device(0), nullptr);
    EXPECT_EQ(QZ_Rts_instances.count, 0);
}

TEST_F(RtsAsio, StreamsThroughEitherBufferSwitch) {
    QZ_Rts_Asio* d = device(0);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->init(), QZ_OK);
    ASSERT_EQ(d->modes.count, 2); // the driver takes 44100 and 48000
    EXPECT_STREQ(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 0)->description, " 48.0 kHz, 32 bit, stereo");
    EXPECT_STREQ(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 1)->description, " 44.1 kHz, 32 bit, stereo");
    EXPECT_EQ(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 1)->length, 480);
    stream(d, 6);
    EXPECT_EQ(blocks, 6);
    EXPECT_EQ(echoed(), 6);
    EXPECT_EQ(timed(), 6); // we take time information, so the driver sends it
    SetEnvironmentVariableA("FAKE_ASIO_PLAIN", "1");
    stream(d, 12);
    EXPECT_EQ(blocks, 12);
    EXPECT_EQ(echoed(), 12);
    EXPECT_EQ(timed(), 6);
    EXPECT_EQ(d->release(), QZ_OK);
    EXPECT_EQ(qz::asio::drivers().loaded(), nullptr);
}

TEST_F(RtsAsio, KeepsSixteenChannelsOfKnownTypesWithoutGaps) {
    std::string inputs = "20";
    for (int i = 1; i < 24; ++i)
        inputs += ",18";
    SetEnvironmentVariableA("FAKE_ASIO_INPUTS", inputs.c_str());
    SetEnvironmentVariableA("FAKE_ASIO_OUTPUTS", "20,99,17,16,19,24,25,26,27");
    QZ_Rts_Asio* d = device(0);
    ASSERT_EQ(d->init(), QZ_OK);
    EXPECT_EQ(d->inputs.count, 16);
    EXPECT_EQ(d->inputCount, 16);
    stream(d, 4);
    // Doubles came back bit for bit: read and written as doubles.
    EXPECT_EQ(echoed(), 4);
    // Opened again without init: every output channel is still there.
    ASSERT_EQ(d->mode(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 0)), QZ_OK);
    const uint32_t formats[] = {0x1004008, 0x1803,  0x1002,  0x1002004,
                                0x101004,  0xE1204, 0xC1404, 0x81804};
    const int32_t index[] = {0, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(d->init(), QZ_ERROR_AUDIO); // not while open
    ASSERT_EQ(d->outputs.count, 8);
    for (int c = 0; c < 8; ++c) {
        const QZ_Rts::Chan* out = QZ_Rts::nth<QZ_Rts::Chan>(d->outputs, c);
        EXPECT_EQ(out->format, formats[c]) << c;
        EXPECT_EQ(out->index, index[c]) << c;
        EXPECT_EQ(d->table[16 + c].channel, index[c]) << c;
        EXPECT_EQ(d->table[16 + c].isInput, 0) << c;
    }
    EXPECT_EQ(d->free(), QZ_OK);
}

TEST_F(RtsAsio, ReportsTheDriverCallThatFailed) {
    struct Row {
        const char* fail;
        int line;
        const char* proc;
        const char* call;
    } rows[] = {{"create", 185, "QZ_Rts_Asio::init", "ASIOInit"},
                {"init", 185, "QZ_Rts_Asio::init", "ASIOInit"},
                {"getChannels", 190, "QZ_Rts_Asio::init", "ASIOGetChannels"},
                {"getBufferSize", 197, "QZ_Rts_Asio::init", "ASIOGetBufferSize"},
                {"setSampleRate", 242, "QZ_Rts_Asio::mode", "ASIOSetSampleRate"},
                {"createBuffers", 291, "QZ_Rts_Asio::mode", "ASIOCreateBuffers"},
                {"start", 296, "QZ_Rts_Asio::mode", "ASIOStart"},
                {"stop", 309, "QZ_Rts_Asio::free", "ASIOStop"}};
    QZ_Rts_Asio* d = device(0);
    for (const Row& r : rows) {
        SetEnvironmentVariableA("FAKE_ASIO_FAIL", r.fail);
        qz::test::ReportCapture capture;
        QZ_error e = d->init();
        if (e == QZ_OK) e = d->mode(QZ_Rts::nth<QZ_Rts::Mode>(d->modes, 0));
        if (e == QZ_OK) e = d->free();
        EXPECT_EQ(e, QZ_ERROR_AUDIO) << r.fail;
        ASSERT_EQ(capture.reports().size(), 1u) << r.fail;
        char want[256];
        std::snprintf(want, sizeof want,
                      "Error: %s\nFile: projects/QZ/QZ/Rts/Asio.cpp\nLine: %d\nProc: %s\nDate: ",
                      r.call, r.line, r.proc);
        EXPECT_EQ(capture.reports()[0].text.rfind(want, 0), 0u) << capture.reports()[0].text;
        EXPECT_TRUE(!d->current && d->outputs.count == 0) << r.fail;
        SetEnvironmentVariableA("FAKE_ASIO_FAIL", nullptr);
        d->free();
        d->release();
    }
}

TEST_F(RtsAsio, AnswersTheDriversMessages) {
    QZ_Rts_Asio* d = device(0);
    stream(d, 1);
    auto cb = fake_function<const qz::asio::Callbacks* (*)()>(fake, "fake_asio_callbacks")();
    ASSERT_NE(cb, nullptr);
    for (int32_t v = 0; v <= 12; ++v) {
        const bool known = v == 2 || v == 3 || (v >= 5 && v <= 8) || v == 10;
        EXPECT_EQ(cb->message(1, v, nullptr, nullptr), known ? 1 : 0) << v;
    }
    const int32_t answers[][2] = {{2, 2}, {3, 1}, {4, 0}, {5, 1}, {6, 1}, {7, 1}, {8, 0}, {99, 0}};
    for (auto [selector, answer] : answers)
        EXPECT_EQ(cb->message(selector, 0, nullptr, nullptr), answer) << selector;
    EXPECT_EQ(cb->bufferSwitchTimeInfo(nullptr, 0, 1), nullptr);
}

// Releasing one device leaves the driver another device loaded since.
TEST_F(RtsAsio, ReleaseUnloadsOnlyItsOwnDriver) {
    QZ_Rts_Asio* a = device(0);
    QZ_Rts_Asio* b = static_cast<QZ_Rts_Asio*>(a->backEndItem.next->data);
    ASSERT_EQ(a->init(), QZ_OK);
    streaming = b;
    ASSERT_EQ(b->init(), QZ_OK);
    a->release();
    ASSERT_NE(qz::asio::drivers().loaded(), nullptr);
    SetEnvironmentVariableA("FAKE_ASIO_SWITCHES", "2");
    ASSERT_EQ(b->mode(QZ_Rts::nth<QZ_Rts::Mode>(b->modes, 0)), QZ_OK);
    for (int t = 0; t < 500 && switches() < 2; ++t)
        Sleep(10);
    EXPECT_EQ(b->free(), QZ_OK);
    EXPECT_EQ(echoed(), 2);
}

#if defined(__i386__)
// The driver's methods take `this` in ECX and pop their own arguments, as
// fastcall does with a second, unused register argument.
TEST_F(RtsAsio, DriverMethodsUseThiscall) {
    QZ_Rts_Asio* d = device(0);
    ASSERT_EQ(d->init(), QZ_OK);
    void* driver = qz::asio::drivers().loaded();
    using Fast = qz::asio::Error(__attribute__((fastcall))*)(void*, void*, int32_t*, int32_t*);
    auto getChannels = reinterpret_cast<Fast>((*static_cast<void***>(driver))[3 + 6]);
    int32_t in = -1, out = -1;
    EXPECT_EQ(getChannels(driver, nullptr, &in, &out), qz::asio::ok);
    EXPECT_EQ(in, 2);
    EXPECT_EQ(out, 2);
}
#endif

} // namespace
