#include "QZ_Application.h"

#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Math.h"
#include "QZ_Soundpipe.h"
#include "QZ_Text.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Pal.h"
#include "Win.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Creating and deleting blocks goes through the process-wide current
// soundpipe; instances made on different threads take turns.
std::mutex& building() {
    static std::mutex m;
    return m;
}

const long double kLn10 = 2.302585092994045684017991454684364208L;

// 10^(db / 20), as exp(ln 10 * 0.05 * db) in extended precision.
long double gain_of(long double db) {
    return std::exp(kLn10 * 0.05L * db);
}

// A read-out text: the value without decimals and its unit.
void readout(char* text, float v, const char* unit) {
    size_t n = qz::fixed(text, 64, double(v), 0);
    qz::copy_cut(text + n, unit, 63 - n);
}

// Host samples into the chain: clipped to [-1, 1] (a NaN to -1) and scaled by
// 2^30, which is exact in single precision.
void take(const float* x, int32_t* s, int32_t n) {
    int32_t j = 0;
#if defined(__SSE2__)
    // The choices as masks: the compiler keeps them as branches (a comparison
    // may raise a floating-point flag), one mispredicted per sign change.
    const __m128 one = _mm_set1_ps(1.0f), minus = _mm_set1_ps(-1.0f);
    const __m128 scale = _mm_set1_ps(1073741824.0f);
    for (; j + 4 <= n; j += 4) {
        __m128 v = _mm_loadu_ps(x + j);
        __m128 over = _mm_cmpgt_ps(v, one); // false for a NaN
        v = _mm_or_ps(_mm_and_ps(over, one), _mm_andnot_ps(over, v));
        __m128 within = _mm_cmpge_ps(v, minus); // false for a NaN
        v = _mm_or_ps(_mm_and_ps(within, v), _mm_andnot_ps(within, minus));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s + j), _mm_cvttps_epi32(_mm_mul_ps(v, scale)));
    }
#endif
    for (; j < n; ++j) {
        float v = x[j] > 1.0f ? 1.0f : x[j];
        v = v >= -1.0f ? v : -1.0f;
        s[j] = int32_t(v * 1073741824.0f);
    }
}

// Two 10-byte slots: the on state's name, then the off state's.
const char on_off[20] = {'O', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 'O', 'f', 'f', 0, 0, 0, 0, 0, 0, 0};

// The editor's commands, in the order create sends them.
const char* const widget_commands[QZ_Application::WIDGET_COMMANDS] = {
    "QZ_Wid_Pic -w %i -h %i -l 0 -t 0 -res bgnd",
    "QZ_Wid_Text -l 10 -t 8 -h 16 -w %i -font %s -size 11 -text %s",
    "QZ_Wid_Pic -w 10 -h 10 -l 0 -t 0 -res alt",
    "QZ_Wid_Pic -w %i -h 10 -l 10 -t 0 -res amt",
    "QZ_Wid_Pic -w 10 -h 10 -l %i -t 0 -res art",
    "QZ_Wid_Pic -w 10 -h %i -l 0 -t 10 -res alm",
    "QZ_Wid_Pic -w 10 -h %i -l %i -t 10 -res arm",
    "QZ_Wid_Pic -w 10 -h 10 -l 0 -t %i -res alb",
    "QZ_Wid_Pic -w %i -h 10 -l 10 -t %i -res amb",
    "QZ_Wid_Pic -w 10 -h 10 -l %i -t %i -res arb",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res glt",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res gmt",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res grt",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res glm",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res gmm",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res grm",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res glb",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res gmb",
    "QZ_Wid_Pic -w %i -h %i -l %i -t %i -res grb",
    "QZ_Wid_Butt -w 40 -h 24 -l %i -t %i -res but -var %o -dat %o",
    "QZ_Wid_Text -l %i -t %i -w 50 -h 14 -color 0x00A57BBD -horz -1 -text Sustain",
    "QZ_Wid_Pal -w 61 -h 11 -l %i -t %i -res i61x11",
    "QZ_Wid_Pal %o -ln %o -cg 0 -ch r -bg 0xFF000000 -mn 0 -mx 29 -fg 0xFFC0E0FF -rl .9 -rg "
    "0xFFFF0000",
    "QZ_Wid_Pal %o -ln %o -cg 1 -ch r -bg 0xFF000000 -mn 0 -mx 29 -fg 0xFFC0E0FF -rl .9 -rg "
    "0xFFFF0000",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 41 -h 14",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
    "QZ_Wid_Knob -res tune -l %i -t %i -w 32 -h 32 -mn 0 -mx -45 -val -10 -var %o -dat %o",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
    "QZ_Wid_Knob -res tune -l %i -t %i -w 32 -h 32 -mn 50 -mx 400 -val -5 -var %o -dat %o",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
    "QZ_Wid_Knob -res tune -l %i -t %i -w 32 -h 32 -mn -45 -mx -3 -val -5 -var %o -dat %o",
    "QZ_Wid_Text -font %s -size %i -color %i -text %s -l %i -t %i -w 64 -h 14",
};

