#pragma once
#include "QZ_Effect_Freqmul.h"

#include <array>

// Freqmul with a steadier crossing detector, which ignores crossings whose
// rise does not fit the recent average, and with smooth joins: the repeated
// periods alternate between mirrored reversed copies and forward ones.
// Writes in "set" and "add" only; in the other modes its output is left alone.
class QZ_Effect_Nefreqmul : public QZ_Effect {
public:
    static constexpr int32_t RING = 32768;

    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> k{2};
    float latency = 0.02f; // seconds behind the writer
    qz::RingMarks marks;
    int32_t ring[RING] = {};
    int32_t prev = -1;            // the previous input sample
    double average = 0.0;         // running average of the rise at accepted crossings
    qz::Shared<double> rand{0.6}; // least accepted rise, as a share of the average
    qz::Shared<double> stab{0.7}; // weight of the old average

    void process() override;
    void reset() override;

    // The crossing detector's settings for one block.
    struct Detector {
        uint32_t k;
        float lag;   // fs times the latency factor
        double rand; // least accepted ratio of rise to average
        double stab;
    };

    // One block: in[0..n) into the ring, out[0..n) from it d ring positions
    // behind the reader, through the mode.
    using Kernel = void (*)(const int32_t* in, int32_t* out, int32_t n, const Detector& c,
                            int32_t d, int32_t* ring, qz::RingMarks& m, int32_t& prev,
                            double& average);
    static const std::array<Kernel, qz::MODE_COUNT> kernels;

    // The reader's distance behind its own position, trunc(fs * factor * k),
    // modulo the ring.
    static int32_t distance(int32_t fs, float factor, uint32_t k);

    static QZ_value m_i(QZ_Effect_Nefreqmul* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Nefreqmul* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Nefreqmul* e, QZ_value v);
    static QZ_value m_rand(QZ_Effect_Nefreqmul* e, QZ_value v);
    static QZ_value m_stab(QZ_Effect_Nefreqmul* e, QZ_value v);
    static const QZ_Entry cls[];
};
