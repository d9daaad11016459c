#pragma once
#include "QZ_Arith.h"
#include "QZ_Effect.h"

#include <array>

// Combines a buffer with a constant factor K: wrapping sum or difference,
// fixed-point product or quotient (2^24 = 1.0).
class QZ_Effect_Koef : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> oper{qz::OPER_ADD};
    qz::Shared<int32_t> K{0}; // k * 2^31 / 127

    void process() override;

    // K from the option k, truncated toward zero and held to 32 bits.
    static int32_t factor(double k);

    using Kernel = void (*)(const int32_t* in, int32_t* out, int32_t n, int32_t K);
    static const std::array<Kernel, qz::OPER_KERNELS> kernels;

    static QZ_value m_i(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_oper(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Koef* e, QZ_value v);
    static const QZ_Entry cls[];
};
