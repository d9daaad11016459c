#pragma once
#include "QZ_Effect.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Fourier_Transform.h"

#include <cstdint>

// Spectral subtraction: a noise profile per bin (learned while "a" is on)
// gives every bin a gain, the gains a zero-phase filter whose impulse response
// is applied in two halves in the frequency domain: the supplied spectrum X
// with the first half, the signal delayed by 513 samples with the second.
// Runs its own five transforms and delay line; they join no chain.
class QZ_Fourier_Noisegate : public QZ_Effect {
public:
    static constexpr int32_t UNITY = 2097151; // gain 1.0: 21 fraction bits
    // A filter of unit gains has the impulse N * 2097151, which fits 32 bits
    // only up to N = 1024: longer spectra would wrap it and gate everything.
    static constexpr int32_t MIN_LENGTH = 4, MAX_LENGTH = 2048;

    QZ_Buffer* i = nullptr;                     // X: N complex values; its length L sets N = L/2
    QZ_Buffer* delayed = nullptr;               // the signal 513 samples late
    QZ_Buffer* s = nullptr;                     // the signal
    QZ_Buffer* profile = nullptr;               // N/2 + 1 magnitudes
    QZ_Buffer* gains = nullptr;                 // N complex values, real and even
    QZ_Buffer* o1 = nullptr;                    // with the previous block's filter
    QZ_Buffer* o2 = nullptr;                    // with this block's
    QZ_Fourier_Transform* windowed = nullptr;   // S: the signal, sin^2 window
    QZ_Fourier_Transform* late = nullptr;       // E: the delayed signal
    QZ_Fourier_Transform* response = nullptr;   // gains to impulse response
    QZ_Fourier_Transform* firstHalf = nullptr;  // HA
    QZ_Fourier_Transform* secondHalf = nullptr; // HB
    QZ_Effect_Deline* delay = nullptr;
    bool a = false; // learning

    QZ_Fourier_Noisegate();
    ~QZ_Fourier_Noisegate() override;

    void process() override;

    static QZ_value m_i(QZ_Fourier_Noisegate* e, QZ_value v);
    static QZ_value m_o1(QZ_Fourier_Noisegate* e, QZ_value v);
    static QZ_value m_o2(QZ_Fourier_Noisegate* e, QZ_value v);
    static QZ_value m_s(QZ_Fourier_Noisegate* e, QZ_value v);
    static QZ_value m_a(QZ_Fourier_Noisegate* e, QZ_value v);
    static QZ_value m_w(QZ_Fourier_Noisegate* e, QZ_value v);
    static const QZ_Entry cls[];

private:
    int32_t bins() const; // N, or 0 while the gate cannot run
    QZ_value output(QZ_Buffer*& field, bool& own, QZ_Buffer* other, const QZ_value& v);
    bool made = false; // every part exists
    int32_t n = 0;     // N as the last "i" set it
    bool own1 = false; // o1 made here rather than given
    bool own2 = false;
};
