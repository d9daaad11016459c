#include "QZ_Effect_Deline.h"

#include "QZ_Options.h"
#include "QZ_Wide.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Deline = QZ_Effect_Deline;

// M[from - j] for j = 0 ... c - 1 runs down the memory and wraps once at
// most: f(j0, j1, base) for each stretch, base[-j] being that place.
template <class F> inline void stretches(int32_t* mem, uint16_t from, int32_t c, F f) {
    int32_t k = std::min(c, int32_t(from) + 1);
    f(0, k, mem + from);
    if (k < c) f(k, c, mem + from + Deline::MEMORY);
}

inline int32_t term(int32_t m, int32_t a) {
    return qz::asr(int64_t(m) * a, 31);
}
inline int32_t scale(int32_t s, int32_t g) {
    return qz::asr(int64_t(s) * g, 23);
}

#if QZ_WIDE_LOOPS
// One tap straight to its output, eight samples at a time, the memory read
// backwards: term is bits 31 to 62 of the products, scale bits 23 to 54.
template <int M>
QZ_AVX2 void tap_wide(int32_t* o, int32_t j0, int32_t j1, const int32_t* m, int32_t a, int32_t ga) {
    using namespace qz::wide;
    const __m256i A = _mm256_set1_epi32(a), G = _mm256_set1_epi32(ga);
    const __m256i down = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    int32_t j = j0;
    for (; j + 8 <= j1; j += 8) {
        const __m256i v = _mm256_permutevar8x32_epi32(load(m - j - 7), down);
        const __m256i y = bits<23>(products(bits<31>(products(v, A)), G));
        store(o + j, combine<M>(load(o + j), y));
    }
    for (; j < j1; ++j)
        o[j] = qz::combine<M>(o[j], scale(term(m[-j], a), ga));
}
#endif

// The table walked a chunk at a time. Within a chunk no tap reads a sample
// written in the same chunk (the chunk is at most the shortest D + 1), and no
// write reaches a place a tap of the chunk still reads (D + 1 < 65536), so
// every group may run over the whole chunk before the memory is written.
// With direct set no group feeds back and none writes the input, so the
// memory takes the input as it stands.
template <int M, bool Wide>
[[gnu::always_inline]] inline uint16_t walk(const int32_t* in, int32_t n, const int32_t* table,
                                            int32_t used, int32_t* const* outs, int32_t* mem,
                                            uint16_t p, int32_t step, bool direct) {
    int32_t w[Deline::CHUNK];
    int32_t s[Deline::CHUNK];
    const int32_t* end = table + used;
    for (int32_t n0 = 0; n0 < n; n0 += step) {
        const int32_t c = std::min(n - n0, step);
        const int32_t* src = in + n0;
        if (!direct) {
            // read before any output is written: an output may be the input
            std::copy(src, src + c, w);
            src = w;
        }
        for (const int32_t* t = table; t < end;) {
            const int32_t* taps = t;
            while (*t != -1)
                t += 2;
            const int32_t ga = t[1], slot = t[2], gf = t[3];
            int32_t* o = slot ? outs[slot - 1] : nullptr;
            if (o) o += n0;
            t += 4;
            if (t - taps == 6 && gf == 0) {
                // one tap, no feedback: straight to the output
                if (!o) continue;
                const int32_t a = taps[1];
#if QZ_WIDE_LOOPS
                if constexpr (Wide) {
                    const uint16_t from = uint16_t(p + taps[0] + 1);
                    const int32_t k = std::min(c, int32_t(from) + 1);
                    tap_wide<M>(o, 0, k, mem + from, a, ga);
                    if (k < c) tap_wide<M>(o, k, c, mem + from + Deline::MEMORY, a, ga);
                    continue;
                }
#endif
                stretches(mem, uint16_t(p + taps[0] + 1), c,
                          [&](int32_t j0, int32_t j1, const int32_t* m) {
                              for (int32_t j = j0; j < j1; ++j)
                                  o[j] = qz::combine<M>(o[j], scale(term(m[-j], a), ga));
                          });
                continue;
            }
            if (taps == t - 4) std::fill(s, s + c, 0);
            for (const int32_t* d = taps; d < t - 4; d += 2) {
                const int32_t a = d[1];
                const bool first = d == taps;
                stretches(mem, uint16_t(p + d[0] + 1), c,
                          [&](int32_t j0, int32_t j1, const int32_t* m) {
                              if (first)
                                  for (int32_t j = j0; j < j1; ++j)
                                      s[j] = term(m[-j], a);
                              else
                                  for (int32_t j = j0; j < j1; ++j)
                                      s[j] = qz::add(s[j], term(m[-j], a));
                          });
            }
            if (o)
                for (int32_t j = 0; j < c; ++j)
                    o[j] = qz::combine<M>(o[j], scale(s[j], ga));
            if (gf != 0)
                for (int32_t j = 0; j < c; ++j)
                    w[j] = qz::add(w[j], scale(s[j], gf));
        }
        stretches(mem, p, c, [&](int32_t j0, int32_t j1, int32_t* m) {
            int32_t j = j0;
#if defined(__SSE2__)
            for (; j + 4 <= j1; j += 4) {
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(m - j - 3), _mm_shuffle_epi32(v, 0x1B));
            }
#endif
            for (; j < j1; ++j)
                m[-j] = src[j];
        });
        p = uint16_t(p - c);
    }
    return p;
}

