#include "Asio_Win32.h"

#include "AsioDrivers_Win32.h"

#include <atomic>
#include <cstring>
#include <new>

QZ_Chain QZ_Rts_Asio::devices;

namespace {

using namespace qz::asio;

// The device whose init succeeded last: buffer switches go to it alone.
std::atomic<QZ_Rts_Asio*> streaming{nullptr};

// Reports name the driver call that failed, at fixed places.
const char* const source = "projects/QZ/QZ/Rts/Asio.cpp";
void report(int line, const char* proc, const char* call) {
    QZ_error_func(source, line, proc, __DATE__, __TIME__, call);
}

Driver* loaded() {
    return drivers().loaded();
}

// The driver calls; without a loaded driver each answers "not present" and
// clears what it would have filled in.
Error get_channels(int32_t* in, int32_t* out) {
    *in = *out = 0;
    return loaded() ? loaded()->getChannels(in, out) : not_present;
}
Error get_buffer_size(int32_t* least, int32_t* most, int32_t* preferred, int32_t* step) {
    *least = *most = *preferred = *step = 0;
    return loaded() ? loaded()->getBufferSize(least, most, preferred, step) : not_present;
}
Error can_sample_rate(double rate) {
    return loaded() ? loaded()->canSampleRate(rate) : not_present;
}
Error get_channel_info(ChannelInfo* info) {
    std::memset(info->name, 0, sizeof info->name);
    info->type = 0;
    return loaded() ? loaded()->getChannelInfo(info) : not_present;
}
Error set_sample_rate(double rate) {
    return loaded() ? loaded()->setSampleRate(rate) : not_present;
}
Error create_buffers(BufferInfo* infos, int32_t count, int32_t size, const Callbacks* cb) {
    return loaded() ? loaded()->createBuffers(infos, count, size, cb) : not_present;
}
Error start_driver() {
    return loaded() ? loaded()->start() : not_present;
}
Error stop_driver() {
    return loaded() ? loaded()->stop() : not_present;
}
Error dispose_buffers() {
    return loaded() ? loaded()->disposeBuffers() : not_present;
}

// A channel's name, always ended.
void name_of(const ChannelInfo& info, char (&out)[33]) {
    std::memcpy(out, info.name, 32);
    out[32] = 0;
}

} // namespace

uint32_t QZ_Rts_Asio::formatOf(int32_t type) {
    switch (type) {
    case 16:
        return 0x1002; // 16-bit integer
    case 17:
        return 0x1803; // 24-bit packed
    case 18:
        return 0x2004; // 32-bit integer
    case 19:
        return 0x1002004; // 32-bit float
    case 20:
        return 0x1004008; // 64-bit float
    case 24:
        return 0x101004; // 16 bits right-aligned in 32
    case 25:
        return 0xE1204; // 18 bits
    case 26:
        return 0xC1404; // 20 bits
    case 27:
        return 0x81804; // 24 bits
    default:
        return 0;
    }
}

QZ_Rts_Asio::QZ_Rts_Asio(const char* n)
    : QZ_Rts(n), inputCount(0), outputCount(0), minSize(0), maxSize(0), preferredSize(0),
      granularity(0), table{}, callbacks{&bufferSwitch, &sampleRateChanged, &message,
                                         &bufferSwitchTimeInfo},
      backEndItem(this), instanceItem(this), buffersMade(false), driverOutputs(0) {}

QZ_Rts_Asio::~QZ_Rts_Asio() {
    if (buffersMade) free();
    release();
    devices.remove(&backEndItem);
    QZ_Rts_instances.remove(&instanceItem);
}

QZ_error QZ_Rts_Asio::classInit(Callback cb) {
    callback.store(cb);
    drivers().build();
    for (const Drivers::Entry& e : drivers().list()) {
        auto* d = new (std::nothrow) QZ_Rts_Asio(Drivers::display(e.name).c_str());
        if (!d) return QZ_ERROR_MEMORY_CANNOT_ALLOCATE;
        devices.insert(&d->backEndItem);
        QZ_Rts_instances.insert(&d->instanceItem);
    }
    return QZ_OK;
}

void QZ_Rts_Asio::classExit() {
    while (!devices.end(devices.first()))
        delete static_cast<QZ_Rts_Asio*>(devices.first()->data);
    drivers().clear();
}

QZ_error QZ_Rts_Asio::init() {
    if (current || buffersMade) return QZ_ERROR_AUDIO; // open: free first
    QZ_Rts::release(); // probing again lists each mode and channel once
    // A driver that cannot be loaded is reported as its initialisation; the
    // driver loaded before (another device's) is not ours to initialise.
    if (!drivers().load(name) || !loaded()->init(nullptr)) {
        if (drivers().loadedEntry() && Drivers::display(drivers().loadedEntry()->name) == name)
            drivers().unload();
        report(185, "QZ_Rts_Asio::init", "ASIOInit");
        return QZ_ERROR_AUDIO;
    }
    if (get_channels(&inputCount, &outputCount) != ok) {
        report(190, "QZ_Rts_Asio::init", "ASIOGetChannels");
        return QZ_ERROR_AUDIO;
    }
    inputCount = inputCount < most ? inputCount : most;
    outputCount = outputCount < most ? outputCount : most;
    driverOutputs = outputCount;
    if (get_buffer_size(&minSize, &maxSize, &preferredSize, &granularity) != ok) {
        report(197, "QZ_Rts_Asio::init", "ASIOGetBufferSize");
        return QZ_ERROR_AUDIO;
    }
    for (int32_t rate : {48000, 96000, 192000, 44100})
        if (can_sample_rate(rate) == ok)
            modes.insert(&(new Mode(rate, 32, preferredSize, inputCount))->item);
    int32_t kept = 0;
    for (int32_t i = 0; i < inputCount; ++i) {
        ChannelInfo info{};
        info.channel = i;
        info.isInput = 1;
        if (get_channel_info(&info) != ok || !formatOf(info.type)) continue;
        char label[33];
        name_of(info, label);
        inputs.insert(&(new Chan(label, formatOf(info.type), preferredSize, i))->item);
        ++kept;
    }
    inputCount = kept;
    streaming.store(this);
    return QZ_OK;
}

