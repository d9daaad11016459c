#pragma once
#include "QZ_Chain.h"
#include "QZ_Error.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// An audio device: the modes it offers, its input and output channels, and
// once per device buffer a call of the application's block callback with
// every channel pointed at that buffer. Back ends derive from it.
class QZ_Rts {
public:
    // One way of opening the device. The chain item comes first and carries
    // no data: members of `modes` are reached through `at`.
    class Mode {
    public:
        QZ_Chain_Item item;
        int32_t rate;     // hertz
        int32_t length;   // buffer length in frames
        int32_t bits;     // per sample
        int32_t channels; // output channels
        char description[64];

        Mode(int32_t rate, int32_t bits, int32_t length, int32_t channels);
    };

    // One channel: where its samples are in the current buffer and how they
    // are laid out (the format word, decoded by copyBuffer).
    class Chan {
    public:
        QZ_Chain_Item item;
        char name[64];
        void* data;
        int32_t count;
        uint32_t format;
        int32_t index; // the driver's channel index where a back end has one, else -1

        Chan(const char* name, uint32_t format, int32_t count, int32_t index = -1);
    };

    Mode* current; // the mode the device is open in; null when closed
    QZ_Chain modes;
    bool running;
    char name[64];
    QZ_Chain inputs;
    QZ_Chain outputs;

    explicit QZ_Rts(const char* name = nullptr);
    QZ_Rts(const QZ_Rts&) = delete;
    QZ_Rts& operator=(const QZ_Rts&) = delete;

    virtual QZ_error init();
    virtual QZ_error release();
    virtual QZ_error mode(Mode* m);
    virtual QZ_error free();
    virtual QZ_error start();
    virtual QZ_error stop();
    virtual QZ_error idle();
    virtual ~QZ_Rts();

    // Moves count samples from src to dst, converting between their layouts.
    // QZ_OK, or null once counts have ever differed (for the rest of the
    // process), and null for a layout it cannot read.
    QZ_EXPORT static QZ_error copyBuffer(Chan* dst, Chan* src);

    // The application's block callback, shared by every back end.
    using Callback = void (*)();
    static std::atomic<Callback> callback;
    static void call_back() {
        if (Callback f = callback.load(std::memory_order_acquire)) f();
    }

    // The member whose item this is (items come first in Mode and Chan).
    template <class T> static T* at(QZ_Chain_Item* i) {
        static_assert(std::is_standard_layout_v<T> && offsetof(T, item) == 0);
        return reinterpret_cast<T*>(i);
    }
    // The n-th member of a chain of modes or channels, null past its end.
    template <class T> static T* nth(const QZ_Chain& c, int32_t n) {
        QZ_Chain_Item* i = c.first();
        for (; !c.end(i) && n > 0; i = i->next)
            --n;
        return n == 0 && !c.end(i) ? at<T>(i) : nullptr;
    }

protected:
    static void clear(QZ_Chain& chain, bool modes);
};

// Every device the class initialisations made.
QZ_EXPORT extern QZ_Chain QZ_Rts_instances;

namespace qz::rts {
// Whether a copy ever failed on mismatched counts; never cleared.
bool copy_failed();
} // namespace qz::rts
