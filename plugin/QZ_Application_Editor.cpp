// The sustainer's editor: its widgets, made once by command with the
// plug-in and attached to a window while a host shows it, and the editor's
// side of every change, which the window's own thread runs (follow): the
// knobs, the button, the read-outs and the meter brought up to date with
// what the parameters and the audio published.
#include "QZ_Application.h"

#include "QZ_Buffer.h"
#include "QZ_Interpret.h"
#include "QZ_Text.h"
#include "Wid_Control.h"
#include "Wid_Pal.h"
#include "Win.h"

#include <cmath>

namespace {

// A read-out text: the value without decimals and its unit.
void readout(char* text, float v, const char* unit) {
    size_t n = qz::fixed(text, 64, double(v), 0);
    qz::copy_cut(text + n, unit, 63 - n);
}

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

void QZ_Application::copyWidgetCommands() {
    for (int i = 0; i < WIDGET_COMMANDS; ++i)
        qz::copy_cut(texts.widget[i], widget_commands[i], sizeof texts.widget[i] - 1);
}

QZ_Wid_Control* QZ_Application::control(Widget field) const {
    // The button and the knobs, as create made them.
    return static_cast<QZ_Wid_Control*>(widgets[field]);
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

float QZ_Application::meterLevel(int32_t s) {
    // In double first, on the audio thread every second call: its level lies
    // within 1e-12 of the long double one (log10 of a value below 10 to a few
    // units in its last place), so where all within 1e-9 of it rounds to one
    // float, that float is the long double one's too.
    const double d = std::fabs(double(int64_t(s) + 1));
    const double md = (20.0 * std::log10(d * 0x1p-31) + 60.0 + 6.0) * (1.0 / 60.0);
    float f = float(md);
    if (float(md - 1e-9) != f || float(md + 1e-9) != f) {
        long double a = std::fabs(static_cast<long double>(int64_t(s) + 1));
        long double m = (20.0L * std::log10(a * 0x1p-31L) + 60.0L + 6.0L) * (1.0L / 60.0L);
        f = float(m);
    }
    return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; // log10(0) gives -inf: 0
}

void QZ_Application::meterStep() {
    if (meterDivider == 0) {
        auto first = [](const QZ_Buffer* b) { return b && b->data ? b->data[0] : 0; };
        // Published only: the editor's thread computes the levels,
        // recolours the lamps and paints (follow).
        envelopeIn.store(first(buffers[BUF_AI]), std::memory_order_relaxed);
        envelopeOut.store(first(buffers[BUF_AO]), std::memory_order_relaxed);
        // The audio thread alone counts: a plain store, where an atomic
        // increment would wait for the block's output to be written.
        meterSteps.store(meterSteps.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }
    meterDivider = meterDivider == 0 ? 1 : 0;
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
        if (!levelsGiven) {
            meterIn.store(meterLevel(envelopeIn.load(std::memory_order_relaxed)),
                          std::memory_order_relaxed);
            meterOut.store(meterLevel(envelopeOut.load(std::memory_order_relaxed)),
                           std::memory_order_relaxed);
        }
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
