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
#include "QZ_Isa.h"
#include "QZ_Soundpipe.h"
#include "QZ_Wide.h"

#include <algorithm>
#include <type_traits>

namespace {

// Stretches short enough to stay in the first-level cache, long enough that
// the kernels' calls do not count.
constexpr int32_t S = 64;

// What the recursions of a stretch leave for the kernels and the buffers: the
// input meter's and the detector's envelopes, the smoother's output and the
// output meter's envelope (of the stretch before). One record, so that the
// loop reaches all of it through one register.
struct Scratch {
    alignas(32) int32_t ai[S];
    alignas(32) int32_t a[S];
    alignas(32) int32_t t[S];
    alignas(32) int32_t ao[S];
    alignas(32) int32_t mo[S]; // the output meter's input, rectified
};

// The chain's recursions with their coefficients and state for one pass, as
// each block offers them: the same steps in the same order give the same bits.
struct Recursions {
    QZ_Effect_Hipass::State hp;
    QZ_Effect_Ampdet::State inMeter, detector, smoother, outMeter;
    QZ_Effect_Dist::Held limiter;

    // The front (high-pass, input meter, detector, limiter, smoother) over n
    // samples of `in`, beside the output meter over m samples of `out` (m is 0
    // or at least n), into s. Functions of their own, so that the state
    // stays in registers; the second for processors with AVX2, everything it
    // calls inlined (its AVX2 parts can only be inlined there).
    [[gnu::noinline]] void stretch(const int32_t* in, int32_t n, const int32_t* out, int32_t m,
                                   Scratch& s) {
        run<false>(in, n, out, m, s);
    }
#if QZ_WIDE_LOOPS && defined(__SSE2__)
    [[gnu::noinline, gnu::flatten]] QZ_AVX2 void
    stretch_wide(const int32_t* in, int32_t n, const int32_t* out, int32_t m, Scratch& s) {
        run<true>(in, n, out, m, s);
    }
#endif

#if defined(__SSE2__)
    [[gnu::always_inline]] static __m128i load4(const int32_t* a) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
    }
    // The limiter over four of the detector's samples x, stored at a, into
    // their magnitudes at l; one by one where a knee's dividend is too large
    // for a double.
    [[gnu::always_inline]] static void limit(std::false_type, const qz::dist::Held4& four,
                                             const QZ_Effect_Dist::Held& lim, __m128i x,
                                             const int32_t* a, int32_t* l) {
        __m128i y;
        if (!four.run(x, y)) [[unlikely]]
            y = _mm_setr_epi32(lim.step(a[0]), lim.step(a[1]), lim.step(a[2]), lim.step(a[3]));
        const __m128i sign = _mm_srai_epi32(y, 31);
        _mm_store_si128(reinterpret_cast<__m128i*>(l), _mm_sub_epi32(_mm_xor_si128(y, sign), sign));
    }
#if QZ_WIDE_LOOPS
    // Not forced inline: run<true> is no AVX2 function before stretch_wide
    // takes it in.
    QZ_AVX2 static void limit(std::true_type, const qz::dist::Held4& four,
                              const QZ_Effect_Dist::Held& lim, __m128i x, const int32_t* a,
                              int32_t* l) {
        __m128i y;
        if (!four.run_wide(x, y)) [[unlikely]]
            y = _mm_setr_epi32(lim.step(a[0]), lim.step(a[1]), lim.step(a[2]), lim.step(a[3]));
        _mm_store_si128(reinterpret_cast<__m128i*>(l), _mm_abs_epi32(y));
    }
#endif
#endif

#if QZ_WIDE_LOOPS && defined(__SSE2__)
    // Four words into the low words of the four 64-bit lanes.
    [[gnu::always_inline]] QZ_AVX2 static __m256i lanes(int64_t c0, int64_t c1, int64_t c2,
                                                        int64_t c3) {
        return _mm256_setr_epi32(int32_t(c0), 0, int32_t(c1), 0, int32_t(c2), 0, int32_t(c3), 0);
    }

