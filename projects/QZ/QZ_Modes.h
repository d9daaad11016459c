#pragma once
// Write modes: how a block combines its result y into an output sample o.
// Kernels are instantiated once per mode so that no sample loop branches on it.
#include "QZ_Math.h"

#include <array>
#include <cstdint>
#include <utility>

namespace qz {

enum Mode : int { MODE_SET, MODE_ADD, MODE_SUB, MODE_STN, MODE_ADN, MODE_SBN, MODE_COUNT };

extern const char* const mode_names[MODE_COUNT]; // "set", "add", "sub", "stn", "adn", "sbn"

template <int M> inline int32_t combine(int32_t o, int32_t y) {
    static_assert(M >= 0 && M < MODE_COUNT);
    // clang-format off
    if constexpr (M == MODE_SET) return y;
    else if constexpr (M == MODE_ADD) return add(o, y);
    else if constexpr (M == MODE_SUB) return sub(o, y);
    else if constexpr (M == MODE_STN) return neg(y);
    else if constexpr (M == MODE_ADN) return neg(add(o, y));
    else return sub(y, o);
    // clang-format on
}

// The instantiations K<0> ... K<N-1> of a kernel template, indexed by mode
// (or by operator * 6 + mode).
template <class Fn, template <int> class K, int N> constexpr std::array<Fn, N> kernel_table() {
    // clang-format off
    return []<int... I>(std::integer_sequence<int, I...>) {
        return std::array<Fn, N>{&K<I>::run...};
    }(std::make_integer_sequence<int, N>());
    // clang-format on
}

} // namespace qz
