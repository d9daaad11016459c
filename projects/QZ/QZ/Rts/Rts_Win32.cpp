#include "Rts_Win32.h"

#include "QZ_Platform_Win32.h"

#include <cstdlib>
#include <cstring>
#include <new>

QZ_Chain QZ_Rts_Win32::devices;

using qz::wave::calls;

namespace {

DWORD wait_for(HANDLE h, DWORD ms) {
    return WaitForSingleObject(h, ms);
}
void sleep_for(DWORD ms) {
    Sleep(ms);
}

// winmm is loaded when a device is first probed or opened, not with the
// framework's module: the plug-in, which takes the framework whole, opens no
// device, and under wine winmm brings ole32 and msacm32 with it.
qz::wave::Calls load_system_calls() {
    const HMODULE winmm = LoadLibraryA("winmm.dll");
    qz::wave::Calls c{};
    using qz::win32::resolve;
    resolve(winmm, "waveInOpen", c.inOpen);
    resolve(winmm, "waveInClose", c.inClose);
    resolve(winmm, "waveInPrepareHeader", c.inPrepare);
    resolve(winmm, "waveInUnprepareHeader", c.inUnprepare);
    resolve(winmm, "waveInAddBuffer", c.inAdd);
    resolve(winmm, "waveInStart", c.inStart);
    resolve(winmm, "waveInStop", c.inStop);
    resolve(winmm, "waveInReset", c.inReset);
    resolve(winmm, "waveOutOpen", c.outOpen);
    resolve(winmm, "waveOutClose", c.outClose);
    resolve(winmm, "waveOutPrepareHeader", c.outPrepare);
    resolve(winmm, "waveOutUnprepareHeader", c.outUnprepare);
    resolve(winmm, "waveOutWrite", c.outWrite);
    resolve(winmm, "waveOutReset", c.outReset);
    c.wait = &wait_for;
    c.sleep = &sleep_for;
    return c;
}

// The device whose init ran last: the input callback works only through it.
std::atomic<QZ_Rts_Win32*> streaming{nullptr};
// Input buffers that came back after closing began, one bit each.
std::atomic<uint32_t> closing{0};

constexpr DWORD probe_flags = WAVE_FORMAT_DIRECT | WAVE_MAPPED;
constexpr UINT input_done = 0x3C0;

WAVEFORMATEX pcm(int32_t rate, int32_t bits, int32_t channels) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = WORD(channels);
    f.nSamplesPerSec = DWORD(rate);
    f.wBitsPerSample = WORD(bits);
    f.nBlockAlign = WORD(bits * channels / 8);
    f.nAvgBytesPerSec = DWORD(rate) * f.nBlockAlign;
    return f;
}

// A failing call is tried 10 times in all, half a second apart.
template <class F> bool retried(F call) {
    for (int attempt = 1;; ++attempt) {
        if (call() == MMSYSERR_NOERROR) return true;
        if (attempt == 10) return false;
        calls().sleep(500);
    }
}

const char* const output_names[] = {"Left front", "Right front", "Left back", "Right back"};

} // namespace

qz::wave::Calls& qz::wave::calls() {
    static Calls inUse = system_calls();
    return inUse;
}
const qz::wave::Calls& qz::wave::system_calls() {
    static const Calls loaded = load_system_calls();
    return loaded;
}
bool qz::wave::complete(const Calls& c) {
    return c.inOpen && c.inClose && c.inPrepare && c.inUnprepare && c.inAdd && c.inStart &&
           c.inStop && c.inReset && c.outOpen && c.outClose && c.outPrepare && c.outUnprepare &&
           c.outWrite && c.outReset && c.wait && c.sleep;
}

QZ_Rts_Win32::QZ_Rts_Win32()
    : QZ_Rts("Windows"), format(pcm(0, 0, 0)), in(nullptr), out(nullptr), backEndItem(this),
      instanceItem(this), mutex(CreateMutexA(nullptr, FALSE, nullptr)),
      closed(CreateEventA(nullptr, FALSE, FALSE, nullptr)), block(nullptr), spare(nullptr) {
    for (int k = 0; k < buffers; ++k) {
        outBuffers[k] = inBuffers[k] = nullptr;
        records[k] = {this, k};
    }
    resetHeaders();
}

QZ_Rts_Win32::~QZ_Rts_Win32() {
    if (in || out) free();
    QZ_Rts_Win32* self = this;
    streaming.compare_exchange_strong(self, nullptr);
    devices.remove(&backEndItem);
    QZ_Rts_instances.remove(&instanceItem);
    // A device that would not stop may still write into its buffers.
    if (!in) std::free(block);
    CloseHandle(closed);
    CloseHandle(mutex);
}