template <int M> struct Walk {
    static uint16_t run(const int32_t* in, int32_t n, const int32_t* table, int32_t used,
                        int32_t* const* outs, int32_t* mem, uint16_t p, int32_t step, bool direct) {
        return walk<M, false>(in, n, table, used, outs, mem, p, step, direct);
    }
};
// Single taps in AVX2's registers.
template <int M> struct WalkWide {
    QZ_AVX2 static uint16_t run(const int32_t* in, int32_t n, const int32_t* table, int32_t used,
                                int32_t* const* outs, int32_t* mem, uint16_t p, int32_t step,
                                bool direct) {
        return walk<M, QZ_WIDE_LOOPS>(in, n, table, used, outs, mem, p, step, direct);
    }
};

} // namespace

const std::array<Deline::Kernel, qz::MODE_COUNT> QZ_Effect_Deline::kernels =
    qz::kernel_table<Deline::Kernel, Walk, qz::MODE_COUNT>();
const std::array<Deline::Kernel, qz::MODE_COUNT> QZ_Effect_Deline::kernels_avx2 =
    qz::kernel_table<Deline::Kernel, WalkWide, qz::MODE_COUNT>();

const std::array<Deline::Kernel, qz::MODE_COUNT>& QZ_Effect_Deline::walks() {
    return qz::isa::wide() ? kernels_avx2 : kernels;
}

QZ_Effect_Deline::QZ_Effect_Deline() {
    memory = static_cast<int32_t*>(std::calloc(MEMORY, sizeof(int32_t)));
    table = static_cast<int32_t*>(std::calloc(CAPACITY, sizeof(int32_t)));
    outBuffers = static_cast<QZ_Buffer**>(std::calloc(GROUPS, sizeof(QZ_Buffer*)));
    outSamples = static_cast<int32_t**>(std::calloc(GROUPS, sizeof(int32_t*)));
    if (!memory || !table || !outBuffers || !outSamples) {
        // without its memory the block stays unprepared and never runs
        std::free(memory);
        std::free(table);
        std::free(outBuffers);
        std::free(outSamples);
        memory = table = nullptr;
        outBuffers = nullptr;
        outSamples = nullptr;
    }
}

QZ_Effect_Deline::~QZ_Effect_Deline() {
    while (Group* g = groups) {
        groups = g->next;
        freeTaps(g);
        delete g;
    }
    std::free(memory);
    std::free(table);
    std::free(outBuffers);
    std::free(outSamples);
}

void QZ_Effect_Deline::freeTaps(Group* g) {
    while (Tap* t = g->taps) {
        g->taps = t->next;
        delete t;
    }
    used -= 2 * g->count;
    g->count = 0;
    g->lastTap = g->tap = nullptr;
}

int32_t QZ_Effect_Deline::delay(const Tap& t, int32_t fs) {
    if (t.inSamples) return std::clamp(qz::trunc32(t.dt), 0, MAX_DELAY);
    // trunc32(fs * dt) held to [0, MAX_DELAY], fs * dt exact as in long
    // double (31 bits of clock by dt's 24-bit significand), here from
    // integers: the long double product costs more than a small block's pass.
    uint32_t bits;
    std::memcpy(&bits, &t.dt, sizeof bits);
    const uint32_t ex = bits >> 23 & 0xFF, man = bits & 0x7FFFFF;
    const bool negative = (bits >> 31 != 0) != (fs < 0);
    if (ex == 0xFF) return man == 0 && fs != 0 && !negative ? MAX_DELAY : 0; // NaN: 0
    if (negative) return 0; // truncates to 0 or below
    const uint64_t m = ex ? (man | 0x800000u) : man;
    const int e = ex ? int(ex) - 150 : -149; // dt = m * 2^e
    const uint64_t M = m * uint64_t(std::abs(int64_t(fs)));
    if (e >= 0) return e > 16 || M > uint64_t(MAX_DELAY) >> e ? MAX_DELAY : int32_t(M << e);
    return int32_t(std::min<uint64_t>(-e >= 64 ? 0 : M >> -e, MAX_DELAY));
}

