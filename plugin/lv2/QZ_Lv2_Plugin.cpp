#include "QZ_Lv2_Plugin.h"

#include "QZ_Lv2_Names.h"

#include <lv2/core/lv2.h>

#include <cmath>
#include <new>

using namespace qz::lv2;

QZ_Lv2_Plugin::QZ_Lv2_Plugin(double rate) : rate_(int32_t(rate)) {
    app.title = title;
    app.create();
    for (int32_t i = 0; i < QZ_Application::PARAMS; ++i)
        held_[i] = bits(port_value(*app.param(i)));
}

QZ_Lv2_Plugin::~QZ_Lv2_Plugin() {
    app.destroy();
}

bool QZ_Lv2_Plugin::usable_rate(double rate) {
    // The chain's clock is a whole number of hertz.
    return std::isfinite(rate) && rate >= 1.0 && rate <= 2147483647.0;
}

void QZ_Lv2_Plugin::connect(uint32_t port, void* data) {
    if (port < PORTS) ports_[port] = static_cast<float*>(data);
}

void QZ_Lv2_Plugin::activate() {
    app.resetChain();
    app.setClock(rate_);
    latency_ = float(app.delaySamples());
}

void QZ_Lv2_Plugin::run(uint32_t frames) {
    for (int32_t i = 0; i < QZ_Application::PARAMS; ++i) {
        const float* port = ports_[control_port(i)];
        if (!port) continue;
        const float v = *port;
        if (bits(v) == held_[i]) continue;
        held_[i] = bits(v);
        ++applied;
        app.setNormalised(i, normalised(*app.param(i), v));
    }
    float* in[1] = {ports_[IN]};
    float* out[2] = {ports_[OUT_1], ports_[OUT_2]};
    // The application counts frames in 32 bits.
    constexpr uint32_t MOST = 1u << 30;
    do {
        const uint32_t n = frames < MOST ? frames : MOST;
        app.run(in, out, int32_t(n));
        for (float*& p : in)
            if (p) p += n;
        for (float*& p : out)
            if (p) p += n;
        frames -= n;
    } while (frames > 0);
    // Off, the chain passes the input through as it is: no delay.
    if (float* p = ports_[LATENCY]) *p = app.state.whole() ? latency_ : 0.0f;
    // The levels of the envelopes the last meter step published, computed
    // once per step.
    if (const uint32_t steps = app.meterSteps.load(std::memory_order_relaxed); steps != metered_) {
        metered_ = steps;
        levels_[0] = QZ_Application::meterLevel(app.envelopeIn.load(std::memory_order_relaxed));
        levels_[1] = QZ_Application::meterLevel(app.envelopeOut.load(std::memory_order_relaxed));
    }
    if (float* p = ports_[METER_IN]) *p = levels_[0];
    if (float* p = ports_[METER_OUT]) *p = levels_[1];
}

// --- the descriptor ---------------------------------------------------------

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
    if (!QZ_Lv2_Plugin::usable_rate(rate)) return nullptr;
    return new (std::nothrow) QZ_Lv2_Plugin(rate);
}

void connect_port(LV2_Handle h, uint32_t port, void* data) {
    static_cast<QZ_Lv2_Plugin*>(h)->connect(port, data);
}

void activate(LV2_Handle h) {
    static_cast<QZ_Lv2_Plugin*>(h)->activate();
}

void run(LV2_Handle h, uint32_t frames) {
    static_cast<QZ_Lv2_Plugin*>(h)->run(frames);
}

void cleanup(LV2_Handle h) {
    delete static_cast<QZ_Lv2_Plugin*>(h);
}

const void* extension_data(const char*) {
    return nullptr;
}

const LV2_Descriptor descriptor = {uri, instantiate, connect_port, activate,
                                   run, nullptr,     cleanup,      extension_data};

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &descriptor : nullptr;
}
