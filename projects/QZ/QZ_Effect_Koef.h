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
    // The loops for every processor, the same loops for processors with AVX2,
    // and the ones this processor runs (qz::isa).
    static const std::array<Kernel, qz::OPER_KERNELS> kernels;
    static const std::array<Kernel, qz::OPER_KERNELS> kernels_avx2;
    static const std::array<Kernel, qz::OPER_KERNELS>& table();

    // The block as another loop runs it over stretches: its kernel and factor
    // as one pass reads them.
    struct Pass {
        Kernel kernel;
        int32_t K;
        // False where it does not take `in` to `out` or its words name no kernel.
        bool load(const QZ_Effect_Koef& e, const QZ_Buffer* in, const QZ_Buffer* out) {
            const int32_t k = int32_t(e.oper) * qz::MODE_COUNT + e.mode;
            if (k < 0 || k >= qz::OPER_KERNELS || e.i != in || e.o != out) return false;
            kernel = table()[size_t(k)];
            K = e.K;
            return true;
        }
        void run(const int32_t* in, int32_t* out, int32_t n) const { kernel(in, out, n, K); }
    };

    static QZ_value m_i(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_oper(QZ_Effect_Koef* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Koef* e, QZ_value v);
    static const QZ_Entry cls[];
};
