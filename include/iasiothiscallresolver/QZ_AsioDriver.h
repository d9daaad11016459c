#pragma once
// The driver object an ASIO driver's COM server makes, as we call it, and the
// records passed to it. Drivers implement the methods below in this order,
// after IUnknown's three; this header is the one place that order is stated.
//
// The methods use the platform's member-call convention: on 32-bit Windows
// `this` travels in ECX and the callee pops its arguments (thiscall), which
// QZ_ASIO_CALL spells out for our compiler, whatever its default for member
// functions. 64-bit Windows has one calling convention: plain virtual calls.
#include <unknwn.h>

#include <cstdint>

#if defined(__i386__)
#define QZ_ASIO_CALL __attribute__((thiscall))
#else
#define QZ_ASIO_CALL
#endif

namespace qz::asio {

using Bool = int32_t;
using Error = int32_t;

constexpr Error ok = 0;
constexpr Error not_present = -1000; // no driver loaded
constexpr Error fault = -999;        // the driver could not do what was asked

struct ChannelInfo {
    int32_t channel;
    Bool isInput;
    Bool isActive;
    int32_t group;
    int32_t type; // sample type
    char name[32];
};

// One entry of the buffer table; the driver fills in both halves.
struct BufferInfo {
    Bool isInput;
    int32_t channel;
    void* buffers[2];
};

// The host's callbacks, plain C functions.
struct Callbacks {
    void (*bufferSwitch)(int32_t half, Bool direct);
    void (*sampleRateChanged)(double rate);
    int32_t (*message)(int32_t selector, int32_t value, void* data, double* opt);
    void* (*bufferSwitchTimeInfo)(void* time, int32_t half, Bool direct);
};

struct Driver : public IUnknown {
    virtual Bool QZ_ASIO_CALL init(void* window) = 0;
    virtual void QZ_ASIO_CALL getDriverName(char* name) = 0;
    virtual int32_t QZ_ASIO_CALL getDriverVersion() = 0;
    virtual void QZ_ASIO_CALL getErrorMessage(char* text) = 0;
    virtual Error QZ_ASIO_CALL start() = 0;
    virtual Error QZ_ASIO_CALL stop() = 0;
    virtual Error QZ_ASIO_CALL getChannels(int32_t* inputs, int32_t* outputs) = 0;
    virtual Error QZ_ASIO_CALL getLatencies(int32_t* input, int32_t* output) = 0;
    virtual Error QZ_ASIO_CALL getBufferSize(int32_t* least, int32_t* most, int32_t* preferred,
                                             int32_t* granularity) = 0;
    virtual Error QZ_ASIO_CALL canSampleRate(double rate) = 0;
    virtual Error QZ_ASIO_CALL getSampleRate(double* rate) = 0;
    virtual Error QZ_ASIO_CALL setSampleRate(double rate) = 0;
    virtual Error QZ_ASIO_CALL getClockSources(void* clocks, int32_t* count) = 0;
    virtual Error QZ_ASIO_CALL setClockSource(int32_t reference) = 0;
    virtual Error QZ_ASIO_CALL getSamplePosition(void* position, void* stamp) = 0;
    virtual Error QZ_ASIO_CALL getChannelInfo(ChannelInfo* info) = 0;
    virtual Error QZ_ASIO_CALL createBuffers(BufferInfo* infos, int32_t count, int32_t size,
                                             const Callbacks* callbacks) = 0;
    virtual Error QZ_ASIO_CALL disposeBuffers() = 0;
    virtual Error QZ_ASIO_CALL controlPanel() = 0;
    virtual Error QZ_ASIO_CALL future(int32_t selector, void* opt) = 0;
    virtual Error QZ_ASIO_CALL outputReady() = 0;
};

} // namespace qz::asio