    // The whole chain over a block in one loop, where the blocks after the
    // recursions are the factor's product by k, the divider's quotient and
    // the multiplier's product, all "set", and the delay line alone writes
    // buf_t (it has run over the block). The four detectors step in the four
    // lanes of one AVX2 register, one step of all four per sample: the input
    // meter, the detector, the smoother and the output meter, each in the low
    // word of its 64-bit lane. Their envelopes and inputs carry an offset of
    // 2^31, under which the step's unsigned comparison is the signed one the
    // register has; difference and sum do not see it. Each lane follows the
    // one feeding it far enough behind that the loop waits on the step's own
    // chain only: the limiter clips each group of four of the detector's a
    // group later, the smoother takes them LAG groups behind the front, the
    // factor, divider and multiplier take eight of the smoother's a group
    // after that, and the output meter their products TRAIL groups behind the
    // front. A lane with nothing to follow yet steps by zero, which leaves it
    // as it is. The high-pass steps beside them in scalar code.
    [[gnu::noinline, gnu::flatten]] QZ_AVX2 void whole(int32_t* si, const int32_t* st, int32_t* sa,
                                                       int32_t* sai, int32_t* sao, int32_t n,
                                                       int32_t k) {
        using namespace qz::wide;
        constexpr int32_t OFF = INT32_MIN;
        // the limiter's path from the detector's lane to the smoother's
        // takes about five steps of the register, the blocks' path from the
        // smoother to the output meter about as many
        constexpr int32_t LAG = 3, TRAIL = 8;
        // the last samples of the high-pass, the limiter, the smoother and
        // the products (rectified, as the output meter takes them), each
        // ring long enough for the distance behind
        constexpr int32_t RING = 64;
        alignas(32) int32_t r[RING], l[RING], t[RING], mo[RING];
        const __m256i off = _mm256_set1_epi32(OFF), K = _mm256_set1_epi32(k);
        auto hp_ = hp;
        auto d1 = inMeter, d2 = detector, d3 = smoother, d4 = outMeter;
        const auto lim = limiter;
        const qz::dist::Held4 four = lim.four();
        // the attack coefficients, and what turns them into the release ones,
        // as the smoother and the output meter join
        __m256i ca = lanes(d1.attack, d2.attack, 0, 0);
        __m256i cx = lanes(d1.attack ^ d1.release, d2.attack ^ d2.release, 0, 0);
        __m256i e =
            _mm256_xor_si256(off, lanes(d1.envelope, d2.envelope, d3.envelope, d4.envelope));

        auto group = [&](int32_t j, __m256i a, __m256i x, __m128i & det, __m128i & smoothed)
            __attribute__((always_inline, target("avx2"))) {
            int32_t* rj = r + (j & (RING - 1)); // j is a multiple of four
#pragma GCC unroll 4
            for (int32_t i = 0; i < 4; ++i)
                rj[i] = hp_.step(si[j + i]);
            // a resting lane reads the high-pass's words, which are there
            const int32_t* lj = j >= 4 * LAG ? l + ((j - 4 * LAG) & (RING - 1)) : rj;
            const int32_t* mj = j >= 4 * TRAIL ? mo + ((j - 4 * TRAIL) & (RING - 1)) : rj;
            // Broadcast from memory, which takes a load and no shuffle: the
            // compiler does not see that these are the words just stored.
            const int32_t* ri = rj;
            qz::opaque(ri), qz::opaque(lj), qz::opaque(mj);
            __m256i row[4];
#pragma GCC unroll 4
            for (int32_t i = 0; i < 4; ++i) {
                const __m256i in =
                    _mm256_xor_si256(off, _mm256_abs_epi32(_mm256_blend_epi32(
                                              _mm256_blend_epi32(_mm256_set1_epi32(ri[i]),
                                                                 _mm256_set1_epi32(lj[i]), 0x30),
                                              _mm256_set1_epi32(mj[i]), 0xC0)));
                const __m256i c =
                    _mm256_xor_si256(a, _mm256_and_si256(_mm256_cmpgt_epi32(e, in), x));
                const __m256i p = _mm256_mul_epi32(_mm256_sub_epi32(in, e), c);
                row[i] = e = _mm256_add_epi32(e, _mm256_srli_epi64(p, 31));
            }
            // the four rows' low words as columns: the input meter's and the
            // smoother's, then the detector's and the output meter's
            const __m256i one =
                _mm256_xor_si256(off, _mm256_unpacklo_epi64(_mm256_unpacklo_epi32(row[0], row[1]),
                                                            _mm256_unpacklo_epi32(row[2], row[3])));
            const __m256i two =
                _mm256_xor_si256(off, _mm256_unpacklo_epi64(_mm256_unpackhi_epi32(row[0], row[1]),
                                                            _mm256_unpackhi_epi32(row[2], row[3])));
            det = _mm256_castsi256_si128(two);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sai + j), _mm256_castsi256_si128(one));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sa + j), det);
            smoothed = _mm256_extracti128_si256(one, 1);
            if (j >= 4 * LAG)
                _mm_store_si128(reinterpret_cast<__m128i*>(t + ((j - 4 * LAG) & (RING - 1))),
                                smoothed);
            if (j >= 4 * TRAIL)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(sao + j - 4 * TRAIL),
                                 _mm256_extracti128_si256(two, 1));
        };
        // the limiter over a group of the detector's
        auto limit = [&](int32_t j, __m128i det) __attribute__((always_inline, target("avx2"))) {
            Recursions::limit(std::true_type(), four, lim, det, sa + j, l + (j & (RING - 1)));
        };
        // eight samples of the blocks after the recursions, from the
        // smoother's output and the detector's in buf_a
        auto blocks = [&](int32_t j, __m256i smoothed)
            __attribute__((always_inline, target("avx2"))) {
            const __m256i q = div_q24<false>(mul_q24(smoothed, K), load(sa + j));
            store(sa + j, q);
            const __m256i y = mul_q24(load(st + j), q);
            store(si + j, y);
            _mm256_store_si256(reinterpret_cast<__m256i*>(mo + (j & (RING - 1))),
                               _mm256_abs_epi32(y));
        };

        const int32_t groups = n / 4;
        int32_t done = 0; // samples through the blocks
        // What depends on the register's steps takes them from the group
        // before, so that the processor finds work that can run while the
        // steps of this group wait on each other.
        __m128i det = _mm_setzero_si128(), smoothed[2] = {det, det};
        for (int32_t g = 0; g < groups; ++g) {
            if (g == LAG || g == TRAIL) [[unlikely]] {
                ca = lanes(d1.attack, d2.attack, d3.attack, g == TRAIL ? d4.attack : 0);
                cx = lanes(d1.attack ^ d1.release, d2.attack ^ d2.release, d3.attack ^ d3.release,
                           g == TRAIL ? d4.attack ^ d4.release : 0);
            }
            __m128i d, t4;
            group(4 * g, ca, cx, d, t4);
            if (g > 0) limit(4 * (g - 1), det);
            // the smoother's two groups before, where they start on a
            // multiple of eight
            if (g >= LAG + 2 && ((g - LAG) & 1) == 0) {
                blocks(done, _mm256_inserti128_si256(_mm256_castsi128_si256(smoothed[0]),
                                                     smoothed[1], 1));
                done += 8;
            }
            det = d;
            smoothed[0] = smoothed[1];
            smoothed[1] = t4;
        }
        if (groups > 0) limit(4 * (groups - 1), det);

        alignas(32) int32_t w[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(w), e);
        d1.envelope = w[0] ^ OFF, d2.envelope = w[2] ^ OFF, d3.envelope = w[4] ^ OFF;
        d4.envelope = w[6] ^ OFF;
        // What the lanes left behind: the smoother (with the front for the
        // last samples) and the output meter's ready steps a step of each by
        // turns, so that each one's wait overlaps the other's (in loops of
        // their own, the second would wait out the first); then the blocks
        // and the output meter's last steps.
        int32_t metered = std::max(groups - TRAIL, 0) * 4;
        for (int32_t j = std::max(groups - LAG, 0) * 4; j < n; ++j) {
            int32_t x;
            if (j < groups * 4) {
                x = l[j & (RING - 1)];
            } else {
                const int32_t r = int32_t(qz::magnitude(hp_.step(si[j])));
                sai[j] = d1.step(r);
                sa[j] = d2.step(r);
                x = lim.step(sa[j]);
            }
            t[j & (RING - 1)] = d3.step(int32_t(qz::magnitude(x)));
            if (metered < done) {
                sao[metered] = d4.step(mo[metered & (RING - 1)]);
                ++metered;
            }
        }
        for (; done + 8 <= n; done += 8)
            blocks(done, load(t + (done & (RING - 1))));
        for (; done < n; ++done) {
            const int32_t q = qz::div_q24<false>(qz::mul_q24(t[done & (RING - 1)], k), sa[done]);
            sa[done] = q;
            si[done] = qz::mul_q24(st[done], q);
            mo[done & (RING - 1)] = int32_t(qz::magnitude(si[done]));
        }
        for (; metered < n; ++metered)
            sao[metered] = d4.step(mo[metered & (RING - 1)]);
        hp = hp_, inMeter = d1, detector = d2, smoother = d3, outMeter = d4;
    }
