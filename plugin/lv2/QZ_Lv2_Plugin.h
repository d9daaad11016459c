#pragma once
// The plug-in as an LV2 host runs it: the sustainer application of the
// VST 2.x plug-in, driven through ports. Control ports are read once per run
// and a value is applied only when it changed, as the VST 2.x plug-in's
// setParameter applies it; nothing else is parsed, locked or allocated there.
#include "QZ_Application.h"
#include "QZ_Lv2.h"

#include <cstdint>

class QZ_Lv2_Plugin {
public:
    // At the host's sample rate (a positive number of hertz).
    explicit QZ_Lv2_Plugin(double rate);
    ~QZ_Lv2_Plugin();
    QZ_Lv2_Plugin(const QZ_Lv2_Plugin&) = delete;
    QZ_Lv2_Plugin& operator=(const QZ_Lv2_Plugin&) = delete;

    void connect(uint32_t port, void* data);
    // As a VST 2.x host opens the plug-in and gives it the rate: the chain
    // cleared and reset, then clocked.
    void activate();
    void run(uint32_t frames);

    // Whether a rate is one the chain can be clocked at.
    static bool usable_rate(double rate);

    QZ_Application app;
    // Control port values applied so far (a test reads it).
    uint64_t applied = 0;

private:
    int32_t rate_;
    float latency_ = 0.0f;
    float* ports_[qz::lv2::PORTS] = {};
    // What each control port held when last applied, bit for bit; at first
    // the parameters' own starting values, so a port left at its default
    // changes nothing.
    uint32_t held_[QZ_Application::PARAMS] = {};
    // The meter ports' levels, and the meter step they are of.
    uint32_t metered_ = 0;
    float levels_[2] = {};
};
