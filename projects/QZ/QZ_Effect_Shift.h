#pragma once
#include "QZ_Effect.h"
#include "QZ_Sine.h"

#include <cstdint>

// What both pitch shifters share: a short history of the input read back by
// two heads one window apart whose delay drifts by the phase step every
// sample, crossfaded with squared-sine weights. Positions are in 1/16384
// sample. Both always store their result, whatever the write mode.
class QZ_Effect_Shifter : public QZ_Effect {
public:
    static constexpr int32_t HISTORY = 8192;     // samples; indexed by 13 bits
    static constexpr int32_t UNIT = 16384;       // one sample in positions
    static constexpr uint32_t WINDOW = 1u << 23; // 512 samples at 48 kHz
    // The far head reads at most 2 Pd - 1, and that read with its neighbour
    // must stay within the history: Pd <= 8191 * 8192.
    static constexpr uint32_t MAX_WINDOW = 8191u * 8192u;

    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    uint32_t w = 0;                // write index, 13 bits
    qz::Shared<int32_t> p{0};      // phase
    int32_t history[HISTORY] = {}; // the newest input at w, k samples ago at w + k
    int32_t outHistory[HISTORY] = {};
    qz::Shared<int32_t> s{0};        // phase step per sample
    qz::Shared<uint32_t> pd{WINDOW}; // window length

    void clockChanged() override;
    void reset() override;

    // The window for a clock: 512/48000 s, held within MAX_WINDOW.
    static uint32_t window(int32_t fs);

    // What a pass works with: the phase and the step brought into the window,
    // so that the one correction per sample keeps the phase inside it.
    struct Pass {
        const int32_t* in;
        int32_t* out;
        int32_t n;
        int32_t step;
        uint32_t pd;
        int32_t phase;
    };
    static int32_t wrap_phase(int64_t phase, uint32_t pd);
    static int32_t wrap_step(int32_t step, uint32_t pd);

    // The squared-sine weights of the two heads at phase phi.
    static void weights(int32_t phi, uint32_t pd, double& g1, double& g2) {
        const double pi = 3.141592653589793;
        const double span = double(uint32_t(2u * pd));
        double a = qz::sine(pi * double(phi) / span);
        double b = qz::sine(pi * double(int64_t(phi) + pd) / span);
        g1 = a * a;
        g2 = b * b;
    }
    // One sample's phase step with one correction.
    static int32_t advance(int32_t phi, int32_t step, uint32_t pd) {
        phi = qz::add(phi, step);
        if (phi < 0)
            phi = int32_t(uint32_t(phi) + pd);
        else if (uint32_t(phi) >= pd)
            phi = int32_t(uint32_t(phi) - pd);
        return phi;
    }

    static QZ_value m_i(QZ_Effect_Shifter* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Shifter* e, QZ_value v);
    static QZ_value m_s(QZ_Effect_Shifter* e, QZ_value v);
    static QZ_value m_p(QZ_Effect_Shifter* e, QZ_value v);

protected:
    // Fills in the pass; false when there is nothing to process.
    bool begin(Pass& pass, int32_t& phase0);
    // Keeps the phase reached, unless a command set another one meanwhile.
    void end(int32_t phase0, int32_t phase);
};

// Pitch shifter with a normalised crossfade, less a scaled copy of its own
// output one window (in output time) back to reduce the overlap's comb.
class QZ_Effect_Shift : public QZ_Effect_Shifter {
public:
    void process() override;

    // The output-history delay for a step: Pd / (1 - s/16384), held between
    // one sample and the end of the history.
    static int32_t comb_delay(int32_t step, uint32_t pd);
    static constexpr int32_t MIN_COMB = UNIT;
    static constexpr int32_t MAX_COMB = HISTORY * UNIT - 1;

    // Answers the phase reached.
    static int32_t kernel(const int32_t* in, int32_t* out, int32_t n, int32_t step, uint32_t pd,
                          int32_t d, int32_t phi, uint32_t* w, int32_t* history,
                          int32_t* outHistory);

    static const QZ_Entry cls[];
};
