#pragma once
#include "QZ_Effect.h"

// What the two clipping blocks share: buffers and the level.
class QZ_Effect_Halfwave : public QZ_Effect {
public:
    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> l{0}; // the level

    static QZ_value m_i(QZ_Effect_Halfwave* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Halfwave* e, QZ_value v);
    static QZ_value m_l(QZ_Effect_Halfwave* e, QZ_value v);

protected:
    using Kernel = void (*)(const int32_t* in, int32_t* out, int32_t n, int32_t l);
    void run(Kernel kernel);
};

// Clips from below at the level: out = in where in > l, else l. Level 0 gives
// the positive half-wave. Always stores its result.
class QZ_Effect_Gtzero : public QZ_Effect_Halfwave {
public:
    void process() override;
    static void kernel(const int32_t* in, int32_t* out, int32_t n, int32_t l);
    static const QZ_Entry cls[];
};