// Layout of the panel: the glass panel's corner, its size, the frame pieces'
// size, the knob row and columns, and the texts' colours.
constexpr int32_t W = 200, H = 156, G = 10, L0 = 10, T0 = 26, PW = 180, PH = 120;
constexpr int32_t KNOB_TOP = T0 + 63, KNOB_LEFT = L0 + 16, KNOB_STEP = 58;
constexpr int32_t CAPTION = 14729408, READOUT = 11579568;
const char kFont[] = "Tahoma";

// A read-out after its text changed in place: rendered anew, then shown.
void refresh(QZ_Object* o) {
    if (!o) return;
    auto* w = static_cast<QZ_Wid*>(o);
    w->update();
    w->redraw();
}

} // namespace

QZ_Application::QZ_Application() : params{&state, &sustain, &freq, &level} {
    for (int i = 0; i < WIDGET_COMMANDS; ++i)
        qz::copy_cut(texts.widget[i], widget_commands[i], sizeof texts.widget[i] - 1);
}

void QZ_Application::createWidgets() {
    char(*c)[112] = texts.widget;
    QZ_Object** w = widgets;
    const int32_t K0 = KNOB_LEFT, K1 = KNOB_LEFT + KNOB_STEP, K2 = KNOB_LEFT + 2 * KNOB_STEP;
    const int32_t CT = KNOB_TOP - 14, RT = KNOB_TOP + 32;
    QZ_command(c[0], &w[W_BACKGROUND], W, H);
    QZ_command(c[1], &w[W_TITLE], W - 20, "tahoma", title);
    QZ_command(c[2], &w[1]);
    QZ_command(c[3], &w[2], W - 20);
    QZ_command(c[4], &w[3], W - 10);
    QZ_command(c[5], &w[4], H - 20);
    QZ_command(c[6], &w[5], H - 20, W - 10);
    QZ_command(c[7], &w[6], H - 10);
    QZ_command(c[8], &w[7], W - 20, H - 10);
    QZ_command(c[9], &w[8], W - 10, H - 10);
    QZ_command(c[10], &w[10], G, G, L0, T0);
    QZ_command(c[11], &w[11], PW - 2 * G, G, L0 + G, T0);
    QZ_command(c[12], &w[12], G, G, L0 + PW - G, T0);
    QZ_command(c[13], &w[13], G, PH - 2 * G, L0, T0 + G);
    QZ_command(c[14], &w[14], PW - 2 * G + 8, PH - 2 * G + 8, L0 + G - 4, T0 + G - 4);
    QZ_command(c[15], &w[15], G, PH - 2 * G, L0 + PW - G, T0 + G);
    QZ_command(c[16], &w[16], G, G, L0, T0 + PH - G);
    QZ_command(c[17], &w[17], PW - 2 * G, G, L0 + G, T0 + PH - G);
    QZ_command(c[18], &w[18], G, G, L0 + PW - G, T0 + PH - G);
    QZ_command(c[19], &w[W_BUTTON], L0 + 11, T0 + 11, static_cast<QZ_value*>(&state), this);
    QZ_command(c[20], &w[W_BUTTON_CAPTION], L0 + 53, T0 + 15);
    QZ_command(c[21], &w[W_METER], L0 + 109, T0 + 10);
    QZ_command(c[22], w[W_METER], &meterLines[0]);
    QZ_command(c[23], w[W_METER], &meterLines[1]);
    QZ_command(c[24], &w[W_METER_CAPTION], kFont, 11, CAPTION, "In/Out", L0 + 119, T0 + 22);
    QZ_command(c[25], &w[W_SUSTAIN_CAPTION], kFont, 11, CAPTION, "Sustain", K0 - 16, CT);
    QZ_command(c[26], &w[W_SUSTAIN_KNOB], K0, KNOB_TOP, static_cast<QZ_value*>(&sustain), this);
    QZ_command(c[27], &w[W_SUSTAIN_TEXT], kFont, 11, READOUT, "-30 gr", K0 - 16, RT);
    QZ_command(c[28], &w[W_TONE_CAPTION], kFont, 11, CAPTION, "Tone", K1 - 16, CT);
    QZ_command(c[29], &w[W_TONE_KNOB], K1, KNOB_TOP, static_cast<QZ_value*>(&freq), this);
    QZ_command(c[30], &w[W_TONE_TEXT], kFont, 11, READOUT, "-30 gr", K1 - 16, RT);
    QZ_command(c[31], &w[W_LEVEL_CAPTION], kFont, 11, CAPTION, "Level", K2 - 16, CT);
    QZ_command(c[32], &w[W_LEVEL_KNOB], K2, KNOB_TOP, static_cast<QZ_value*>(&level), this);
    QZ_command(c[33], &w[W_LEVEL_TEXT], kFont, 11, READOUT, "-30 gr", K2 - 16, RT);
}

