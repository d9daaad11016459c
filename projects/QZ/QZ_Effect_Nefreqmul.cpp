#include "QZ_Effect_Nefreqmul.h"

#include "QZ_Options.h"

#include <algorithm>

namespace {

using Nefreqmul = QZ_Effect_Nefreqmul;
constexpr uint32_t MASK = Nefreqmul::RING - 1;

// Whether a rising crossing with this rise starts a new period: its rise must
// lie between rand times the average and the average, unless the period is
// already longer than the latency. Any crossing counts while the average is small.
inline bool accepted(double rise, double average, uint32_t L, const Nefreqmul::Detector& c) {
    if (!(average > 0.1)) return true;
    double ratio = rise / average;
    return !(ratio > 1.0 || ratio < c.rand) || float(L) > c.lag;
}

// Writes the copies of the period ring[s..e) from w on; x and prev are the
// samples at the crossing. Even copies run backwards, mirrored about the
// midpoint of x and prev so that each starts where the one before ended; the
// last copy fades from that mirror image into the forward period, which the
// next period continues.
inline uint32_t repeat(int32_t* ring, uint32_t s, uint32_t e, uint32_t w, uint32_t copies,
                       int32_t x, int32_t prev) {
    const uint32_t L = (e - s) & MASK;
    const int32_t sum = qz::add(x, prev); // twice the midpoint
    const double dL = double(L), dsum = double(sum);
    for (uint32_t c = 0; c < copies; ++c) {
        uint32_t a = s, b = (e - 1) & MASK;
        const bool forward = c & 1, last = c + 1 == copies;
        for (uint32_t j = 0; j < L; ++j) {
            const int32_t F = ring[a];
            const int32_t M = qz::sub(sum, ring[b]);
            int32_t v;
            if (forward)
                v = F;
            else if (last)
                v = qz::trunc32((double(j) * double(F) + double(L - j) * double(M)) / dL);
            else
                v = qz::trunc32(double(M) - dsum * double(j) / dL);
            ring[w] = v;
            w = (w + 1) & MASK;
            a = (a + 1) & MASK;
            b = (b - 1) & MASK;
        }
    }
    return w;
}

template <int Mode> struct Nefreq {
    static void run(const int32_t* in, int32_t* out, int32_t n, const Nefreqmul::Detector& c,
                    int32_t d, int32_t* ring, qz::RingMarks& m, int32_t& prev, double& average) {
        uint32_t w = uint32_t(m.w) & MASK, s = uint32_t(m.s) & MASK;
        int32_t last = prev;
        double avg = average;
        for (int32_t j = 0; j < n; ++j) {
            const int32_t x = in[j];
            w = (w + 1) & MASK;
            if (last < 0 && x >= 0) {
                const double rise = double(qz::sub(x, last));
                const uint32_t L = (w - s) & MASK;
                if (accepted(rise, avg, L, c)) {
                    w = repeat(ring, s, w, w, qz::period_copies(c.k, L, Nefreqmul::RING), x, last);
                    s = w;
                    avg = (1.0 - c.stab) * rise + avg * c.stab;
                }
            }
            ring[w] = x;
            last = x;
        }
        m.w = int32_t(w);
        m.s = int32_t(s);
        prev = last;
        average = avg;

        uint32_t p = (uint32_t(m.r) - uint32_t(d)) & MASK;
        if constexpr (Mode == qz::MODE_SET || Mode == qz::MODE_ADD) {
            for (int32_t j = 0; j < n; ++j) {
                out[j] = qz::combine<Mode>(out[j], ring[p]);
                p = (p + c.k) & MASK;
            }
        } else {
            (void)out; // the other modes leave the output as it is
        }
        m.r = int32_t((uint32_t(m.r) + uint32_t(n) * c.k) & MASK);
    }
};

} // namespace

const std::array<Nefreqmul::Kernel, qz::MODE_COUNT> QZ_Effect_Nefreqmul::kernels =
    qz::kernel_table<Nefreqmul::Kernel, Nefreq, qz::MODE_COUNT>();

int32_t QZ_Effect_Nefreqmul::distance(int32_t fs, float factor, uint32_t k) {
    float d = qz::latency_samples(fs, factor) * float(k);
    return int32_t(uint64_t(qz::trunc_sat<int64_t>(d)) & MASK);
}

void QZ_Effect_Nefreqmul::reset() {
    std::fill(ring, ring + RING, 0);
    average = 0.0;
}

void QZ_Effect_Nefreqmul::process() {
    if (!i || !o) return;
    int32_t n = span(i, o);
    int32_t md = mode;
    if (n <= 0 || md < 0 || md >= qz::MODE_COUNT) return;
    int32_t fs = clock;
    Detector c{qz::repeat_factor(k), qz::latency_samples(fs, latency), rand, stab};
    kernels[size_t(md)](i->data, o->data, n, c, distance(fs, latency, c.k), ring, marks, prev,
                        average);
}

QZ_value QZ_Effect_Nefreqmul::m_i(QZ_Effect_Nefreqmul* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Nefreqmul::m_o(QZ_Effect_Nefreqmul* e, QZ_value v) {
    return qz::handle_option(e->o, v);
}

QZ_value QZ_Effect_Nefreqmul::m_k(QZ_Effect_Nefreqmul* e, QZ_value v) {
    if (v.present()) {
        int32_t k = 0;
        if (!qz::whole_value(v, k)) return qz::refused("a whole factor");
        e->k = int32_t(qz::repeat_factor(k));
    }
    return QZ_value::integer(e->k);
}

QZ_value QZ_Effect_Nefreqmul::m_rand(QZ_Effect_Nefreqmul* e, QZ_value v) {
    if (v.present()) e->rand = qz::as_number(v);
    return QZ_value::real(float(e->rand));
}

QZ_value QZ_Effect_Nefreqmul::m_stab(QZ_Effect_Nefreqmul* e, QZ_value v) {
    if (v.present()) e->stab = qz::as_number(v);
    return QZ_value::real(float(e->stab));
}

constinit const QZ_Entry QZ_Effect_Nefreqmul::cls[] = {
    qz::creates<QZ_Effect_Nefreqmul>(),
    qz::option<&QZ_Effect_Nefreqmul::m_i>("i"),
    qz::option<&QZ_Effect_Nefreqmul::m_o>("o"),
    qz::option<&QZ_Effect_Nefreqmul::m_k>("k"),
    qz::option<&QZ_Effect_Nefreqmul::m_rand>("rand"),
    qz::option<&QZ_Effect_Nefreqmul::m_stab>("stab"),
    qz::parent(QZ_Effect::cls),
};
