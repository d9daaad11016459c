#include "Rts.h"

#include "QZ_Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

QZ_Chain QZ_Rts_instances;
std::atomic<QZ_Rts::Callback> QZ_Rts::callback{nullptr};

namespace {

std::atomic<bool> copy_failure{false};

// A format word taken apart. Float containers of 8 bytes hold doubles: the
// 64-bit float channels some drivers offer.
struct Layout {
    intptr_t stride;
    int bits; // significant bits of an integer sample
    int size; // container bytes
    bool real;
};

bool decode(uint32_t word, Layout& l) {
    l.stride = word & 0xFF;
    l.bits = (word >> 8) & 0xFF;
    const int total = l.bits + ((word >> 16) & 0xFF);
    l.size = total / 8;
    l.real = (word >> 24) != 0;
    if (total % 8 != 0) return false;
    if (l.real) return l.size == 4 || l.size == 8;
    return l.size >= 1 && l.size <= 4 && l.bits >= 1;
}

constexpr double full = 2147483647.0;

// One sample as a 32-bit integer filling the range (v) and as a fraction of
// full scale (x): the two forms every conversion passes through.
struct Sample {
    int32_t v;
    double x;
};

Sample read(const uint8_t* p, const Layout& l) {
    double x;
    if (l.real) {
        if (l.size == 8) {
            double d;
            std::memcpy(&d, p, 8);
            x = d;
        } else {
            float f;
            std::memcpy(&f, p, 4);
            x = f;
        }
        x = std::isnan(x) ? -1.0 : x < -1.0 ? -1.0 : x > 1.0 ? 1.0 : x;
        return {int32_t(x * full), x};
    }
    uint32_t u = 0;
    for (int i = 0; i < l.size; ++i)
        u |= uint32_t(p[i]) << (8 * i);
    // Right-aligned: the shift drops the container's spare high bits.
    const int32_t v = int32_t(u << (32 - l.bits));
    x = v / full;
    return {v, x < -1.0 ? -1.0 : x};
}

void write(uint8_t* p, const Layout& l, const Sample& s) {
    if (l.real) {
        if (l.size == 8) {
            std::memcpy(p, &s.x, 8);
        } else {
            const float f = float(s.x);
            std::memcpy(p, &f, 4);
        }
        return;
    }
    const uint32_t u = uint32_t(s.v >> (32 - l.bits));
    for (int i = 0; i < l.size; ++i)
        p[i] = uint8_t(u >> (8 * i));
}

} // namespace

bool qz::rts::copy_failed() {
    return copy_failure.load();
}

QZ_Rts::Mode::Mode(int32_t r, int32_t b, int32_t l, int32_t c)
    : item(nullptr), rate(r), length(l), bits(b), channels(c) {
    // Each part printed with its own argument, so that any of them may be
    // missing: " 44.1 kHz, 16 bit, stereo", "16 bit, stereo".
    static const char* const names[] = {"", "mono", "stereo", "trio", "quadro"};
    char* at = description;
    size_t room = sizeof description;
    auto part = [&](const char* format, auto value) {
        const char* lead = at == description ? "" : ", ";
        int n = std::snprintf(at, room, "%s", lead);
        n += std::snprintf(at + n, room - n, format, value);
        n = n < int(room) ? n : int(room) - 1;
        at += n;
        room -= n;
    };
    description[0] = 0;
    if (rate != 0) part("%5.1f kHz", rate / 1000.0);
    if (bits != 0) part("%d bit", bits);
    if (channels >= 1 && channels <= 4)
        part("%s", names[channels]);
    else if (channels != 0)
        part("%d ch", channels);
}

QZ_Rts::Chan::Chan(const char* n, uint32_t f, int32_t c, int32_t i)
    : item(this), data(nullptr), count(c), format(f), index(i) {
    qz::copy_cut(name, n, sizeof name - 1);
}

QZ_Rts::QZ_Rts(const char* n) : current(nullptr), running(false) {
    qz::copy_cut(name, n, sizeof name - 1);
}

QZ_Rts::~QZ_Rts() {
    clear(modes, true);
    clear(inputs, false);
    clear(outputs, false);
}

void QZ_Rts::clear(QZ_Chain& chain, bool areModes) {
    while (!chain.end(chain.first())) {
        QZ_Chain_Item* i = chain.first();
        chain.remove(i);
        if (areModes)
            delete at<Mode>(i);
        else
            delete at<Chan>(i);
    }
}

QZ_error QZ_Rts::init() {
    return QZ_OK;
}

QZ_error QZ_Rts::release() {
    clear(modes, true);
    clear(inputs, false);
    clear(outputs, false);
    return QZ_OK;
}

QZ_error QZ_Rts::mode(Mode* m) {
    current = m;
    return QZ_OK;
}

QZ_error QZ_Rts::free() {
    current = nullptr;
    clear(outputs, false);
    return QZ_OK;
}

QZ_error QZ_Rts::start() {
    running = true;
    return QZ_OK;
}

QZ_error QZ_Rts::stop() {
    running = false;
    return QZ_OK;
}

QZ_error QZ_Rts::idle() {
    return QZ_OK;
}

QZ_error QZ_Rts::copyBuffer(Chan* dst, Chan* src) {
    if (copy_failure.load(std::memory_order_relaxed)) return nullptr;
    if (!dst || !src) return nullptr;
    if (dst->count != src->count) {
        copy_failure.store(true);
        return nullptr;
    }
    Layout from, to;
    if (!decode(src->format, from) || !decode(dst->format, to)) return nullptr;
    if (src->count > 0 && (!src->data || !dst->data)) return nullptr;
    auto s = static_cast<const uint8_t*>(src->data);
    auto d = static_cast<uint8_t*>(dst->data);
    for (int32_t n = 0; n < src->count; ++n, s += from.stride, d += to.stride)
        write(d, to, read(s, from));
    return QZ_OK;
}