void QZ_Rts_Win32::resetHeaders() {
    for (int k = 0; k < buffers; ++k) {
        inHeaders[k] = WAVEHDR{};
        inHeaders[k].dwUser = DWORD_PTR(&records[k]);
        inHeaders[k].dwFlags = WHDR_DONE;
        outHeaders[k] = WAVEHDR{};
        outHeaders[k].dwUser = DWORD_PTR(&records[k]);
        outHeaders[k].dwFlags = WHDR_DONE;
        outHeaders[k].dwLoops = 1;
    }
}

QZ_error QZ_Rts_Win32::classInit(Callback cb) {
    callback.store(cb);
    auto* d = new (std::nothrow) QZ_Rts_Win32;
    if (!d) return QZ_ERROR_MEMORY_CANNOT_ALLOCATE;
    devices.insert(&d->backEndItem);
    QZ_Rts_instances.insert(&d->instanceItem);
    return QZ_OK;
}

void QZ_Rts_Win32::classExit() {
    while (!devices.end(devices.first()))
        delete static_cast<QZ_Rts_Win32*>(devices.first()->data);
}

QZ_error QZ_Rts_Win32::init() {
    if (current || in || out) return QZ_ERROR_AUDIO; // open: free first
    if (!qz::wave::complete(calls())) return QZ_ERROR_AUDIO;
    QZ_Rts::release(); // probing again lists each mode once
    for (int32_t bits : {32, 24, 16}) {
        for (int32_t rate : {48000, 96000, 192000, 44100}) {
            WAVEFORMATEX f = pcm(rate, bits, 2);
            HWAVEIN probe;
            if (calls().inOpen(&probe, 0, &f, 0, 0, probe_flags) != MMSYSERR_NOERROR) continue;
            calls().inClose(probe);
            for (int32_t channels : {4, 2}) {
                f = pcm(rate, bits, channels);
                HWAVEOUT o;
                if (calls().outOpen(&o, 0, &f, 0, 0, probe_flags) != MMSYSERR_NOERROR) continue;
                calls().outClose(o);
                modes.insert(&(new Mode(rate, bits, rate / 100, channels))->item);
            }
        }
    }
    inputs.insert(&(new Chan("Left", 0, 0))->item);
    inputs.insert(&(new Chan("Right", 0, 0))->item);
    streaming.store(this);
    return QZ_OK;
}

void QZ_Rts_Win32::closeDevices() {
    if (in) {
        calls().inReset(in);
        for (WAVEHDR& h : inHeaders)
            calls().inUnprepare(in, &h, sizeof h);
        calls().inClose(in);
    }
    if (out) {
        calls().outReset(out);
        for (WAVEHDR& h : outHeaders)
            calls().outUnprepare(out, &h, sizeof h);
        calls().outClose(out);
    }
    in = nullptr;
    out = nullptr;
    std::free(block);
    block = nullptr;
    QZ_Rts::free();
}