QZ_error QZ_Application::create() {
    std::lock_guard<std::mutex> lock(building());
    editorWidth = 200;
    editorHeight = 156;
    chainBlock = CHAIN_BLOCK;
    Texts& t = texts;
    QZ_Buffer** b = buffers;
    QZ_Effect** k = blocks;
    int32_t scratch = 0;
    static const char* const names[BUFFERS] = {"buf_i", "buf_t", "buf_a", "buf_ai", "buf_ao"};

    // The results are not checked: a failed command leaves its handle null,
    // which every later use tolerates.
    QZ_command(t.pipe, &chain, chainBlock, &scratch);
    for (int i = 0; i < BUFFERS; ++i)
        QZ_command(t.buffer, &b[i], names[i]);
    QZ_command(t.hipass, &k[HIPASS], b[BUF_I], b[BUF_T]);
    QZ_command(t.inMeter, &k[IN_METER], b[BUF_T], b[BUF_AI]);
    QZ_command(t.detector, &k[DETECTOR], b[BUF_T], b[BUF_A]);
    QZ_command(t.limiter, &k[LIMITER], b[BUF_A], b[BUF_T]);
    QZ_command(t.smoother, &k[SMOOTHER], b[BUF_T], b[BUF_T]);
    QZ_command(t.levelFactor, &k[LEVEL_FACTOR], b[BUF_T], b[BUF_T]);
    QZ_command(t.divider, &k[DIVIDER], b[BUF_T], b[BUF_A], b[BUF_A]);
    QZ_command(t.delay, &k[DELAY], b[BUF_I], b[BUF_T]);
    QZ_command(t.multiplier, &k[MULTIPLIER], b[BUF_T], b[BUF_A], b[BUF_I]);
    QZ_command(t.outMeter, &k[OUT_METER], b[BUF_I], b[BUF_AO]);
    QZ_command(t.copy, &k[COPY], b[BUF_I], b[BUF_I]);
    if (chain) QZ_command(t.end, chain, &scratch);
    createWidgets();

    state.type = Param::SWITCH;
    state.name = "State";
    state.label = on_off;
    state.value = 1;
    sustain.type = Param::REAL;
    sustain.name = "Sustain";
    sustain.label = "dB";
    sustain.widget = widgets[W_SUSTAIN_KNOB];
    sustain.unboundMin = 0.0f;
    sustain.unboundMax = -45.0f;
    sustain.setReal(-6.0f);
    freq.type = Param::REAL;
    freq.name = "Freq";
    freq.label = "Hz";
    freq.widget = widgets[W_TONE_KNOB];
    freq.unboundMin = 50.0f;
    freq.unboundMax = 400.0f;
    freq.setReal(150.0f);
    level.type = Param::REAL;
    level.name = "Level";
    level.label = "dB";
    level.widget = widgets[W_LEVEL_KNOB];
    level.unboundMin = -45.0f;
    level.unboundMax = -3.0f;
    level.setReal(-6.0f);
    for (Param* p : params)
        p->apply(this);

    // One block of silence through every block and the meter step.
    float silence[CHAIN_BLOCK] = {};
    float discard[2][CHAIN_BLOCK];
    float* in[1] = {silence};
    float* out[2] = {discard[0], discard[1]};
    run(in, out, CHAIN_BLOCK);
    // The widgets as the parameters and the silent run left them; no other
    // thread knows this instance yet.
    follow(true);
    return QZ_OK;
}

