// The sustainer's chain in one loop over the block: the high-pass, the four
// detectors and the limiter between them run sample by sample side by side,
// so that each recursion's wait on its previous sample overlaps the others'
// instead of taking a pass of its own; the blocks without a recursion run
// their own kernels over short stretches in between. It computes exactly
// what the blocks compute, from their own coefficients and state, and writes
// their state back; a chain it does not cover is left to the chain's pass.
#include "QZ_Application.h"

#include "QZ_Arith.h"
#include "QZ_Buffer.h"
#include "QZ_Effect_Ampdet.h"
#include "QZ_Effect_Copy.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Effect_Oper.h"
#include "QZ_Onepole.h"
#include "QZ_Soundpipe.h"

#include <algorithm>
#include <cmath>

namespace {

// The per-sample steps below are the blocks' kernels, operation for
// operation: the same helpers in the same order give the same bits.

using qz::ampdet::follow;

using qz::dist::knee;
using qz::dist::pick;

// The limiter with its bias held (rate 0): one sample.
[[gnu::always_inline]] inline int32_t limit(int32_t x, int32_t B, int32_t T, int32_t lo,
                                            int32_t Lpos, int32_t Lneg) {
    int32_t v = qz::sub(x >> 1, B) >> 1;
    int32_t c = std::max(std::min(v, T), lo);
    int32_t e = qz::sub(v, c);
    // Within the clamp the term is 0. An envelope stays on one side of the
    // clamp for long stretches: the branch predicts well and saves a division.
    int32_t q = e == 0 ? 0 : knee(pick(e > 0, Lpos, Lneg), e);
    return int32_t(uint32_t(qz::add(c, q)) << 2);
}

// The chain's recursions with their coefficients and state for one pass.
struct Recursions {
    uint32_t k;                             // high-pass
    int64_t a1, r1, a2, r2, a3, r3, a4, r4; // detectors: attack and release
    int32_t B, T, lo, Lpos, Lneg;           // limiter, its bias held
    int32_t y, e1, e2, e3, e4;              // high-pass memory, envelopes

    // The front (high-pass, input meter, detector, limiter, smoother) over n
    // samples of `in`, beside the output meter over m samples of `out`. A
    // function of its own, so that the state stays in registers.
    [[gnu::noinline]] void stretch(const int32_t* in, int32_t* ai, int32_t* a, int32_t* t,
                                   int32_t n, const int32_t* out, int32_t* ao, int32_t m) {
        // Copies: the stores below could reach the members, the locals not.
        const uint32_t k_ = k;
        const int64_t a1_ = a1, r1_ = r1, a2_ = a2, r2_ = r2, a3_ = a3, r3_ = r3, a4_ = a4,
                      r4_ = r4;
        const int32_t B_ = B, T_ = T, lo_ = lo, Lpos_ = Lpos, Lneg_ = Lneg;
        int32_t y_ = y, e1_ = e1, e2_ = e2, e3_ = e3, e4_ = e4;
        // the high-pass feeds both detectors, the detector the limiter and
        // the limiter the smoother
        auto front = [&](int32_t j) __attribute__((always_inline)) {
            const int32_t x = in[j];
            y_ = qz::onepole_step(x, y_, k_);
            const int32_t r = int32_t(qz::magnitude(qz::sub(x, y_)));
            e1_ = follow(r, e1_, a1_, r1_);
            ai[j] = e1_;
            e2_ = follow(r, e2_, a2_, r2_);
            a[j] = e2_;
            const int32_t l = limit(e2_, B_, T_, lo_, Lpos_, Lneg_);
            e3_ = follow(int32_t(qz::magnitude(l)), e3_, a3_, r3_);
            t[j] = e3_;
        };
        auto meter = [&](int32_t j) __attribute__((always_inline)) {
            e4_ = follow(int32_t(qz::magnitude(out[j])), e4_, a4_, r4_);
            ao[j] = e4_;
        };
        const int32_t both = std::min(n, m);
        int32_t j = 0;
        for (; j < both; ++j) {
            front(j);
            meter(j);
        }
        for (int32_t i = j; i < n; ++i)
            front(i);
        for (int32_t i = j; i < m; ++i)
            meter(i);
        y = y_, e1 = e1_, e2 = e2_, e3 = e3_, e4 = e4_;
    }
};

template <class C> C* as(QZ_Effect* e) {
    return e && e->descriptor == C::cls ? static_cast<C*>(e) : nullptr;
}

// A detector the loop can stand in for: envelope out, no rectified output,
// written in the "set" manner.
bool plain(const QZ_Effect_Ampdet* d, QZ_Buffer* in, QZ_Buffer* out) {
    return d && d->i == in && d->o == out && !d->a && d->mode == qz::MODE_SET;
}

} // namespace

