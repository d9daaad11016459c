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
    // The loops for every processor, the same loops for processors with AVX2,
    // and the ones this processor runs (qz::isa).
    static const std::array<Kernel, qz::OPER_KERNELS> kernels;
    static const std::array<Kernel, qz::OPER_KERNELS> kernels_avx2;
    static const std::array<Kernel, qz::OPER_KERNELS>& table();

    // The block as another loop runs it over stretches: its kernel as one
    // pass reads it.
    struct Pass {
        Kernel kernel;
        // False where it does not combine `a` and `b` into `out` or its words
        // name no kernel.
        bool load(const QZ_Effect_Oper& e, const QZ_Buffer* a, const QZ_Buffer* b,
                  const QZ_Buffer* out) {
            const int32_t k = int32_t(e.oper) * qz::MODE_COUNT + e.mode;
            if (k < 0 || k >= qz::OPER_KERNELS || e.i1 != a || e.i2 != b || e.o != out)
                return false;
            kernel = table()[size_t(k)];
            return true;
        }
        void run(const int32_t* a, const int32_t* b, int32_t* out, int32_t n) const {
            kernel(a, b, out, n);
        }
    };

    static QZ_value m_i1(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_i2(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Oper* e, QZ_value v);
    static QZ_value m_oper(QZ_Effect_Oper* e, QZ_value v);
    static const QZ_Entry cls[];
};
