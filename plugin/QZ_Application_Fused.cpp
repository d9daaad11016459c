// The sustainer's chain in one loop over the block: the high-pass, the four
// detectors and the limiter between them run sample by sample side by side,
// so that each recursion's wait on its previous sample overlaps the others'
// instead of taking a pass of its own; the blocks without a recursion run
// their own kernels over short stretches in between. It computes exactly
// what the blocks compute, from their own coefficients and state, and writes
// their state back; a chain it does not cover is left to the chain's pass.
#include "QZ_Application.h"

#include "QZ_Buffer.h"
#include "QZ_Effect_Ampdet.h"
#include "QZ_Effect_Copy.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Effect_Oper.h"
#include "QZ_Soundpipe.h"

#include <algorithm>

namespace {

// The chain's recursions with their coefficients and state for one pass, as
// each block offers them: the same steps in the same order give the same bits.
struct Recursions {
    QZ_Effect_Hipass::State hp;
    QZ_Effect_Ampdet::State inMeter, detector, smoother, outMeter;
    QZ_Effect_Dist::Held limiter;

    // The front (high-pass, input meter, detector, limiter, smoother) over n
    // samples of `in`, beside the output meter over m samples of `out`. A
    // function of its own, so that the state stays in registers.
    [[gnu::noinline]] void stretch(const int32_t* in, int32_t* ai, int32_t* a, int32_t* t,
                                   int32_t n, const int32_t* out, int32_t* ao, int32_t m) {
        // Copies: the stores below could reach the members, the locals not.
        auto hp_ = hp;
        auto d1 = inMeter, d2 = detector, d3 = smoother, d4 = outMeter;
        const auto lim = limiter;
        // the high-pass feeds both detectors, the detector the limiter and
        // the limiter the smoother
        auto front = [&](int32_t j) __attribute__((always_inline)) {
            const int32_t r = int32_t(qz::magnitude(hp_.step(in[j])));
            ai[j] = d1.step(r);
            const int32_t e = d2.step(r);
            a[j] = e;
            t[j] = d3.step(int32_t(qz::magnitude(lim.step(e))));
        };
        auto meter = [&](int32_t j) __attribute__((always_inline)) {
            ao[j] = d4.step(int32_t(qz::magnitude(out[j])));
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
        hp = hp_, inMeter = d1, detector = d2, smoother = d3, outMeter = d4;
    }
};

template <class C> C* as(QZ_Effect* e) {
    return e && e->descriptor == C::cls ? static_cast<C*>(e) : nullptr;
}

} // namespace

bool QZ_Application::fusedPass() {
    static constexpr Block order[BLOCKS] = {HIPASS,     IN_METER,     DETECTOR, LIMITER,
                                            SMOOTHER,   LEVEL_FACTOR, DIVIDER,  DELAY,
                                            MULTIPLIER, OUT_METER,    COPY};
    if (!chain || chain->effects.count != BLOCKS) return false;
    // Every block on and steady, prepared, in the order create made them: a
    // switch (or a half-done switching on another thread) takes the chain's
    // pass, which cross-fades. The delay line is prepared below.
    QZ_Chain_Item* item = chain->effects.first();
    for (Block b : order) {
        QZ_Effect* e = blocks[b];
        if (!e || item->data != e || !e->steady()) return false;
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
    if (!hp || !inMeter || !detector || !limiter || !smoother || !factor || !divider || !delay ||
        !multiplier || !outMeter || !copy)
        return false;

    // Covered: what each block reads once per pass, read once here, and the
    // wiring create made. The copy leaves buf_i as it is.
    Recursions r;
    QZ_Effect_Koef::Pass koef;
    QZ_Effect_Oper::Pass divide, multiply;
    QZ_Effect_Deline::Pass walk;
    if (!r.hp.load(*hp, bi, bt) || !r.inMeter.load(*inMeter, bt, bai) ||
        !r.detector.load(*detector, bt, ba) || !r.limiter.load(*limiter, ba, bt) ||
        !r.smoother.load(*smoother, bt, bt) || !r.outMeter.load(*outMeter, bi, bao) ||
        !koef.load(*factor, bt, bt) || !divide.load(*divider, bt, ba, ba) ||
        !multiply.load(*multiplier, bt, ba, bi) || !copy->leaves(bi) || !walk.load(*delay, bi, bt))
        return false;

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
        koef.run(st + c, st + c, len);
        divide.run(st + c, sa + c, sa + c, len);
        walk.run(si + c, st + c, len);
        multiply.run(st + c, sa + c, si + c, len);
    }
    const int32_t last = (n - 1) / S * S;
    r.stretch(nullptr, nullptr, nullptr, nullptr, 0, si + last, sao + last, n - last);

    r.hp.store(*hp);
    r.inMeter.store(*inMeter);
    r.detector.store(*detector);
    r.smoother.store(*smoother);
    r.outMeter.store(*outMeter);
    walk.store(st);
    chain->ran_steady();
    ++fusedPasses;
    return true;
}