bool QZ_Application::fusedPass() {
    static constexpr Block order[BLOCKS] = {HIPASS,     IN_METER,     DETECTOR, LIMITER,
                                            SMOOTHER,   LEVEL_FACTOR, DIVIDER,  DELAY,
                                            MULTIPLIER, OUT_METER,    COPY};
    if (!chain || chain->effects.count != BLOCKS) return false;
    // Every block on and steady, prepared, in the order create made them: a
    // switch (or a half-done switching on another thread) takes the chain's
    // pass, which cross-fades.
    QZ_Chain_Item* item = chain->effects.first();
    for (Block b : order) {
        QZ_Effect* e = blocks[b];
        if (!e || item->data != e || !e->wasOn || !e->on) return false;
        if (!e->prepared && b != DELAY) return false;
        item = item->next;
    }
    QZ_Buffer *bi = buffers[BUF_I], *bt = buffers[BUF_T], *ba = buffers[BUF_A],
              *bai = buffers[BUF_AI], *bao = buffers[BUF_AO];
    if (!bi || !bt || !ba || !bai || !bao) return false;
    const int32_t n = bi->usable();
    if (n <= 0 || bt->usable() != n || ba->usable() != n || bai->usable() != n ||
        bao->usable() != n)
        return false;

    auto* hp = as<QZ_Effect_Hipass>(blocks[HIPASS]);
    auto* inMeter = as<QZ_Effect_Ampdet>(blocks[IN_METER]);
    auto* detector = as<QZ_Effect_Ampdet>(blocks[DETECTOR]);
    auto* limiter = as<QZ_Effect_Dist>(blocks[LIMITER]);
    auto* smoother = as<QZ_Effect_Ampdet>(blocks[SMOOTHER]);
    auto* factor = as<QZ_Effect_Koef>(blocks[LEVEL_FACTOR]);
    auto* divider = as<QZ_Effect_Oper>(blocks[DIVIDER]);
    auto* delay = as<QZ_Effect_Deline>(blocks[DELAY]);
    auto* multiplier = as<QZ_Effect_Oper>(blocks[MULTIPLIER]);
    auto* outMeter = as<QZ_Effect_Ampdet>(blocks[OUT_METER]);
    auto* copy = as<QZ_Effect_Copy>(blocks[COPY]);
    if (!hp || hp->i != bi || hp->o != bt) return false;
    if (!plain(inMeter, bt, bai) || !plain(detector, bt, ba) || !plain(smoother, bt, bt) ||
        !plain(outMeter, bi, bao))
        return false;
    if (!limiter || limiter->i != ba || limiter->o != bt) return false;
    if (!factor || factor->i != bt || factor->o != bt) return false;
    if (!divider || divider->i1 != bt || divider->i2 != ba || divider->o != ba) return false;
    if (!multiplier || multiplier->i1 != bt || multiplier->i2 != ba || multiplier->o != bi)
        return false;
    // "set" onto its own buffer: the copy leaves it as it is. (In other
    // modes or with strides it may read across samples.)
    if (!copy || copy->i != bi || copy->o != bi || copy->mode != qz::MODE_SET) return false;
    // A moving bias is a recursion of its own (and the state before the
    // clock is set); the chain's pass runs it.
    const int32_t rate = limiter->rate;
    if (rate != 0) return false;
    // The delay line rebuilds its table before every block, as its pass does;
    // its groups may write buf_t only, at the samples they read.
    if (!delay || delay->i != bi) return false;
    delay->prepare();
    if (!delay->prepared) return false;
    for (int32_t s = 0; s < delay->slots; ++s)
        if (delay->outBuffers[s] && delay->outBuffers[s] != bt) return false;

    // Covered: the words each block reads once per pass, read once here.
    const int32_t kf = int32_t(factor->oper) * qz::MODE_COUNT + factor->mode;
    const int32_t kd = int32_t(divider->oper) * qz::MODE_COUNT + divider->mode;
    const int32_t km = int32_t(multiplier->oper) * qz::MODE_COUNT + multiplier->mode;
    const int32_t dm = delay->mode;
    if (std::min({kf, kd, km, dm}) < 0 || std::max({kf, kd, km}) >= qz::OPER_KERNELS ||
        dm >= qz::MODE_COUNT)
        return false;
    const QZ_Effect_Dist::Params p =
        QZ_Effect_Dist::params(limiter->threshold, limiter->half, limiter->l, rate);
    const int32_t B = limiter->bias;
    const int32_t lo = std::max(p.loA, std::min(B, p.loT));
    Recursions r;
    r.k = hp->k;
    r.a1 = inMeter->attack, r.r1 = inMeter->release;
    r.a2 = detector->attack, r.r2 = detector->release;
    r.a3 = smoother->attack, r.r3 = smoother->release;
    r.a4 = outMeter->attack, r.r4 = outMeter->release;
    r.B = B, r.T = p.T, r.lo = lo, r.Lpos = p.Lpos, r.Lneg = p.Lneg;
    r.y = hp->y;
    r.e1 = inMeter->envelope, r.e2 = detector->envelope, r.e3 = smoother->envelope;
    r.e4 = outMeter->envelope;
    const int32_t K = factor->K;
    const auto koef = QZ_Effect_Koef::kernels[size_t(kf)];
    const auto divide = QZ_Effect_Oper::kernels[size_t(kd)];
    const auto multiply = QZ_Effect_Oper::kernels[size_t(km)];
    const auto walk = QZ_Effect_Deline::kernels[size_t(dm)];
    const bool direct = !delay->feedback;
    uint16_t at = delay->position;

    int32_t *si = bi->data, *st = bt->data, *sa = ba->data, *sai = bai->data, *sao = bao->data;
    // Stretches short enough to stay in the first-level cache, long enough
    // that the kernels' calls do not count: the recursions of one stretch run
    // beside the output meter of the one before, and between them the
    // blocks' own kernels take the rest of the chain over the stretch.
    constexpr int32_t S = 64;
    for (int32_t c = 0; c < n; c += S) {
        const int32_t len = std::min(S, n - c);
        const int32_t behind = c == 0 ? 0 : S;
        r.stretch(si + c, sai + c, sa + c, st + c, len, si + c - behind, sao + c - behind, behind);
        koef(st + c, st + c, len, K);
        divide(st + c, sa + c, sa + c, len);
        for (int32_t s = 0; s < delay->slots; ++s)
            delay->outSamples[s] = delay->outBuffers[s] ? st + c : nullptr;
        at = walk(si + c, len, delay->table, delay->built, delay->outSamples, delay->memory, at,
                  delay->shortest, direct);
        multiply(st + c, sa + c, si + c, len);
    }
    const int32_t last = (n - 1) / S * S;
    r.stretch(nullptr, nullptr, nullptr, nullptr, 0, si + last, sao + last, n - last);

    hp->y = r.y;
    inMeter->envelope = r.e1;
    detector->envelope = r.e2;
    smoother->envelope = r.e3;
    outMeter->envelope = r.e4;
    delay->position = at;
    for (int32_t s = 0; s < delay->slots; ++s)
        delay->outSamples[s] = delay->outBuffers[s] ? st : nullptr; // as its pass leaves them
    delay->prepared = false; // rebuilt before every block, as its own pass leaves it
    // What the chain's pass leaves besides: no buffer fading, every block
    // steady and on.
    chain->buffers.each<QZ_Buffer>([](QZ_Buffer* b) { b->fade = 0; });
    for (QZ_Effect* e : blocks)
        e->passOn = true;
    ++fusedPasses;
    return true;
}