void QZ_Effect_Deline::prepare() {
    if (!i || !memory) return;
    int32_t fs = clock;
    int32_t k = 0, slot = 0, least = CHUNK;
    bool fed = false;
    for (Group* g = groups; g && k + 2 * g->count + 4 <= CAPACITY; g = g->next, ++slot) {
        for (Tap* t = g->taps; t; t = t->next) {
            int32_t D = delay(*t, fs);
            table[k++] = D;
            table[k++] = t->da;
            least = std::min(least, D + 1);
        }
        outBuffers[slot] = g->go;
        table[k++] = -1;
        table[k++] = g->ga;
        table[k++] = g->go ? slot + 1 : 0;
        table[k++] = g->gf;
        fed = fed || g->gf != 0;
    }
    built = k;
    slots = slot;
    feedback = fed;
    shortest = least;
    prepared = true;
}

void QZ_Effect_Deline::process() {
    prepared = false; // the table is rebuilt before every block
    if (!i || !memory) return;
    int32_t n = span(i);
    const int32_t* in = samples(i);
    int32_t m = mode;
    if (n <= 0 || m < 0 || m >= qz::MODE_COUNT) return;
    // Each group's output covers the last n samples of its buffer; one that
    // holds fewer is not written (the group still feeds back).
    bool direct = !feedback;
    for (int32_t s = 0; s < slots; ++s) {
        QZ_Buffer* b = outBuffers[s];
        int32_t len = b ? b->usable() : 0;
        int32_t* d = len >= n ? samples(b) : nullptr;
        outSamples[s] = d ? d + (len - n) : nullptr;
        if (d && b == i) direct = false;
    }
    position =
        walks()[size_t(m)](in, n, table, built, outSamples, memory, position, shortest, direct);
}

bool QZ_Effect_Deline::Pass::load(QZ_Effect_Deline& e, const QZ_Buffer* in, const QZ_Buffer* out) {
    if (e.i != in || !e.memory) return false;
    e.prepare();
    const int32_t m = e.mode;
    if (!e.prepared || m < 0 || m >= qz::MODE_COUNT) return false;
    overwrites = false;
    for (int32_t s = 0; s < e.slots; ++s) {
        if (e.outBuffers[s] && e.outBuffers[s] != out) return false;
        overwrites = overwrites || (e.outBuffers[s] && m == qz::MODE_SET);
    }
    line = &e;
    kernel = walks()[size_t(m)];
    position = e.position;
    direct = !e.feedback; // no group writes its own input: out is not in
    return true;
}

void QZ_Effect_Deline::Pass::run(const int32_t* in, int32_t* out, int32_t n) {
    QZ_Effect_Deline& e = *line;
    for (int32_t s = 0; s < e.slots; ++s)
        e.outSamples[s] = e.outBuffers[s] ? out : nullptr;
    position =
        kernel(in, n, e.table, e.built, e.outSamples, e.memory, position, e.shortest, direct);
}

void QZ_Effect_Deline::Pass::store(int32_t* out) const {
    QZ_Effect_Deline& e = *line;
    e.position = position;
    for (int32_t s = 0; s < e.slots; ++s)
        e.outSamples[s] = e.outBuffers[s] ? out : nullptr;
    e.prepared = false;
}

void QZ_Effect_Deline::reset() {
    if (memory) std::fill(memory, memory + MEMORY, 0);
}

QZ_value QZ_Effect_Deline::m_i(QZ_Effect_Deline* e, QZ_value v) {
    return qz::handle_option(e->i, v);
}

QZ_value QZ_Effect_Deline::m_g(QZ_Effect_Deline* e, QZ_value v) {
    if (v.present()) {
        // only a group of this block: anything else keeps the current one
        for (Group* g = e->groups; g; g = g->next)
            if (g == v.asPtr<Group>()) e->group = g;
    } else {
        if (e->used + 4 > CAPACITY) return QZ_EMPTY;
        Group* g = new (std::nothrow) Group();
        if (!g) return QZ_EMPTY;
        (e->lastGroup ? e->lastGroup->next : e->groups) = g;
        e->lastGroup = e->group = g;
        e->used += 4;
        e->prepared = false;
    }
    return e->group ? QZ_value::handle(e->group) : QZ_EMPTY;
}