QZ_error QZ_Application::attach(QZ_Win* w) {
    window = w;
    // Whatever changed while the editor was closed, set while the widgets
    // are still detached: the window's first paint shows it all at once.
    qz::PaintLock lock(w ? &w->paintMutex : nullptr);
    follow(true);
    for (QZ_Object* o : widgets)
        if (o) QZ_command(texts.attach, o, w);
    if (w) w->follow(&QZ_Application::followStep, this);
    return QZ_OK;
}

QZ_error QZ_Application::detach() {
    if (window) window->follow(nullptr, nullptr);
    for (QZ_Object* o : widgets)
        if (o) QZ_command(texts.detach, o);
    return QZ_OK;
}

QZ_error QZ_Application::destroy() {
    // A window still open (a host that closes the plug-in first) lets go of
    // the widgets before they go: its thread may be painting them, and a
    // widget leaves the window only in the last of its destructors. Only a
    // window that still holds a widget is known to be there.
    for (QZ_Object* o : widgets)
        if (QZ_Win* open = o ? static_cast<QZ_Wid*>(o)->win : nullptr) {
            open->follow(nullptr, nullptr);
            detach();
            break;
        }
    std::lock_guard<std::mutex> lock(building());
    // Reverse order of creation: blocks, buffers, the chain, then the widgets.
    QZ_Object* chainObjects[1 + BUFFERS + BLOCKS];
    int n = 0;
    chainObjects[n++] = chain;
    for (QZ_Buffer* b : buffers)
        chainObjects[n++] = b;
    for (QZ_Effect* e : blocks)
        chainObjects[n++] = e;
    for (int i = n - 1; i >= 0; --i) {
        if (chainObjects[i])
            QZ_command(texts.del, chainObjects[i]);
        else
            std::puts("NULL OBJECT");
    }
    for (int i = WIDGETS - 1; i >= 0; --i) {
        if (widgets[i])
            QZ_command(texts.del, widgets[i]);
        else
            std::puts("NULL WIDGET");
    }
    chain = nullptr;
    for (QZ_Buffer*& b : buffers)
        b = nullptr;
    for (QZ_Effect*& e : blocks)
        e = nullptr;
    for (QZ_Object*& w : widgets)
        w = nullptr;
    return QZ_OK;
}

