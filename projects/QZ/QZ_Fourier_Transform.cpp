#include "QZ_Fourier_Transform.h"

#include "QZ_Isa.h"
#include "QZ_Math.h"
#include "QZ_Options.h"
#include "QZ_Sine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#if QZ_WIDE_LOOPS
#include <immintrin.h>
#endif

namespace {

constexpr double PI = 3.141592653589793;
const char* const directions[] = {"forward", "backward"};
const char* const windows[] = {"none", "sin"};

// The sin^2 weights for each size, made when a block first takes that size
// (a command, never a pass) and kept: the same product every sample would
// compute, once. Index M, then n.
std::mutex weights_made;
std::atomic<const double*> window_weights[QZ_Fourier_Transform::MAX_M + 1] = {};

const double* weights(int32_t M) {
    std::lock_guard<std::mutex> lock(weights_made);
    if (!window_weights[M].load(std::memory_order_relaxed)) {
        const int32_t N = int32_t(1) << (M + 1);
        double* w = new (std::nothrow) double[size_t(N)];
        if (!w) return nullptr;
        for (int32_t n = 0; n < N; ++n) {
            const double s = qz::sine(PI * n / N);
            w[n] = s * s;
        }
        window_weights[M].store(w, std::memory_order_release);
    }
    return window_weights[M].load(std::memory_order_relaxed);
}

// T' = T/2 + Bw/2 and B' = T/2 - Bw/2 forward, T +- Bw backward, where Bw/2
// is B times w = (C + iS)/2^32 with every product floored.
template <bool Forward>
inline void butterfly(int32_t* __restrict T, int32_t* __restrict B, int32_t C, int32_t S) {
    const int32_t br = B[0], bi = B[1];
    const int32_t pr = qz::sub(qz::smulhi(br, C), qz::smulhi(bi, S));
    const int32_t pi = qz::add(qz::smulhi(br, S), qz::smulhi(bi, C));
    int32_t tr = T[0], ti = T[1], dr = pr, di = pi;
    if constexpr (Forward) {
        tr >>= 1;
        ti >>= 1;
    } else {
        dr = qz::add(pr, pr);
        di = qz::add(pi, pi);
    }
    T[0] = qz::add(tr, dr);
    T[1] = qz::add(ti, di);
    B[0] = qz::sub(tr, dr);
    B[1] = qz::sub(ti, di);
}

// One butterfly stage after another; Forward halves at every stage.
template <bool Forward> void run_kernel(int32_t* x, int32_t M) {
    const QZ_Fourier_Transform::Twiddles& tw = QZ_Fourier_Transform::twiddles();
    const int32_t N = int32_t(1) << (M + 1);
    int32_t st = 0;
    if (M >= 1) {
        // stages 0 and 1 together, four elements at a time: the same
        // butterflies in a valid order, without two passes of short loops
        const int32_t C0 = tw.C[0], S0 = tw.S[0], C1 = tw.C[1024], S1 = tw.S[1024];
        for (int32_t* e = x; e < x + 2 * N; e += 8) {
            butterfly<Forward>(e, e + 2, C0, S0);
            butterfly<Forward>(e + 4, e + 6, C0, S0);
            butterfly<Forward>(e, e + 4, C0, S0);
            butterfly<Forward>(e + 2, e + 6, C1, S1);
        }
        st = 2;
    }
    for (; st <= M; ++st) {
        const int32_t half = int32_t(1) << st, step = int32_t(1) << (11 - st);
        for (int32_t base = 0; base < N; base += 2 * half) {
            int32_t* T = x + 2 * base;
            int32_t* B = T + 2 * half;
            for (int32_t k = 0; k < half; ++k)
                butterfly<Forward>(T + 2 * k, B + 2 * k, tw.C[k * step], tw.S[k * step]);
        }
    }
}

// The twiddles of each stage in the order its butterflies take them, as
// pairs (C, S): stage s (2^s pairs) from pair 2^s - 1 on.
struct StageTwiddles {
    int32_t w[2 * QZ_Fourier_Transform::TWIDDLES * 2];
};

const StageTwiddles& stage_twiddles() {
    static const StageTwiddles table = [] {
        const QZ_Fourier_Transform::Twiddles& tw = QZ_Fourier_Transform::twiddles();
        StageTwiddles t{};
        for (int32_t st = 0; st <= QZ_Fourier_Transform::MAX_M; ++st) {
            const int32_t half = int32_t(1) << st, step = int32_t(1) << (11 - st);
            int32_t* w = t.w + 2 * (half - 1);
            for (int32_t k = 0; k < half; ++k) {
                w[2 * k] = tw.C[k * step];
                w[2 * k + 1] = tw.S[k * step];
            }
        }
        return t;
    }();
    return table;
}

// 12-bit reversals: n with its M + 1 low bits reversed is r[n] >> (11 - M).
struct Reversals {
    uint16_t r[2 * QZ_Fourier_Transform::TWIDDLES];
};

const Reversals& reversals() {
    static const Reversals table = [] {
        Reversals t{};
        for (int32_t n = 0; n < 2 * QZ_Fourier_Transform::TWIDDLES; ++n)
            t.r[n] = uint16_t(QZ_Fourier_Transform::reversed(n, QZ_Fourier_Transform::MAX_M));
        return t;
    }();
    return table;
}

#if QZ_WIDE_LOOPS
// Four butterflies at once in AVX2's registers: T and B four complex values
// each, W their twiddles as (C, S) pairs. The same products and sums as
// butterfly(): each 32 x 32 product's high word is the odd word of its
// 64-bit lane.
template <bool Forward> struct Wide {
    QZ_AVX2 static inline void fly(__m256i& T, __m256i& B, __m256i W) {
        const __m256i S = _mm256_srli_epi64(W, 32); // S in the even words, as C is in W
        const __m256i Bi = _mm256_srli_epi64(B, 32);
        const __m256i pr = _mm256_sub_epi32(_mm256_mul_epi32(B, W), _mm256_mul_epi32(Bi, S));
        const __m256i pi = _mm256_add_epi32(_mm256_mul_epi32(B, S), _mm256_mul_epi32(Bi, W));
        __m256i d = _mm256_blend_epi32(_mm256_srli_epi64(pr, 32), pi, 0xAA);
        __m256i t = T;
        if constexpr (Forward)
            t = _mm256_srai_epi32(t, 1);
        else
            d = _mm256_add_epi32(d, d);
        T = _mm256_add_epi32(t, d);
        B = _mm256_sub_epi32(t, d);
    }

    // N >= 8: stages 0 to 2 in registers, eight values at a time, then the
    // others four butterflies at a time.
    QZ_AVX2 static void run(int32_t* x, int32_t M) {
        const int32_t N = int32_t(1) << (M + 1);
        const int32_t* w = stage_twiddles().w;
        auto at = [](int32_t* p) { return reinterpret_cast<__m256i*>(p); };
        const __m256i W0 = _mm256_set1_epi64x(int64_t(uint32_t(w[0])) | int64_t(w[1]) << 32);
        const __m256i W1 =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + 2)));
        const __m256i W2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + 6));
        for (int32_t* e = x; e < x + 2 * N; e += 16) {
            __m256i a = _mm256_loadu_si256(at(e)), b = _mm256_loadu_si256(at(e + 8));
            // stage 0: pairs (0, 1), (2, 3), ...
            __m256i t = _mm256_unpacklo_epi64(a, b), u = _mm256_unpackhi_epi64(a, b);
            fly(t, u, W0);
            a = _mm256_unpacklo_epi64(t, u);
            b = _mm256_unpackhi_epi64(t, u);
            // stage 1: pairs (0, 2), (1, 3), (4, 6), (5, 7)
            t = _mm256_permute2x128_si256(a, b, 0x20);
            u = _mm256_permute2x128_si256(a, b, 0x31);
            fly(t, u, W1);
            a = _mm256_permute2x128_si256(t, u, 0x20);
            b = _mm256_permute2x128_si256(t, u, 0x31);
            // stage 2: pairs (k, k + 4)
            fly(a, b, W2);
            _mm256_storeu_si256(at(e), a);
            _mm256_storeu_si256(at(e + 8), b);
        }
        for (int32_t st = 3; st <= M; ++st) {
            const int32_t half = int32_t(1) << st;
            const int32_t* ws = w + 2 * (half - 1);
            for (int32_t base = 0; base < N; base += 2 * half) {
                int32_t* T = x + 2 * base;
                int32_t* B = T + 2 * half;
                for (int32_t k = 0; k < 2 * half; k += 8) {
                    __m256i t = _mm256_loadu_si256(at(T + k)), u = _mm256_loadu_si256(at(B + k));
                    fly(t, u, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ws + k)));
                    _mm256_storeu_si256(at(T + k), t);
                    _mm256_storeu_si256(at(B + k), u);
                }
            }
        }
    }
};
#endif

