#pragma once
#include "QZ_Export.h"

#include <atomic>
#include <cstdint>
#include <cstring>

// The record in which every option argument and result travels.
// On 32-bit builds value is 32 bits; on 64-bit builds it is pointer-sized so
// that text and handle values fit, while integers and floats keep 32 bits.
class QZ_value {
public:
    enum Type : int32_t { DISCARD = 0, NONE = 1, INT = 2, FLOAT = 3, TEXT = 4, HANDLE = 5 };

    uintptr_t value;
    int32_t type;
    int32_t length;

    constexpr QZ_value() : value(0), type(NONE), length(-1) {}
    constexpr QZ_value(uintptr_t v, int32_t t, int32_t len = -1) : value(v), type(t), length(len) {}
    constexpr QZ_value(const QZ_value&) = default;
    constexpr QZ_value& operator=(const QZ_value&) = default;
    // The record's one operation: the change notification of a bound value
    // (a widget calls it with its "dat" after writing the value). Here it
    // does nothing; the plug-in's parameters override it.
    virtual void apply(void* data) { (void)data; }

    static QZ_value integer(int32_t i) { return QZ_value(uint32_t(i), INT); }
    static QZ_value real(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return QZ_value(bits, FLOAT);
    }
    static QZ_value text(const char* s) { return QZ_value(reinterpret_cast<uintptr_t>(s), TEXT); }
    static QZ_value handle(const void* p) {
        return QZ_value(reinterpret_cast<uintptr_t>(p), HANDLE);
    }

    // The value word read and written whole: a bound value is written by a
    // widget on the editor's thread and read by hosts on theirs.
    uintptr_t load() const {
        return std::atomic_ref<uintptr_t>(const_cast<uintptr_t&>(value))
            .load(std::memory_order_relaxed);
    }
    void store(uintptr_t v) {
        std::atomic_ref<uintptr_t>(value).store(v, std::memory_order_relaxed);
    }

    bool present() const { return type >= INT; }
    int32_t asInt() const { return int32_t(uint32_t(value)); }
    float asFloat() const {
        uint32_t bits = uint32_t(value);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    const char* asText() const { return reinterpret_cast<const char*>(value); }
    template <class T> T* asPtr() const { return reinterpret_cast<T*>(value); }
};

extern "C" {
QZ_EXPORT extern const QZ_value QZ_EMPTY;
}
