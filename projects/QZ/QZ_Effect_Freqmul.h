#pragma once
#include "QZ_Effect.h"

#include <cstdint>

namespace qz {

// Positions in a period repeater's ring: writer, reader, and where the current
// period started.
struct RingMarks {
    int32_t w = 0;
    int32_t r = 0;
    int32_t s = 0;
};

// k as the repeaters use it: below 1 it would ask for some four billion copies
// of each period, so it counts as 1.
inline uint32_t repeat_factor(int32_t k) {
    return k < 1 ? 1u : uint32_t(k);
}

// Copies of an L-sample period that follow it in a ring of N samples: k - 1,
// but never more whole copies than fit before they would overwrite the
// period itself, which also bounds the work per crossing whatever k is.
inline uint32_t period_copies(uint32_t k, uint32_t L, uint32_t N) {
    if (L == 0) return 0;
    uint32_t room = (N - L) / L;
    return k - 1 < room ? k - 1 : room;
}

// fs times the latency factor, in single precision as the factor is stored.
inline float latency_samples(int32_t fs, float factor) {
    return float(fs) * factor;
}

} // namespace qz

// Raises the pitch of a monophonic signal by a whole factor k: each period,
// cut at rising zero crossings, goes into a ring k times, and the ring is read
// k times faster than the input arrives. Always stores its result.
class QZ_Effect_Freqmul : public QZ_Effect {
public:
    static constexpr int32_t RING = 16384;

    QZ_Buffer* i = nullptr;
    QZ_Buffer* o = nullptr;
    qz::Shared<int32_t> k{2};
    float latency = 0.02f; // seconds behind the writer, before the block's own span
    qz::RingMarks marks;
    int32_t ring[RING] = {};
    int32_t prev = -1; // the previous input sample

    void process() override;

    // One block: in[0..n) into the ring, out[0..n) from it, d ring positions
    // behind the reader.
    static void kernel(const int32_t* in, int32_t* out, int32_t n, uint32_t k, int32_t d,
                       int32_t* ring, qz::RingMarks& m, int32_t& prev);

    // The reader's distance behind its own position: trunc(fs * factor + n * k),
    // modulo the ring.
    static int32_t distance(int32_t fs, float factor, int32_t n, uint32_t k);

    static QZ_value m_i(QZ_Effect_Freqmul* e, QZ_value v);
    static QZ_value m_o(QZ_Effect_Freqmul* e, QZ_value v);
    static QZ_value m_k(QZ_Effect_Freqmul* e, QZ_value v);
    static const QZ_Entry cls[];
};
