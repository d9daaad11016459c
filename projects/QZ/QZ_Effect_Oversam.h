#pragma once
#include "QZ_Effect.h"

// Raises the sample rate eightfold: every input sample gives eight output
// samples on a curve through its neighbours (linear interpolation plus a
// parabolic correction from the end slopes). The output lags by two input
// samples. Always stores its result.
class QZ_Effect_Oversam : public QZ_Effect {
public:
    static constexpr int32_t FACTOR = 8;

    // Interpolation state, inputs scaled by 1/8, carried from block to block.
    struct State {
        int32_t A = 0;  // the older end of the current step
        int32_t B = 0;  // its newer end
        int32_t C = 0;  // the newest input read
        int32_t MA = 0; // slope at A per eighth of a sample
        int32_t MB = 0; // slope at B
    };

    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;   // its stored length sets the work
    qz::Shared<int32_t> k{1}; // answered only: the factor is always 8
    State state;

    void process() override;
    void reset() override { state = State(); }

    // out[0..L) from in[0..L/8 rounded up); input past count reads as 0.
    static void kernel(const int32_t* in, int32_t count, int32_t* out, int32_t L, State& st);

    static QZ_value m_i(QZ_Effect_Oversam* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Oversam* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Oversam* e, QZ_value v);
    static const QZ_Entry cls[];
};