template <bool Forward> void kernel(int32_t* x, int32_t M) {
#if QZ_WIDE_LOOPS
    if (M >= 2 && qz::isa::wide()) return Wide<Forward>::run(x, M);
#endif
    run_kernel<Forward>(x, M);
}

} // namespace

const QZ_Fourier_Transform::Twiddles& QZ_Fourier_Transform::twiddles() {
    static const Twiddles table = [] {
        Twiddles t{};
        for (int32_t k = 0; k < TWIDDLES; ++k) {
            const double a = PI * k / 2048;
            t.C[k] = int32_t(qz::cosine(a) * 2147483647.0);
            t.S[k] = int32_t(qz::sine(a) * 2147483647.0);
        }
        return t;
    }();
    return table;
}

QZ_Fourier_Transform::QZ_Fourier_Transform() {
    // made here, by a command, never by a pass
    twiddles();
    stage_twiddles();
    reversals();
}

QZ_Fourier_Transform::~QZ_Fourier_Transform() {
    delete history;
    delete work;
}

int32_t QZ_Fourier_Transform::reversed(int32_t n, int32_t M) {
    uint32_t v = uint32_t(n);
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0F0F0F0Fu) | ((v & 0x0F0F0F0Fu) << 4);
    v = ((v >> 8) & 0x00FF00FFu) | ((v & 0x00FF00FFu) << 8);
    v = (v >> 16) | (v << 16);
    return int32_t(v >> (31 - M));
}