QZ_error QZ_Rts_Asio::release() {
    QZ_Rts::release();
    QZ_Rts_Asio* self = this;
    streaming.compare_exchange_strong(self, nullptr);
    // Only our own driver: another device may have loaded its own since.
    const Drivers::Entry* e = drivers().loadedEntry();
    if (e && Drivers::display(e->name) == name) drivers().unload();
    return QZ_OK;
}

void QZ_Rts_Asio::closeBuffers() {
    if (buffersMade) dispose_buffers();
    buffersMade = false;
    std::lock_guard<std::mutex> hold(switching);
    QZ_Rts::free();
}

QZ_error QZ_Rts_Asio::mode(Mode* m) {
    if (!m || current || buffersMade) return QZ_ERROR_AUDIO;
    current = m;
    if (set_sample_rate(m->rate) != ok) {
        report(242, "QZ_Rts_Asio::mode", "ASIOSetSampleRate");
        closeBuffers();
        return QZ_ERROR_AUDIO;
    }
    int32_t entries = 0;
    for (QZ_Chain_Item* i = inputs.first(); !inputs.end(i) && entries < most; i = i->next)
        table[entries++] = {1, at<Chan>(i)->index, {nullptr, nullptr}};
    // The driver's own count: the count kept last time would lose channels
    // each time the device is opened again.
    int32_t kept = 0;
    for (int32_t i = 0; i < driverOutputs; ++i) {
        ChannelInfo info{};
        info.channel = i;
        info.isInput = 0;
        if (get_channel_info(&info) != ok || !formatOf(info.type)) continue;
        char label[33];
        name_of(info, label);
        outputs.insert(&(new Chan(label, formatOf(info.type), preferredSize, i))->item);
        table[entries++] = {0, i, {nullptr, nullptr}};
        ++kept;
    }
    outputCount = kept;
    if (create_buffers(table, entries, preferredSize, &callbacks) != ok) {
        report(291, "QZ_Rts_Asio::mode", "ASIOCreateBuffers");
        closeBuffers();
        return QZ_ERROR_AUDIO;
    }
    buffersMade = true;
    if (start_driver() != ok) {
        report(296, "QZ_Rts_Asio::mode", "ASIOStart");
        closeBuffers();
        return QZ_ERROR_AUDIO;
    }
    return QZ_OK;
}

QZ_error QZ_Rts_Asio::free() {
    {
        // A switch in progress finishes before the outputs go.
        std::lock_guard<std::mutex> hold(switching);
        QZ_Rts::free();
    }
    if (!buffersMade) return QZ_OK; // never opened: nothing to stop
    if (stop_driver() != ok) {
        report(309, "QZ_Rts_Asio::free", "ASIOStop");
        return QZ_ERROR_AUDIO;
    }
    // Made again by the next mode: drivers make one set of buffers at a time.
    closeBuffers();
    return QZ_OK;
}

void QZ_Rts_Asio::bufferSwitch(int32_t half, Bool) {
    QZ_Rts_Asio* d = streaming.load();
    if (!d || (half != 0 && half != 1)) return;
    // Never waits: while free holds the lock, the block is skipped.
    std::unique_lock<std::mutex> hold(d->switching, std::try_to_lock);
    if (!hold || !d->current) return;
    int32_t e = 0;
    for (QZ_Chain_Item* i = d->inputs.first(); !d->inputs.end(i); i = i->next)
        at<Chan>(i)->data = d->table[e++].buffers[half];
    for (QZ_Chain_Item* i = d->outputs.first(); !d->outputs.end(i); i = i->next)
        at<Chan>(i)->data = d->table[e++].buffers[half];
    call_back();
}

void QZ_Rts_Asio::sampleRateChanged(double) {}

int32_t QZ_Rts_Asio::message(int32_t selector, int32_t value, void*, double*) {
    switch (selector) {
    case 1: // is this selector supported?
        switch (value) {
        case 2:
        case 3:
        case 5:
        case 6:
        case 7:
        case 8:
        case 10:
            return 1;
        default:
            return 0;
        }
    case 2:
        return 2; // engine version
    case 3:
    case 5:
    case 6:
    case 7:
        return 1;
    default:
        return 0;
    }
}

// We say we take time information (selectors 1/7 and 7), so this switch does
// the plain switch's work: a driver that calls only this one still streams.
void* QZ_Rts_Asio::bufferSwitchTimeInfo(void*, int32_t half, Bool direct) {
    bufferSwitch(half, direct);
    return nullptr;
}
