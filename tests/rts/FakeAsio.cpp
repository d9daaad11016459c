// A small ASIO driver of our own, as an in-process COM server: tests need a
// driver to load, and no real one exists on a test machine. It implements our
// driver header, so it also shows that header's calling convention holds.
// Environment variables, read when a driver is made or initialised:
//   FAKE_ASIO_FAIL     the call that fails: create, init, getChannels,
//                      getBufferSize, setSampleRate, createBuffers, start, stop
//   FAKE_ASIO_INPUTS   sample types of the inputs, comma-separated (18,18)
//   FAKE_ASIO_OUTPUTS  likewise for the outputs (18,18)
//   FAKE_ASIO_SWITCHES switches counted (since fake_asio_reset) before it goes quiet
//   FAKE_ASIO_PLAIN    1: the plain buffer switch even where time information is taken
//   FAKE_ASIO_REPORT   a file that gets "switches N echoed M" when the driver goes
#include "iasiothiscallresolver/QZ_AsioDriver.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace qz::asio;

// {5A1F0C3E-8B2D-4C6E-9F10-2B3C4D5E6F70}
const CLSID fake_clsid = {
    0x5A1F0C3E, 0x8B2D, 0x4C6E, {0x9F, 0x10, 0x2B, 0x3C, 0x4D, 0x5E, 0x6F, 0x70}};

namespace {

std::atomic<long> objects{0};
std::atomic<int> switches{0}, echoed{0}, timed{0};
std::atomic<const Callbacks*> host{nullptr};

std::string env(const char* name, const char* fallback = "") {
    char buf[512];
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n && n < sizeof buf ? std::string(buf, n) : std::string(fallback);
}
bool failing(const char* call) {
    return env("FAKE_ASIO_FAIL") == call;
}
std::vector<int> numbers(const std::string& list) {
    std::vector<int> v;
    for (const char* p = list.c_str(); *p;) {
        char* end;
        v.push_back(int(std::strtol(p, &end, 10)));
        p = *end ? end + 1 : end;
    }
    return v;
}

int bytes_of(int type) {
    switch (type) {
    case 16:
        return 2;
    case 17:
        return 3;
    case 20:
        return 8;
    default:
        return 4;
    }
}

// One sample of x (within +-1) in the driver's sample type.
void put(uint8_t* p, int type, double x) {
    int64_t v;
    switch (type) {
    case 19: {
        float f = float(x);
        std::memcpy(p, &f, 4);
        return;
    }
    case 20:
        std::memcpy(p, &x, 8);
        return;
    case 16:
        v = int64_t(x * 32767);
        break;
    case 17:
        v = int64_t(x * 8388607);
        break;
    case 24:
        v = int64_t(x * 32767);
        break;
    case 25:
        v = int64_t(x * 131071);
        break;
    case 26:
        v = int64_t(x * 524287);
        break;
    case 27:
        v = int64_t(x * 8388607);
        break;
    default:
        v = int64_t(x * 2147483647.0);
        break;
    }
    for (int i = 0; i < bytes_of(type); ++i)
        p[i] = uint8_t(uint64_t(v) >> (8 * i));
}

class Fake final : public Driver {
public:
    Fake() { ++objects; }
    ~Fake() {
        stop();
        const std::string path = env("FAKE_ASIO_REPORT");
        if (!path.empty())
            if (FILE* f = std::fopen(path.c_str(), "w")) {
                std::fprintf(f, "switches %d echoed %d\n", switches.load(), echoed.load());
                std::fclose(f);
            }
        --objects;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == fake_clsid) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = --refs;
        if (n == 0) delete this;
        return n;
    }

