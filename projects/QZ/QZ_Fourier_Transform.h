#pragma once
#include "QZ_Effect.h"

#include <cstdint>

// Fixed-point complex FFT of N = 2^(M+1) points, radix 2, in place on
// interleaved 32-bit pairs. Forward: the last N input samples (optionally
// sin^2-windowed), scaled by 1/N; backward: a spectrum from the input buffer,
// unscaled. Both turn with w = e^(+i pi k / 2^st). The result stays in the
// work buffer, which other blocks read through "w".
class QZ_Fourier_Transform : public QZ_Effect {
public:
    static constexpr int32_t MAX_M = 11; // N = 4096: the twiddle table's resolution
    static constexpr int32_t TWIDDLES = 2048;

    // C[t] = cos(pi t / 2048) (2^31 - 1), S[t] likewise with sin, truncated.
    struct Twiddles {
        int32_t C[TWIDDLES];
        int32_t S[TWIDDLES];
    };
    // Built once, by the first instance, and kept for the program's life.
    static const Twiddles& twiddles();

    QZ_Buffer* i = nullptr;
    QZ_Buffer* history = nullptr; // N samples, a ring through its ring position
    QZ_Buffer* work = nullptr;    // N complex values
    int32_t s = -1;               // M; -1 until given: no buffers, nothing to do
    uint8_t direction = 0;        // 0 forward, 1 backward
    int32_t window = 0;           // 0 none, 1 sin

    QZ_Fourier_Transform();
    ~QZ_Fourier_Transform() override;

    int32_t points() const { return s < 0 ? 0 : int32_t(1) << (s + 1); }

    void process() override;
    // The forward direction over n input samples given directly: a block that
    // owns this one presents parts of its own buffers this way.
    void forward(const int32_t* in, int32_t n);
    void backward(const int32_t* in, int32_t n);

    // The kernels over N = 2^(M+1) interleaved pairs in bit-reversed order.
    static void forward_kernel(int32_t* x, int32_t M);
    static void backward_kernel(int32_t* x, int32_t M);
    // n with its M + 1 low bits reversed.
    static int32_t reversed(int32_t n, int32_t M);

    static QZ_value m_i(QZ_Fourier_Transform* e, QZ_value v);
    static QZ_value m_w(QZ_Fourier_Transform* e, QZ_value v);
    static QZ_value m_d(QZ_Fourier_Transform* e, QZ_value v);
    static QZ_value m_win(QZ_Fourier_Transform* e, QZ_value v);
    static QZ_value m_s(QZ_Fourier_Transform* e, QZ_value v);
    static const QZ_Entry cls[];
};