QZ_value QZ_Effect_Deline::m_go(QZ_Effect_Deline* e, QZ_value v) {
    Group* g = e->group;
    if (!g) return QZ_EMPTY;
    if (v.present()) {
        g->go = v.asPtr<QZ_Buffer>();
        e->prepared = false;
    }
    return QZ_value::handle(g->go);
}

namespace {
// value * (2^23 - 1), truncated: the group gains' format.
int32_t gain(const QZ_value& v) {
    return qz::trunc32(qz::as_number(v) * 8388607.0);
}
} // namespace

QZ_value QZ_Effect_Deline::m_ga(QZ_Effect_Deline* e, QZ_value v) {
    Group* g = e->group;
    if (!g) return QZ_EMPTY;
    if (v.present()) {
        g->ga = gain(v);
        e->prepared = false;
    }
    return QZ_value::integer(g->ga);
}

QZ_value QZ_Effect_Deline::m_gf(QZ_Effect_Deline* e, QZ_value v) {
    Group* g = e->group;
    if (!g) return QZ_EMPTY;
    if (v.present()) {
        g->gf = gain(v);
        e->prepared = false;
    }
    return QZ_value::integer(g->gf);
}

QZ_value QZ_Effect_Deline::m_gc(QZ_Effect_Deline* e, QZ_value) {
    // detached taps are nobody's: free them
    if (Group* g = e->group) {
        e->freeTaps(g);
        e->prepared = false;
    }
    return QZ_EMPTY;
}

QZ_value QZ_Effect_Deline::m_d(QZ_Effect_Deline* e, QZ_value v) {
    Group* g = e->group;
    if (!g) return QZ_EMPTY;
    if (v.present()) {
        // only a tap of the current group
        for (Tap* t = g->taps; t; t = t->next)
            if (t == v.asPtr<Tap>()) g->tap = t;
    } else {
        if (e->used + 2 > CAPACITY) return QZ_EMPTY;
        Tap* t = new (std::nothrow) Tap();
        if (!t) return QZ_EMPTY;
        (g->lastTap ? g->lastTap->next : g->taps) = t;
        g->lastTap = g->tap = t;
        ++g->count;
        e->used += 2;
        e->prepared = false;
    }
    return g->tap ? QZ_value::handle(g->tap) : QZ_EMPTY;
}

QZ_value QZ_Effect_Deline::m_dt(QZ_Effect_Deline* e, QZ_value v) {
    Tap* t = e->group ? e->group->tap : nullptr;
    if (!t) return QZ_EMPTY;
    if (v.present()) {
        // a count of samples or seconds; a text's pointer is neither
        int32_t n = 0;
        if (v.type != QZ_value::FLOAT && !qz::whole_value(v, n))
            return qz::refused("samples (an integer) or seconds (a real)");
        t->inSamples = v.type != QZ_value::FLOAT;
        t->dt = t->inSamples ? float(n) : v.asFloat();
        e->prepared = false;
    }
    return QZ_value::real(t->dt);
}

QZ_value QZ_Effect_Deline::m_da(QZ_Effect_Deline* e, QZ_value v) {
    Tap* t = e->group ? e->group->tap : nullptr;
    if (!t) return QZ_EMPTY;
    // without a value the tap falls silent
    t->da = v.present() ? qz::trunc32(qz::as_number(v) * 2147483647.0) : 0;
    e->prepared = false;
    return QZ_value::integer(t->da);
}

constinit const QZ_Entry QZ_Effect_Deline::cls[] = {
    qz::creates<QZ_Effect_Deline>(),
    qz::option<&QZ_Effect_Deline::m_i>("i"),
    qz::option<&QZ_Effect_Deline::m_g>("g"),
    qz::option<&QZ_Effect_Deline::m_go>("go"),
    qz::option<&QZ_Effect_Deline::m_ga>("ga"),
    qz::option<&QZ_Effect_Deline::m_gf>("gf"),
    qz::option<&QZ_Effect_Deline::m_gc>("gc"),
    qz::option<&QZ_Effect_Deline::m_d>("d"),
    qz::option<&QZ_Effect_Deline::m_dt>("dt"),
    qz::option<&QZ_Effect_Deline::m_da>("da"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Effect::cls),
};