#endif

    template <bool Wide>
    [[gnu::always_inline]] void run(const int32_t* in, int32_t n, const int32_t* out, int32_t m,
                                    Scratch& s) {
        // Copies: the stores below could reach the members, the locals not.
        auto hp_ = hp;
        auto d1 = inMeter, d2 = detector, d3 = smoother, d4 = outMeter;
        const auto lim = limiter;
        // the high-pass feeds both detectors
        auto front = [&](int32_t j) __attribute__((always_inline)) {
            const int32_t r = int32_t(qz::magnitude(hp_.step(in[j])));
            s.ai[j] = d1.step(r);
            s.a[j] = d2.step(r);
        };
        auto meter = [&](int32_t j) __attribute__((always_inline)) {
            s.ao[j] = d4.step(s.mo[j]);
        };
        for (int32_t k = 0; k < m; ++k)
            s.mo[k] = int32_t(qz::magnitude(out[k]));
        int32_t j = 0;
#if defined(__SSE2__)
        // In groups of four: the limiter, which needs no sample before its
        // own, clips a group of the detector's at once, a group behind the
        // front, and the smoother follows two groups behind, so that no
        // recursion waits on another's nor on the limiter's divisions.
        const qz::dist::Held4 four = lim.four();
        alignas(16) int32_t l[2][4];
        auto clip = [&](const int32_t* a, int32_t* out) __attribute__((always_inline)) {
            limit(std::bool_constant<Wide>(), four, lim, load4(a), a, out);
        };
        const int32_t groups = n / 4;
        for (int32_t g = 0; g < groups; ++g, j += 4) {
            front(j);
            front(j + 1);
            front(j + 2);
            front(j + 3);
            if (g > 0) clip(s.a + j - 4, l[(g - 1) & 1]);
            if (g > 1)
                for (int32_t i = 0; i < 4; ++i)
                    s.t[j - 8 + i] = d3.step(l[g & 1][i]);
            if (m > 0) {
                meter(j);
                meter(j + 1);
                meter(j + 2);
                meter(j + 3);
            }
        }
        if (groups > 0) clip(s.a + j - 4, l[(groups - 1) & 1]);
        for (int32_t g = std::max(groups - 2, 0); g < groups; ++g)
            for (int32_t i = 0; i < 4; ++i)
                s.t[4 * g + i] = d3.step(l[g & 1][i]);
#endif
        for (; j < n; ++j) {
            front(j);
            s.t[j] = d3.step(int32_t(qz::magnitude(lim.step(s.a[j]))));
            if (m > 0) meter(j);
        }
        for (int32_t k = m > 0 ? j : 0; k < m; ++k)
            meter(k);
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
    // pass, which cross-fades. The delay line is prepared below. The order
    // from each block's own link, not by walking the chain: its loads need
    // not wait on each other.
    for (Block b : order)
        if (!blocks[b]) return false;
    if (chain->effects.first() != &blocks[order[0]]->item) return false;
    for (int i = 0; i < BLOCKS; ++i) {
        QZ_Effect* e = blocks[order[i]];
        const QZ_Chain_Item* next =
            i + 1 < BLOCKS ? &blocks[order[i + 1]]->item : &chain->effects.tail;
        if (e->item.next != next || !e->steady()) return false;
        if (!e->prepared && order[i] != DELAY) return false;
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
    // The recursions of one stretch run beside the output meter of the one
    // before, and between them the blocks' own kernels take the rest of the
    // chain over the stretch.
    Scratch scratch;
#if QZ_WIDE_LOOPS && defined(__SSE2__)
    const bool wide = qz::isa::wide();
    using qz::MODE_COUNT, qz::MODE_SET;
    const bool lastInline =
        wide && walk.overwrites &&
        koef.kernel == QZ_Effect_Koef::table()[int(qz::OPER_MUL) * MODE_COUNT + MODE_SET] &&
        divide.kernel == QZ_Effect_Oper::table()[int(qz::OPER_DIV) * MODE_COUNT + MODE_SET] &&
        multiply.kernel == QZ_Effect_Oper::table()[int(qz::OPER_MUL) * MODE_COUNT + MODE_SET];
#endif
    auto stretch = [&](const int32_t* in, int32_t len, const int32_t* out, int32_t m) {
#if QZ_WIDE_LOOPS && defined(__SSE2__)
        if (wide) return r.stretch_wide(in, len, out, m, scratch);
#endif
        r.stretch(in, len, out, m, scratch);
    };
#if QZ_WIDE_LOOPS && defined(__SSE2__)
    if (lastInline) {
        // the line reads the input before the output is written over it
        walk.run(si, st, n);
        r.whole(si, st, sa, sai, sao, n, koef.K);
    } else
#endif
    {
        for (int32_t c = 0; c < n; c += S) {
            const int32_t len = std::min(S, n - c);
            const int32_t behind = c == 0 ? 0 : S;
            stretch(si + c, len, si + c - behind, behind);
            std::copy(scratch.ai, scratch.ai + len, sai + c);
            std::copy(scratch.ao, scratch.ao + behind, sao + c - behind);
            // in place, as the factor and the divider each read and write one
            // buffer; the buffers take what the chain's pass leaves there (the
            // delay line may not write over buf_t)
            koef.run(scratch.t, scratch.t, len);
            std::copy(scratch.t, scratch.t + len, st + c);
            divide.run(scratch.t, scratch.a, scratch.a, len);
            std::copy(scratch.a, scratch.a + len, sa + c);
            walk.run(si + c, st + c, len);
            multiply.run(st + c, sa + c, si + c, len);
        }
        const int32_t last = (n - 1) / S * S;
        stretch(nullptr, 0, si + last, n - last);
        std::copy(scratch.ao, scratch.ao + (n - last), sao + last);
    }

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
