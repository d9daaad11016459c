#pragma once
#include "QZ_Effect.h"

#include <array>

// Copies one buffer into another through the mode, taking every is-th input
// sample into every os-th output sample.
class QZ_Effect_Copy : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> is{1}; // input stride
    qz::Shared<int32_t> os{1}; // output stride

    void process() override;

    // out[m * os] combined with in[m * is] for m = 0 .. count - 1, in that order;
    // strides above 0.
    using Kernel = void (*)(const int32_t* in, int32_t* out, int32_t count, int32_t is, int32_t os);
    static const std::array<Kernel, qz::MODE_COUNT> kernels;

    // Whether a pass leaves buffer b as it is: copied onto itself in the
    // "set" manner. (In other modes, or with strides, it may read across
    // samples.)
    bool leaves(const QZ_Buffer* b) const { return i == b && o == b && mode == qz::MODE_SET; }

    static QZ_value m_i(QZ_Effect_Copy* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Copy* e, QZ_value v);
    static QZ_value m_is(QZ_Effect_Copy* e, QZ_value v);
    static QZ_value m_os(QZ_Effect_Copy* e, QZ_value v);
    static const QZ_Entry cls[];
};
