#include "QZ_Application.h"

#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Interpret.h"
#include "QZ_Math.h"
#include "QZ_Soundpipe.h"
#include "QZ_Text.h"
#include "Wid_Control.h"
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

} // namespace

QZ_Application::QZ_Application() : params{&state, &sustain, &freq, &level} {
    copyWidgetCommands();
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
    sustain.widget = control(W_SUSTAIN_KNOB);
    sustain.unboundMin = 0.0f;
    sustain.unboundMax = -45.0f;
    sustain.setReal(-6.0f);
    freq.type = Param::REAL;
    freq.name = "Freq";
    freq.label = "Hz";
    freq.widget = control(W_TONE_KNOB);
    freq.unboundMin = 50.0f;
    freq.unboundMax = 400.0f;
    freq.setReal(150.0f);
    level.type = Param::REAL;
    level.name = "Level";
    level.label = "dB";
    level.widget = control(W_LEVEL_KNOB);
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

void QZ_Application::setClock(int32_t hz) {
    clock = hz;
    for (QZ_Effect* e : blocks)
        if (e) QZ_command(texts.clock, e, hz);
}

int32_t QZ_Application::delaySamples() const {
    const auto* line = static_cast<const QZ_Effect_Deline*>(blocks[DELAY]);
    if (!line || !line->groups || !line->groups->taps) return 0;
    return QZ_Effect_Deline::delay(*line->groups->taps, line->clock) + 1;
}

void QZ_Application::resetChain() {
    if (chain) chain->reset();
}

void* QZ_Application::target(int32_t index) {
    // A bound knob or button hands the handler its own data; one bound
    // without data, or none, the application, which handlers need.
    Param* p = param(index);
    void* dat = p && p->widget ? p->widget->dat : nullptr;
    return dat ? dat : this;
}

void QZ_Application::setNormalised(int32_t index, float x) {
    Param* p = param(index);
    // A value that is not a number would land as nonsense in every block.
    if (!p || !std::isfinite(x)) return;
    // Hosts send 0 … 1; beyond, a knob's range would run on past its ends
    // (Level at 2 is +39 dB).
    x = x < 0.0f ? 0.0f : x > 1.0f ? 1.0f : x;
    // The blocks are set at once and the editor follows on its own thread.
    p->setNormalised(x);
    p->apply(target(index));
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

template <class Send> void QZ_Application::changing(void* data, Send send) {
    auto* app = static_cast<QZ_Application*>(data);
    app->settle([app, &send] { send(app); });
}

void QZ_Application::State::changed(void* data) {
    changing(data, [this](QZ_Application* app) {
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
    changing(data, [this](QZ_Application* app) {
        long double d = 0.5L * gain_of(real());
        QZ_command(app->texts.dist, app->blocks[LIMITER], double(d));
        app->sendLevelFactor();
    });
}

void QZ_Application::Freq::changed(void* data) {
    changing(data, [this](QZ_Application* app) {
        QZ_command(app->texts.corner, app->blocks[HIPASS], double(real()));
    });
}

void QZ_Application::Level::changed(void* data) {
    changing(data, [](QZ_Application* app) { app->sendLevelFactor(); });
}