void QZ_Application::run(float** inputs, float** outputs, int32_t frames) {
    QZ_Buffer* bi = buffers[BUF_I];
    if (chain && bi && bi->data) {
        const float* in = inputs ? inputs[0] : nullptr;
        float* out0 = outputs ? outputs[0] : nullptr;
        float* out1 = outputs ? outputs[1] : nullptr;
        int32_t* s = bi->data;
        for (int32_t at = 0; at < frames; at += chainBlock) {
            int32_t n = frames - at < chainBlock ? frames - at : chainBlock;
            if (in) {
                take(in + at, s, n);
            } else {
                std::memset(s, 0, size_t(n) * sizeof *s);
            }
            QZ_Soundpipe::m_bl(chain, QZ_value::integer(n));
            if (!fused || !fusedPass()) chain->process();
            if (out0 && out1) {
                float* y0 = out0 + at;
                float* y1 = out1 + at;
                for (int32_t j = 0; j < n; ++j)
                    y0[j] = y1[j] = float(s[j]) * 9.313226e-10f;
            } else if (float* y = out0 ? out0 : out1) {
                y += at;
                for (int32_t j = 0; j < n; ++j)
                    y[j] = float(s[j]) * 9.313226e-10f;
            }
        }
    }
    meterStep();
}

float QZ_Application::meterLevel(int32_t s) {
    long double a = std::fabs(static_cast<long double>(int64_t(s) + 1));
    long double m = (20.0L * std::log10(a * 0x1p-31L) + 60.0L + 6.0L) * (1.0L / 60.0L);
    float f = float(m);
    return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; // log10(0) gives -inf: 0
}

void QZ_Application::meterStep() {
    if (meterDivider == 0) {
        auto first = [](const QZ_Buffer* b) { return b && b->data ? b->data[0] : 0; };
        // Published only: the editor's thread recolours the lamps and
        // paints (follow).
        meterIn.store(meterLevel(first(buffers[BUF_AI])), std::memory_order_relaxed);
        meterOut.store(meterLevel(first(buffers[BUF_AO])), std::memory_order_relaxed);
        meterSteps.fetch_add(1, std::memory_order_release);
    }
    meterDivider = meterDivider == 0 ? 1 : 0;
}

void QZ_Application::setClock(int32_t hz) {
    clock = hz;
    for (QZ_Effect* e : blocks)
        if (e) QZ_command(texts.clock, e, hz);
}

void QZ_Application::resetChain() {
    if (chain) chain->reset();
}

void* QZ_Application::target(int32_t index) {
    // A bound knob or button hands the handler its own data.
    Param* p = param(index);
    QZ_Object* w = p ? p->widget : nullptr;
    void* dat = nullptr;
    if (w && w->descriptor == QZ_Wid_Knob::cls) dat = static_cast<QZ_Wid_Knob*>(w)->dat;
    if (w && w->descriptor == QZ_Wid_Butt::cls) dat = static_cast<QZ_Wid_Butt*>(w)->dat;
    // Handlers need the application: a widget bound without data gets it too.
    return dat ? dat : this;
}

void QZ_Application::sendLevelFactor() {
    float k = float(gain_of(static_cast<long double>(level.real()) - sustain.real()));
    QZ_command(texts.factor, blocks[LEVEL_FACTOR], double(k));
}

// --- change handlers -------------------------------------------------------
//
// On whichever thread changes the parameter (a host's audio or interface
// thread, the editor's): they set the blocks at once and draw nothing. The
// editor follows on its own thread (follow).