void QZ_Fourier_Transform::forward_kernel(int32_t* x, int32_t M) {
    kernel<true>(x, M);
}
void QZ_Fourier_Transform::backward_kernel(int32_t* x, int32_t M) {
    kernel<false>(x, M);
}

void QZ_Fourier_Transform::forward(const int32_t* in, int32_t n) {
    const int32_t N = points();
    if (N == 0 || !history || history->usable() < N || !work || work->usable() < 2 * N) return;
    int32_t* h = history->data;
    int32_t p = history->ring % N;
    if (p < 0) p += N;
    if (in && n > 0) {
        // only the last N samples stay; the ring turns as if all were written
        if (n > N) {
            p = int32_t((int64_t(p) + (n - N)) % N);
            in += n - N;
            n = N;
        }
        const int32_t first = std::min(n, N - p);
        std::memcpy(h + p, in, size_t(first) * sizeof *h);
        std::memcpy(h, in + first, size_t(n - first) * sizeof *h);
        p = (p + n) & (N - 1);
    }
    history->ring = p;
    const double* w = window == 1 ? window_weights[s].load(std::memory_order_acquire) : nullptr;
    int32_t* x = work->data;
    // the oldest sample first: sample k of the frame goes to place reversed(k)
    const uint16_t* rev = reversals().r;
    const int shift = 11 - s;
    for (int32_t k = 0; k < N; ++k) {
        const int32_t v = h[(p + k) & (N - 1)];
        const int32_t r = 2 * (rev[k] >> shift);
        x[r] = w ? qz::trunc32(double(v) * w[k]) : v;
        x[r + 1] = 0;
    }
    forward_kernel(x, s);
}

void QZ_Fourier_Transform::backward(const int32_t* in, int32_t n) {
    const int32_t N = points();
    if (N == 0 || !work || work->usable() < 2 * N) return;
    int32_t* x = work->data;
    const uint16_t* rev = reversals().r;
    const int shift = 11 - s;
    // a short spectrum is read as far as it goes; the bins past it are 0
    const int32_t whole = in && n > 0 ? std::min(N, n / 2) : 0;
    for (int32_t k = 0; k < whole; ++k) {
        const int32_t r = 2 * (rev[k] >> shift);
        x[r] = in[2 * k];
        x[r + 1] = in[2 * k + 1];
    }
    for (int32_t k = whole; k < N; ++k) {
        const int32_t r = 2 * (rev[k] >> shift);
        x[r] = in && 2 * k < n ? in[2 * k] : 0;
        x[r + 1] = 0;
    }
    backward_kernel(x, s);
}

void QZ_Fourier_Transform::process() {
    const int32_t* in = samples(i);
    const int32_t n = i ? i->usable() : 0;
    if (direction == 0)
        forward(in, n);
    else
        backward(in, n);
}

QZ_value QZ_Fourier_Transform::m_i(QZ_Fourier_Transform* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Fourier_Transform::m_w(QZ_Fourier_Transform* e, QZ_value) {
    return QZ_value::handle(e->work);
}

namespace {
// A buffer of n samples, the block's own: made at the first call, resized after.
bool sized(QZ_Fourier_Transform* e, QZ_Buffer*& b, int32_t n) {
    if (!b) b = new (std::nothrow) QZ_Buffer();
    if (!b) return false;
    b->owner = e;
    b->setLength(n);
    return b->usable() == n;
}
} // namespace

QZ_value QZ_Fourier_Transform::m_d(QZ_Fourier_Transform* e, QZ_value v) {
    return qz::keyword_option(e->direction, directions, 2, v);
}

QZ_value QZ_Fourier_Transform::m_win(QZ_Fourier_Transform* e, QZ_value v) {
    return qz::keyword_option(e->window, windows, 2, v);
}

QZ_value QZ_Fourier_Transform::m_s(QZ_Fourier_Transform* e, QZ_value v) {
    if (v.present()) {
        int32_t M = 0;
        // beyond 11 the table no longer holds every twiddle
        if (!qz::whole_value(v, M) || M < 0 || M > MAX_M) return qz::refused("a size from 0 to 11");
        // a size that cannot be had leaves the block without one rather than half-sized
        const int32_t N = int32_t(1) << (M + 1);
        const bool ok = weights(M) && sized(e, e->work, 2 * N) && sized(e, e->history, N);
        e->s = ok ? M : -1;
    }
    return QZ_value::integer(e->s);
}

constinit const QZ_Entry QZ_Fourier_Transform::cls[] = {
    qz::creates<QZ_Fourier_Transform>(),
    qz::option<&QZ_Fourier_Transform::m_i>("i"),
    qz::option<&QZ_Fourier_Transform::m_w>("w"),
    qz::option<&QZ_Fourier_Transform::m_d>("d"),
    qz::option<&QZ_Fourier_Transform::m_win>("win"),
    qz::option<&QZ_Fourier_Transform::m_s>("s"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Effect::cls),
};
