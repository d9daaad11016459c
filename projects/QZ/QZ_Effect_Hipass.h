#pragma once
#include "QZ_Effect.h"
#include "QZ_Onepole.h"

// What the one-pole high- and low-pass filters share: buffers, corner
// frequency, coefficient and memory.
class QZ_Effect_Onepole : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> f{0};  // corner frequency in hertz
    qz::Shared<uint32_t> k{0}; // coefficient, a fraction of 2^32
    int32_t y = 0;             // filter memory, carried from block to block

    void clockChanged() override;
    void reset() override { y = 0; }

    static QZ_value m_i(QZ_Effect_Onepole* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Onepole* e, QZ_value v);
    static QZ_value m_f(QZ_Effect_Onepole* e, QZ_value v);
};

// One-pole high-pass filter; always writes in the "set" manner.
class QZ_Effect_Hipass : public QZ_Effect_Onepole {
public:
    void process() override;

    // The filter as another loop steps it: coefficient and memory.
    struct State {
        uint32_t k;
        int32_t y;
        // False where the filter does not read `in` into `out`.
        bool load(const QZ_Effect_Hipass& e, const QZ_Buffer* in, const QZ_Buffer* out) {
            k = e.k;
            y = e.y;
            return e.i == in && e.o == out;
        }
        void store(QZ_Effect_Hipass& e) const { e.y = y; }
        // One sample: the memory steps toward x, x less the memory comes out.
        [[gnu::always_inline]] int32_t step(int32_t x) {
            y = qz::onepole_step(x, y, k);
            return qz::sub(x, y);
        }
    };

    // out[j] = x - y after each step of y toward x; answers the memory.
    static int32_t kernel(const int32_t* in, int32_t* out, int32_t n, uint32_t k, int32_t y);

    static const QZ_Entry cls[];
};
