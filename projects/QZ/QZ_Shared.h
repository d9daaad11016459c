#pragma once
#include <atomic>

namespace qz {

// A setting word that a command may rewrite while a processing pass reads it.
// Relaxed atomic access: same size and layout as the plain word, and on x86 the
// same plain loads and stores, without the data race.
template <class T> class Shared {
public:
    constexpr Shared(T v = T()) : v_(v) {}
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
    operator T() const {
        return std::atomic_ref<T>(const_cast<T&>(v_)).load(std::memory_order_relaxed);
    }
    Shared& operator=(T v) {
        std::atomic_ref<T>(v_).store(v, std::memory_order_relaxed);
        return *this;
    }
    T get() const { return *this; }
    // Stores v only if the word still holds expected: a pass keeps what it
    // computed unless a command wrote the word meanwhile.
    void replace(T expected, T v) {
        std::atomic_ref<T>(v_).compare_exchange_strong(expected, v, std::memory_order_relaxed);
    }

private:
    alignas(std::atomic_ref<T>::required_alignment) T v_;
};

} // namespace qz