    Bool QZ_ASIO_CALL init(void*) override {
        ins = numbers(env("FAKE_ASIO_INPUTS", "18,18"));
        outs = numbers(env("FAKE_ASIO_OUTPUTS", "18,18"));
        return failing("init") ? 0 : 1;
    }
    void QZ_ASIO_CALL getDriverName(char* name) override { std::strcpy(name, "Fake"); }
    int32_t QZ_ASIO_CALL getDriverVersion() override { return 1; }
    void QZ_ASIO_CALL getErrorMessage(char* text) override { std::strcpy(text, ""); }
    Error QZ_ASIO_CALL start() override {
        if (failing("start") || buffers.empty()) return fault;
        running = true;
        thread = std::thread([this] { run(); });
        return ok;
    }
    Error QZ_ASIO_CALL stop() override {
        running = false;
        if (thread.joinable()) thread.join();
        return failing("stop") ? fault : ok;
    }
    Error QZ_ASIO_CALL getChannels(int32_t* in, int32_t* out) override {
        *in = int32_t(ins.size());
        *out = int32_t(outs.size());
        return failing("getChannels") ? fault : ok;
    }
    // clang-format off
    Error QZ_ASIO_CALL getLatencies(int32_t* in, int32_t* out) override { *in = *out = size; return ok; }
    // clang-format on
    Error QZ_ASIO_CALL getBufferSize(int32_t* least, int32_t* most, int32_t* preferred,
                                     int32_t* step) override {
        *least = 64;
        *most = 4096;
        *preferred = size;
        *step = -1;
        return failing("getBufferSize") ? fault : ok;
    }
    Error QZ_ASIO_CALL canSampleRate(double r) override {
        for (int x : rates)
            if (x == r) return ok;
        return fault;
    }
    // clang-format off
    Error QZ_ASIO_CALL getSampleRate(double* r) override { *r = rate; return ok; }
    // clang-format on
    Error QZ_ASIO_CALL setSampleRate(double r) override {
        if (failing("setSampleRate") || canSampleRate(r) != ok) return fault;
        rate = r;
        return ok;
    }
    // clang-format off
    Error QZ_ASIO_CALL getClockSources(void*, int32_t* count) override { *count = 0; return ok; }
    Error QZ_ASIO_CALL setClockSource(int32_t) override { return fault; }
    Error QZ_ASIO_CALL getSamplePosition(void*, void*) override { return fault; }
    // clang-format on
    Error QZ_ASIO_CALL getChannelInfo(ChannelInfo* info) override {
        const std::vector<int>& list = info->isInput ? ins : outs;
        if (info->channel < 0 || info->channel >= int32_t(list.size())) return fault;
        info->type = list[info->channel];
        info->isActive = 1;
        info->group = 0;
        std::snprintf(info->name, sizeof info->name, "%s %d", info->isInput ? "In" : "Out",
                      int(info->channel) + 1);
        return ok;
    }
    Error QZ_ASIO_CALL createBuffers(BufferInfo* infos, int32_t count, int32_t n,
                                     const Callbacks* cb) override {
        if (failing("createBuffers") || !buffers.empty() || n != size) return fault;
        table.assign(infos, infos + count);
        for (int32_t i = 0; i < count; ++i) {
            const std::vector<int>& list = infos[i].isInput ? ins : outs;
            if (infos[i].channel < 0 || infos[i].channel >= int32_t(list.size())) return fault;
            types.push_back(list[infos[i].channel]);
            for (int h = 0; h < 2; ++h) {
                buffers.emplace_back(size_t(n) * bytes_of(types.back()));
                infos[i].buffers[h] = table[i].buffers[h] = buffers.back().data();
            }
        }
        host = cb;
        return ok;
    }
    Error QZ_ASIO_CALL disposeBuffers() override {
        stop();
        buffers.clear();
        table.clear();
        types.clear();
        return ok;
    }
    Error QZ_ASIO_CALL controlPanel() override { return fault; }
    Error QZ_ASIO_CALL future(int32_t, void*) override { return fault; }
    Error QZ_ASIO_CALL outputReady() override { return fault; }

private:
    std::atomic<ULONG> refs{1};
    std::vector<int> ins, outs;
    const int32_t size = 480; // 10 ms at 48 kHz
    const std::vector<int> rates = {44100, 48000};
    double rate = 48000;
    std::vector<BufferInfo> table;
    std::vector<int> types;
    std::vector<std::vector<uint8_t>> buffers;
    std::atomic<bool> running{false};
    std::thread thread;

    // Switches at the buffers' pace: fills the inputs of the half that is
    // due, asks the host, and counts the switches whose first output came
    // back equal to the first input.
    void run() {
        const Callbacks* cb = host.load();
        const bool useTime = env("FAKE_ASIO_PLAIN") != "1" &&
                             cb->message(1, 7, nullptr, nullptr) == 1 &&
                             cb->message(7, 0, nullptr, nullptr) == 1;
        const int limit = numbers(env("FAKE_ASIO_SWITCHES", "-1"))[0];
        const DWORD period = DWORD(std::lround(1000.0 * size / rate));
        int firstIn = -1, firstOut = -1;
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i].isInput && firstIn < 0) firstIn = int(i);
            if (!table[i].isInput && firstOut < 0) firstOut = int(i);
        }
        for (int32_t half = 0, s = 0; running; half ^= 1, ++s) {
            if (limit >= 0 && switches >= limit) {
                Sleep(1);
                continue;
            }
            for (size_t i = 0; i < table.size(); ++i)
                if (table[i].isInput)
                    for (int32_t n = 0; n < size; ++n)
                        put(static_cast<uint8_t*>(table[i].buffers[half]) + n * bytes_of(types[i]),
                            types[i], std::sin(0.01 * (s * size + n) + double(i)) * 0.9);
            if (useTime) {
                cb->bufferSwitchTimeInfo(nullptr, half, 1);
                ++timed;
            } else {
                cb->bufferSwitch(half, 1);
            }
            if (firstIn >= 0 && firstOut >= 0 && types[firstIn] == types[firstOut] &&
                std::memcmp(table[firstIn].buffers[half], table[firstOut].buffers[half],
                            size_t(size) * bytes_of(types[firstIn])) == 0)
                ++echoed;
            ++switches;
            Sleep(period);
        }
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (failing("create")) return E_FAIL;
        Fake* f = new Fake;
        const HRESULT h = f->QueryInterface(riid, out);
        f->Release();
        return h;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} factory;

} // namespace

extern "C" {

__declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID id, REFIID riid, void** out) {
    if (id != fake_clsid) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return objects ? S_FALSE : S_OK;
}

// What the tests read back: the host's callbacks and the switch counts.
__declspec(dllexport) const Callbacks* fake_asio_callbacks() {
    return host.load();
}
__declspec(dllexport) int fake_asio_switches() {
    return switches.load();
}
__declspec(dllexport) int fake_asio_echoed() {
    return echoed.load();
}
__declspec(dllexport) int fake_asio_timed() {
    return timed.load();
}
__declspec(dllexport) void fake_asio_reset() {
    switches = echoed = timed = 0;
}
}