template <class Send> void QZ_Application::settle(Send send) {
    // Sent again while another change came in meanwhile: the blocks then
    // hold what the latest values of every parameter give, whichever thread
    // finished last. Each change that comes later sends after its own count,
    // so a handful of rounds settles any real overlap.
    constexpr int ROUNDS = 16;
    uint32_t seen = changes_.fetch_add(1, std::memory_order_seq_cst) + 1;
    for (int round = 0; round < ROUNDS; ++round) {
        send();
        std::atomic_thread_fence(std::memory_order_seq_cst);
        const uint32_t now = changes_.load(std::memory_order_seq_cst);
        if (now == seen) return;
        seen = now;
    }
}

void QZ_Application::State::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    app->settle([app, this] {
        const int32_t v = whole();
        // Every block but the copy, which applies the chain's cross-fade; all
        // in one pass, or a pass on the audio thread could run half of the
        // chain switched (a full-scale burst).
        if (app->chain) app->chain->begin_switching();
        for (int i = HIPASS; i <= MULTIPLIER; ++i)
            if (app->blocks[i]) QZ_command(app->texts.on, app->blocks[i], v);
        if (app->chain) app->chain->end_switching();
    });
}

void QZ_Application::Sustain::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    app->settle([app, this] {
        long double d = 0.5L * gain_of(real());
        QZ_command(app->texts.dist, app->blocks[LIMITER], double(d));
        app->sendLevelFactor();
    });
}

void QZ_Application::Freq::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    app->settle(
        [app, this] { QZ_command(app->texts.corner, app->blocks[HIPASS], double(real())); });
}

void QZ_Application::Level::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    app->settle([app] { app->sendLevelFactor(); });
}

// --- the editor's side ------------------------------------------------------

void QZ_Application::followStep(void* app) {
    static_cast<QZ_Application*>(app)->follow(false);
}

void QZ_Application::follow(bool all) {
    for (int32_t i = 0; i < PARAMS; ++i) {
        const uint32_t now = uint32_t(params[i]->load());
        if (!all && now == shown_[i]) continue;
        shown_[i] = now;
        show(i);
    }
    const uint32_t steps = meterSteps.load(std::memory_order_acquire);
    if (all || steps != meterShown_) {
        meterShown_ = steps;
        showMeter();
    }
}

void QZ_Application::show(int32_t index) {
    if (index == 0) {
        const int32_t v = state.whole();
        QZ_command(texts.button, widgets[W_BUTTON], v);
        for (int i = W_SUSTAIN_CAPTION; i <= W_METER; ++i)
            if (widgets[i]) QZ_command(texts.enabled, widgets[i], v);
        return;
    }
    // A knob, set to the parameter's value, and the read-out under it,
    // rendered anew (its text changes in place).
    struct Knob {
        int32_t knob, readout;
        char* text;
        const char* unit;
    };
    const Knob knobs[] = {{W_SUSTAIN_KNOB, W_SUSTAIN_TEXT, texts.sustainText, "dB"},
                          {W_TONE_KNOB, W_TONE_TEXT, texts.toneText, "Hz"},
                          {W_LEVEL_KNOB, W_LEVEL_TEXT, texts.levelText, "dB"}};
    const Knob& k = knobs[index - 1];
    const float v = params[index]->real();
    QZ_command(texts.knob, widgets[k.knob], double(v));
    readout(k.text, v, k.unit);
    QZ_command(texts.text, widgets[k.readout], k.text);
    refresh(widgets[k.readout]);
}

void QZ_Application::showMeter() {
    auto* meter = static_cast<QZ_Wid_Pal*>(widgets[W_METER]);
    if (!meter) return;
    // The handler and methods called directly: no command per audio block.
    QZ_Wid_Pal::m_ln(meter, QZ_value::handle(&meterLines[0]));
    meter->level(meterIn.load(std::memory_order_relaxed), true);
    QZ_Wid_Pal::m_ln(meter, QZ_value::handle(&meterLines[1]));
    meter->level(meterOut.load(std::memory_order_relaxed), true);
    meter->redraw(); // one repaint for both lines
}
