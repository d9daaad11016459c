#pragma once
#include "QZ_Arith.h"
#include "QZ_Effect.h"

#include <array>

// Combines two buffers sample by sample: saturating sum, wrapping difference,
// fixed-point product or quotient (2^24 = 1.0).
class QZ_Effect_Oper : public QZ_Effect {
public:
    QZ_Buffer* i1 = nullptr;
    QZ_Buffer* i2 = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> oper{qz::OPER_ADD};

    void process() override;

    using Kernel = void (*)(const int32_t* a, const int32_t* b, int32_t* out, int32_t n);
    static const std::array<Kernel, qz::OPER_KERNELS> kernels;

    static QZ_value m_i1(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_i2(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_oper(QZ_Effect_Oper* e, QZ_value v);
    static const QZ_Entry cls[];
};
