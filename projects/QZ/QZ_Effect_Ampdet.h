#pragma once
#include "QZ_Effect.h"
#include "QZ_Math.h"

#include <array>

namespace qz::ampdet {

// One step of the envelope e toward the rectified sample r: the attack
// coefficient while rising, the release one while falling. Both widened once
// by the caller, so that choosing one is a single move ahead of the product.
[[gnu::always_inline]] inline int32_t follow(int32_t r, int32_t e, int64_t ca, int64_t cr) {
    int64_t c = uint32_t(r) < uint32_t(e) ? cr : ca;
    return qz::add(e, qz::asr(int64_t(qz::sub(r, e)) * c, 31));
}

} // namespace qz::ampdet

// Follows the amplitude of its input: the envelope rises at the attack corner
// f1 and falls at the release corner f2.
class QZ_Effect_Ampdet : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr; // envelope
    QZ_Buffer* a = nullptr; // rectified input
    qz::Shared<float> f1{0.0f};
    qz::Shared<float> f2{0.0f};
    qz::Shared<int32_t> attack{0};  // fraction of 2^31
    qz::Shared<int32_t> release{0}; // fraction of 2^31
    int32_t envelope = 0;

    void process() override;
    void clockChanged() override;
    void reset() override { envelope = 0; }

    // The detector as another loop steps it: both coefficients, widened, and
    // the envelope.
    struct State {
        int64_t attack, release;
        int32_t envelope;
        // False unless it follows `in` into `out` alone, in the "set" manner
        // (no rectified output).
        bool load(const QZ_Effect_Ampdet& e, const QZ_Buffer* in, const QZ_Buffer* out) {
            attack = e.attack;
            release = e.release;
            envelope = e.envelope;
            return e.i == in && e.o == out && !e.a && e.mode == qz::MODE_SET;
        }
        void store(QZ_Effect_Ampdet& e) const { e.envelope = envelope; }
        // One sample, already rectified: the envelope.
        [[gnu::always_inline]] int32_t step(int32_t r) {
            envelope = qz::ampdet::follow(r, envelope, attack, release);
            return envelope;
        }
    };

    // The one-pole smoothing coefficient for corner f at clock fs; c when fs is 0.
    static int32_t coefficient(float f, int32_t fs, int32_t c);

    // One block of samples; answers the envelope. rect may be null.
    using Kernel = int32_t (*)(const int32_t* in, int32_t* out, int32_t* rect, int32_t n,
                               int32_t attack, int32_t release, int32_t envelope);

    static QZ_value m_i(QZ_Effect_Ampdet* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Ampdet* e, QZ_value v);
    static QZ_value m_a(QZ_Effect_Ampdet* e, QZ_value v);
    static QZ_value m_f1(QZ_Effect_Ampdet* e, QZ_value v);
    static QZ_value m_f2(QZ_Effect_Ampdet* e, QZ_value v);
    static const QZ_Entry cls[];
};
