#pragma once
#include "Rts.h"

#include <windows.h>

#include <mmsystem.h>

// The device on the Windows wave interface: the first wave input in stereo and
// the first wave output in stereo or four channels, full duplex, eight 10 ms
// buffers each way. Each filled input buffer drives one block callback.
class QZ_Rts_Win32 : public QZ_Rts {
public:
    static constexpr int buffers = 8;

    uint8_t* outBuffers[buffers];
    uint8_t* inBuffers[buffers];
    WAVEHDR inHeaders[buffers];
    WAVEHDR outHeaders[buffers];
    WAVEFORMATEX format;
    HWAVEIN in;
    HWAVEOUT out;
    struct Record {
        QZ_Rts_Win32* device;
        int32_t index;
    } records[buffers];
    QZ_Chain_Item backEndItem;
    QZ_Chain_Item instanceItem;
    HANDLE mutex;

    QZ_Rts_Win32();
    ~QZ_Rts_Win32() override;

    // Sets the block callback and makes the one wave device, "Windows".
    QZ_EXPORT static QZ_error classInit(Callback cb);
    // Deletes the devices classInit made.
    static void classExit();
    // The back end's own devices.
    static QZ_Chain devices;

    QZ_error init() override;
    QZ_error mode(Mode* m) override;
    QZ_error free() override;

private:
    HANDLE closed; // set once every input buffer came back after closing began
    uint8_t* block;
    uint8_t* spare;

    void resetHeaders();
    void closeDevices();
    static void CALLBACK inputDone(HWAVEIN, UINT message, DWORD_PTR, DWORD_PTR header, DWORD_PTR);
    void onInput(int32_t k);
    void queue(int32_t k);
};

namespace qz::wave {

// The winmm calls the back end makes, through one table: tests replace
// entries where no system can be made to fail on purpose.
struct Calls {
    decltype(&::waveInOpen) inOpen;
    decltype(&::waveInClose) inClose;
    decltype(&::waveInPrepareHeader) inPrepare;
    decltype(&::waveInUnprepareHeader) inUnprepare;
    decltype(&::waveInAddBuffer) inAdd;
    decltype(&::waveInStart) inStart;
    decltype(&::waveInStop) inStop;
    decltype(&::waveInReset) inReset;
    decltype(&::waveOutOpen) outOpen;
    decltype(&::waveOutClose) outClose;
    decltype(&::waveOutPrepareHeader) outPrepare;
    decltype(&::waveOutUnprepareHeader) outUnprepare;
    decltype(&::waveOutWrite) outWrite;
    decltype(&::waveOutReset) outReset;
    DWORD (*wait)(HANDLE, DWORD);
    void (*sleep)(DWORD);
};
// In use now; starts as the system's.
Calls& calls();
// winmm's own, resolved at the first call.
const Calls& system_calls();
// Whether every call is there: winmm could not be loaded otherwise.
bool complete(const Calls& c);

} // namespace qz::wave