QZ_error QZ_Rts_Win32::mode(Mode* m) {
    if (!m || current || in || out || !qz::wave::complete(calls()))
        return QZ_ERROR_AUDIO_CANNOT_OPEN;
    current = m;
    in = nullptr;
    out = nullptr;
    format = pcm(m->rate, m->bits, 2);
    if (calls().inOpen(&in, 0, &format, DWORD_PTR(&inputDone), 0,
                       CALLBACK_FUNCTION | WAVE_FORMAT_DIRECT | WAVE_MAPPED) != MMSYSERR_NOERROR) {
        in = nullptr;
        closeDevices();
        return QZ_ERROR_AUDIO_CANNOT_OPEN;
    }
    WAVEFORMATEX of = pcm(m->rate, m->bits, m->channels);
    // Output needs no callback: the input callback finds free buffers by their flags.
    if (calls().outOpen(&out, 0, &of, 0, 0, probe_flags) != MMSYSERR_NOERROR) {
        out = nullptr;
        closeDevices();
        return QZ_ERROR_AUDIO_CANNOT_OPEN;
    }
    const int32_t bytes = m->bits / 8;
    const size_t g = size_t(bytes) * size_t(m->length);
    const size_t outSize = g * size_t(m->channels);
    // Eight output buffers, eight stereo input buffers, and one spare output
    // that a block goes to when no output buffer is free.
    block = static_cast<uint8_t*>(std::calloc(1, 8 * g * size_t(m->channels + 2) + outSize));
    if (!block) {
        closeDevices();
        return QZ_ERROR_MEMORY_CANNOT_ALLOCATE;
    }
    for (int k = 0; k < buffers; ++k) {
        outBuffers[k] = block + k * outSize;
        inBuffers[k] = block + 8 * outSize + k * 2 * g;
    }
    spare = block + 8 * outSize + 16 * g;
    resetHeaders();
    for (QZ_Chain_Item* i = inputs.first(); !inputs.end(i); i = i->next) {
        at<Chan>(i)->format = uint32_t(bytes * 2 + m->bits * 256);
        at<Chan>(i)->count = m->length;
    }
    for (int32_t c = 0; c < m->channels && c < 4; ++c)
        outputs.insert(
            &(new Chan(output_names[c], uint32_t(bytes * m->channels + m->bits * 256), m->length))
                 ->item);
    for (int k = 0; k < buffers; ++k) {
        inHeaders[k].lpData = reinterpret_cast<LPSTR>(inBuffers[k]);
        inHeaders[k].dwBufferLength = DWORD(2 * g);
        if (calls().inPrepare(in, &inHeaders[k], sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
            calls().inAdd(in, &inHeaders[k], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            closeDevices();
            return QZ_ERROR_AUDIO;
        }
        outHeaders[k].lpData = reinterpret_cast<LPSTR>(outBuffers[k]);
        outHeaders[k].dwBufferLength = DWORD(outSize);
    }
    if (calls().inStart(in) != MMSYSERR_NOERROR) {
        closeDevices();
        return QZ_ERROR_AUDIO;
    }
    return QZ_OK;
}

void CALLBACK QZ_Rts_Win32::inputDone(HWAVEIN, UINT message, DWORD_PTR, DWORD_PTR header,
                                      DWORD_PTR) {
    if (message != input_done || !streaming.load()) return;
    auto* r = reinterpret_cast<Record*>(reinterpret_cast<WAVEHDR*>(header)->dwUser);
    r->device->onInput(r->index);
}

void QZ_Rts_Win32::queue(int32_t k) {
    WAVEHDR& h = outHeaders[k];
    h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    h.dwLoops = 1;
    calls().outPrepare(out, &h, sizeof h);
    calls().outWrite(out, &h, sizeof h);
}

void QZ_Rts_Win32::onInput(int32_t k) {
    // free() clears the mode under the same mutex: a block in progress
    // finishes before the outputs go.
    WaitForSingleObject(mutex, INFINITE);
    if (!current) {
        ReleaseMutex(mutex);
        if ((closing.fetch_or(1u << k) | 1u << k) == 0xFF) SetEvent(closed);
        return;
    }
    calls().inAdd(in, &inHeaders[k], sizeof(WAVEHDR));
    const int32_t bytes = current->bits / 8;
    int32_t c = 0;
    for (QZ_Chain_Item* i = inputs.first(); !inputs.end(i); i = i->next, ++c)
        at<Chan>(i)->data = inBuffers[k] + c * bytes;
    int32_t free = 0, f1 = -1, f2 = -1;
    for (int32_t i = 0; i < buffers; ++i) {
        if (!(outHeaders[i].dwFlags & WHDR_DONE)) continue;
        ++free;
        if (f1 < 0)
            f1 = i;
        else if (f2 < 0)
            f2 = i;
    }
    uint8_t* target = f1 >= 0 ? outBuffers[f1] : spare;
    c = 0;
    for (QZ_Chain_Item* i = outputs.first(); !outputs.end(i); i = i->next, ++c)
        at<Chan>(i)->data = target + c * bytes;
    call_back();
    if (free >= 2) {
        queue(f1);
        if (free >= 6) queue(f2);
    }
    ReleaseMutex(mutex);
}

QZ_error QZ_Rts_Win32::free() {
    if (!in && !out) return QZ_Rts::free(); // nothing open
    closing.store(0);
    ResetEvent(closed);
    WaitForSingleObject(mutex, INFINITE);
    QZ_Rts::free(); // from here on the callback counts buffers instead of queuing them
    ReleaseMutex(mutex);
    if (in) calls().wait(closed, 10000); // past 10 s, stopping goes on regardless
    calls().sleep(100);
    // Each device is closed once: a later free after a failure goes on
    // where this one stopped.
    if (in) {
        if (!retried([&] { return calls().inStop(in); })) return QZ_ERROR_AUDIO_CANNOT_INPUT_STOP;
        calls().inReset(in); // buffers the wait did not see come back
    }
    if (out && !retried([&] { return calls().outReset(out); }))
        return QZ_ERROR_AUDIO_CANNOT_OUTPUT_RESET;
    for (int k = 0; k < buffers; ++k) {
        if (in) calls().inUnprepare(in, &inHeaders[k], sizeof(WAVEHDR));
        if (out) calls().outUnprepare(out, &outHeaders[k], sizeof(WAVEHDR));
    }
    if (in && !retried([&] { return calls().inClose(in); }))
        return QZ_ERROR_AUDIO_CANNOT_INPUT_CLOSE;
    in = nullptr;
    if (out && !retried([&] { return calls().outClose(out); }))
        return QZ_ERROR_AUDIO_CANNOT_OUTPUT_CLOSE;
    out = nullptr;
    std::free(block);
    block = nullptr;
    return QZ_OK;
}
