#pragma once
#include "QZ_Effect.h"

#include <array>

// Two-pole band-pass filter between f*q and f/q.
class QZ_Effect_Bapass : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<float> f{0.0f}; // centre frequency in hertz
    qz::Shared<float> q{0.0f}; // bandwidth ratio
    qz::Shared<int32_t> A{0};  // 2^30 scale
    qz::Shared<int32_t> B{0};  // 2^31 scale
    qz::Shared<int32_t> C{0};  // 2^31 scale
    int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    void process() override;
    void clockChanged() override;
    void reset() override { x1 = x2 = y1 = y2 = 0; }

    struct Coefficients {
        int32_t A, B, C;
    };
    struct Memory {
        int32_t x1, x2, y1, y2;
    };
    using Kernel = void (*)(const int32_t* in, int32_t* out, int32_t n, Coefficients c, Memory* m);
    static const std::array<Kernel, qz::MODE_COUNT> kernels;

    static QZ_value m_i(QZ_Effect_Bapass* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Bapass* e, QZ_value v);
    static QZ_value m_f(QZ_Effect_Bapass* e, QZ_value v);
    static QZ_value m_q(QZ_Effect_Bapass* e, QZ_value v);
    static const QZ_Entry cls[];
};
