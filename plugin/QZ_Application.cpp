#include "QZ_Application.h"

#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Math.h"
#include "QZ_Soundpipe.h"
#include "QZ_Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Creating and deleting blocks goes through the process-wide current
// soundpipe; instances made on different threads take turns.
std::mutex& building() {
    static std::mutex m;
    return m;
}

const long double kLn10 = 2.302585092994045684017991454684364208L;

// 10^(db / 20), as exp(ln 10 * 0.05 * db) in extended precision.
long double gain_of(long double db) { return std::exp(kLn10 * 0.05L * db); }

// A read-out text: the value without decimals and its unit.
void readout(char* text, float v, const char* unit) {
    size_t n = qz::fixed(text, 64, double(v), 0);
    qz::copy_cut(text + n, unit, 63 - n);
}

// Two 10-byte slots: the on state's name, then the off state's.
const char on_off[20] = {'O', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 'O', 'f', 'f', 0, 0, 0, 0, 0, 0, 0};

} // namespace

QZ_Application::QZ_Application() : params{&state, &sustain, &freq, &level} {}

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
    for (int i = 0; i < BUFFERS; ++i) QZ_command(t.buffer, &b[i], names[i]);
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
    for (Param* p : params) p->apply(this);

    // One block of silence through every block and the meter step.
    float silence[CHAIN_BLOCK] = {};
    float discard[2][CHAIN_BLOCK];
    float* in[1] = {silence};
    float* out[2] = {discard[0], discard[1]};
    run(in, out, CHAIN_BLOCK);
    return QZ_OK;
}

QZ_error QZ_Application::attach(QZ_Win* w) {
    window = w;
    return QZ_OK;
}

QZ_error QZ_Application::detach() { return QZ_OK; }

QZ_error QZ_Application::destroy() {
    std::lock_guard<std::mutex> lock(building());
    // Reverse order of creation: blocks, buffers, the chain, then the widgets.
    QZ_Object* chainObjects[1 + BUFFERS + BLOCKS];
    int n = 0;
    chainObjects[n++] = chain;
    for (QZ_Buffer* b : buffers) chainObjects[n++] = b;
    for (QZ_Effect* e : blocks) chainObjects[n++] = e;
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
    for (QZ_Buffer*& b : buffers) b = nullptr;
    for (QZ_Effect*& e : blocks) e = nullptr;
    for (QZ_Object*& w : widgets) w = nullptr;
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
            // Clipped to [-1, 1] (a NaN to -1) and scaled by 2^30, which is
            // exact in single precision; the loops are written to vectorise.
            if (in) {
                const float* x = in + at;
                for (int32_t j = 0; j < n; ++j) {
                    float v = x[j] > 1.0f ? 1.0f : x[j];
                    v = v >= -1.0f ? v : -1.0f;
                    s[j] = int32_t(v * 1073741824.0f);
                }
            } else {
                std::memset(s, 0, size_t(n) * sizeof *s);
            }
            QZ_Soundpipe::m_bl(chain, QZ_value::integer(n));
            chain->process();
            if (out0 && out1) {
                float* y0 = out0 + at;
                float* y1 = out1 + at;
                for (int32_t j = 0; j < n; ++j) y0[j] = y1[j] = float(s[j]) * 9.313226e-10f;
            } else if (float* y = out0 ? out0 : out1) {
                y += at;
                for (int32_t j = 0; j < n; ++j) y[j] = float(s[j]) * 9.313226e-10f;
            }
        }
    }
    meterStep();
}

void QZ_Application::meterStep() {
    if (meterDivider == 0) {
        auto level_of = [](const QZ_Buffer* b) {
            if (!b || !b->data) return 0.0f;
            long double s = std::fabs(static_cast<long double>(int64_t(b->data[0]) + 1));
            long double m = (20.0L * std::log10(s * 0x1p-31L) + 60.0L + 6.0L) * (1.0L / 60.0L);
            float f = float(m);
            return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; // log10(0) gives -inf: 0
        };
        meterIn = level_of(buffers[BUF_AI]);
        meterOut = level_of(buffers[BUF_AO]);
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
    // Knobs and the button hand their own data to the handler once bound.
    (void)index;
    return this;
}

void QZ_Application::sendLevelFactor() {
    float k = float(gain_of(static_cast<long double>(level.real()) - sustain.real()));
    QZ_command(texts.factor, blocks[LEVEL_FACTOR], double(k));
}

// --- change handlers -------------------------------------------------------

void QZ_Application::State::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    int32_t v = asInt();
    QZ_command(app->texts.button, app->widgets[W_BUTTON], v);
    for (int i = W_SUSTAIN_CAPTION; i <= W_METER; ++i)
        if (app->widgets[i]) QZ_command(app->texts.enabled, app->widgets[i], v);
    // Every block but the copy, which applies the chain's cross-fade.
    for (int i = HIPASS; i <= MULTIPLIER; ++i)
        if (app->blocks[i]) QZ_command(app->texts.on, app->blocks[i], v);
}

void QZ_Application::Sustain::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    float s = real();
    QZ_command(app->texts.knob, app->widgets[W_SUSTAIN_KNOB], double(s));
    readout(app->texts.sustainText, s, "dB");
    QZ_command(app->texts.text, app->widgets[W_SUSTAIN_TEXT], app->texts.sustainText);
    long double d = 0.5L * gain_of(s);
    QZ_command(app->texts.dist, app->blocks[LIMITER], double(d));
    app->sendLevelFactor();
}

void QZ_Application::Freq::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    float f = real();
    QZ_command(app->texts.knob, app->widgets[W_TONE_KNOB], double(f));
    readout(app->texts.toneText, f, "Hz");
    QZ_command(app->texts.text, app->widgets[W_TONE_TEXT], app->texts.toneText);
    QZ_command(app->texts.corner, app->blocks[HIPASS], double(f));
}

void QZ_Application::Level::changed(void* data) {
    auto* app = static_cast<QZ_Application*>(data);
    float l = real();
    QZ_command(app->texts.knob, app->widgets[W_LEVEL_KNOB], double(l));
    readout(app->texts.levelText, l, "dB");
    QZ_command(app->texts.text, app->widgets[W_LEVEL_TEXT], app->texts.levelText);
    app->sendLevelFactor();
}
