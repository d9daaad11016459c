#include "QZ_Effect_Deline.h"

#include "QZ_Options.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace {

using Deline = QZ_Effect_Deline;

// One tap over a chunk: s[j] (+)= M[P + D + 1 - j] * A >> 31.
template <bool Add>
inline void read_tap(int32_t* s, const int32_t* mem, uint16_t from, int32_t a, int32_t c) {
    for (int32_t j = 0; j < c; ++j) {
        int32_t t = qz::asr(int64_t(mem[uint16_t(from - j)]) * a, 31);
        s[j] = Add ? qz::add(s[j], t) : t;
    }
}

// The table walked a chunk at a time. Within a chunk no tap reads a sample
// written in the same chunk (the chunk is at most the shortest D + 1), and no
// write reaches a place a tap of the chunk still reads (D + 1 < 65536), so
// every group may run over the whole chunk before the memory is written.
template <int M> struct Walk {
    static uint16_t run(const int32_t* in, int32_t n, const int32_t* table, int32_t used,
                        int32_t* const* outs, int32_t* mem, uint16_t p, int32_t step) {
        int32_t w[Deline::CHUNK];
        int32_t s[Deline::CHUNK];
        const int32_t* end = table + used;
        for (int32_t n0 = 0; n0 < n; n0 += step) {
            int32_t c = std::min(n - n0, step);
            // read before any output is written: an output may be the input
            for (int32_t j = 0; j < c; ++j) w[j] = in[n0 + j];
            for (const int32_t* t = table; t < end;) {
                const int32_t* taps = t;
                while (*t != -1) t += 2;
                if (taps == t) std::fill(s, s + c, 0);
                for (const int32_t* d = taps; d < t; d += 2) {
                    uint16_t from = uint16_t(p + d[0] + 1);
                    if (d == taps) read_tap<false>(s, mem, from, d[1], c);
                    else read_tap<true>(s, mem, from, d[1], c);
                }
                int32_t ga = t[1], slot = t[2], gf = t[3];
                t += 4;
                if (int32_t* o = slot ? outs[slot - 1] : nullptr) {
                    o += n0;
                    for (int32_t j = 0; j < c; ++j)
                        o[j] = qz::combine<M>(o[j], qz::asr(int64_t(s[j]) * ga, 23));
                }
                if (gf != 0)
                    for (int32_t j = 0; j < c; ++j)
                        w[j] = qz::add(w[j], qz::asr(int64_t(s[j]) * gf, 23));
            }
            for (int32_t j = 0; j < c; ++j) mem[uint16_t(p - j)] = w[j];
            p = uint16_t(p - c);
        }
        return p;
    }
};

} // namespace

const std::array<Deline::Kernel, qz::MODE_COUNT> QZ_Effect_Deline::kernels =
    qz::kernel_table<Deline::Kernel, Walk, qz::MODE_COUNT>();

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
    int32_t D = t.inSamples ? qz::trunc32(t.dt)
                            : qz::trunc32(static_cast<long double>(fs) * static_cast<long double>(t.dt));
    return std::clamp(D, 0, MAX_DELAY);
}

void QZ_Effect_Deline::prepare() {
    if (!i || !memory) return;
    int32_t fs = clock;
    int32_t k = 0, slot = 0, least = CHUNK;
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
    }
    built = k;
    slots = slot;
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
    for (int32_t s = 0; s < slots; ++s) {
        QZ_Buffer* b = outBuffers[s];
        int32_t len = b ? b->usable() : 0;
        int32_t* d = len >= n ? samples(b) : nullptr;
        outSamples[s] = d ? d + (len - n) : nullptr;
    }
    position = kernels[size_t(m)](in, n, table, built, outSamples, memory, position, shortest);
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
int32_t gain(const QZ_value& v) { return qz::trunc32(qz::as_number(v) * 8388607.0); }
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
        t->inSamples = v.type != QZ_value::FLOAT;
        t->dt = t->inSamples ? float(v.asInt()) : v.asFloat();
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
