#pragma once
#include "QZ_Apptpl.h"
#include "QZ_Value.h"
#include "Wid_Pal.h"

#include <atomic>
#include <cstdint>

class QZ_Buffer;
class QZ_Effect;
class QZ_Wid_Control;
class QZ_Soundpipe;
class QZ_Object;

// The sustainer: its processing chain, its four parameters and what each of
// them changes.
class QZ_Application : public QZ_Apptpl {
public:
    // A host parameter: a typed value (the type field is its kind) with a
    // name, a unit label and the widget bound to it.
    class Param : public QZ_value {
    public:
        enum Kind : int32_t { INTEGER = 2, REAL = 3, SWITCH = 6 };

        const char* name = "";
        const char* label = "Yes";        // a switch's label: two 10-byte slots, on then off
        QZ_Wid_Control* widget = nullptr; // the knob or button bound to it
        int32_t minimum = 0;
        int32_t maximum = 0;
        // The range a real parameter takes from its knob while none is bound.
        float unboundMin = 0.0f;
        float unboundMax = 1.0f;

        Param() : QZ_value(0, QZ_value::NONE, -1) {}
        virtual ~Param() = default;

        void apply(void* data) override { changed(data); }
        virtual void nameText(char* text);
        virtual void valueText(char* text);
        virtual void labelText(char* text);
        virtual void changed(void*) {}

        // The value word as any thread reads it: hosts set and read
        // parameters on their threads while the editor turns knobs on its own.
        float real() const { return QZ_value(load(), FLOAT).asFloat(); }
        int32_t whole() const { return QZ_value(load(), INT).asInt(); }
        void setReal(float v) { store(QZ_value::real(v).value); }
        // The bound knob's range (from minimum to maximum) for a real parameter.
        void range(float& mn, float& mx) const;
        // Normalised host value in and out.
        void setNormalised(float x);
        float normalised() const;
        // The host texts: at most 7 characters and a zero in an 8-byte buffer.
        void hostName(char* text) const;
        void hostLabel(char* text) const;
        void hostDisplay(char* text) const;
    };

    enum : int32_t { PARAMS = 4, BLOCKS = 11, BUFFERS = 5, WIDGETS = 32, CHAIN_BLOCK = 512 };
    enum Buffer : int32_t { BUF_I, BUF_T, BUF_A, BUF_AI, BUF_AO };
    enum Block : int32_t {
        HIPASS,
        IN_METER,
        DETECTOR,
        LIMITER,
        LEVEL_FACTOR,
        DIVIDER,
        SMOOTHER,
        DELAY,
        OUT_METER,
        MULTIPLIER,
        COPY
    };
    enum Widget : int32_t {
        W_BACKGROUND = 0,
        W_TITLE = 9,
        W_BUTTON = 19,
        W_BUTTON_CAPTION = 20,
        W_SUSTAIN_CAPTION = 21,
        W_SUSTAIN_KNOB = 22,
        W_SUSTAIN_TEXT = 23,
        W_TONE_CAPTION = 24,
        W_TONE_KNOB = 25,
        W_TONE_TEXT = 26,
        W_LEVEL_CAPTION = 27,
        W_LEVEL_KNOB = 28,
        W_LEVEL_TEXT = 29,
        W_METER_CAPTION = 30,
        W_METER = 31
    };
    enum : int32_t { WIDGET_COMMANDS = 34 };

    QZ_Application();
    ~QZ_Application() = default;

    // The library's load and unload hooks; the sustainer keeps no global state.
    static QZ_error start() { return QZ_OK; }
    static QZ_error end() { return QZ_OK; }

    QZ_error create() override;
    QZ_error attach(QZ_Win* window) override;
    QZ_error detach() override;
    QZ_error destroy() override;

    // Runs host audio through the chain: one input, two identical outputs.
    void run(float** inputs, float** outputs, int32_t frames);
    // One pass of the chain as one loop, when the chain is in the state it
    // covers (every block on and steady, the clock set, the graph as create
    // built it); false, having run nothing, otherwise.
    bool fusedPass();
    // The editor's side of every change: brings the knobs, the button, the
    // read-outs and the meter up to date with the parameters and the levels
    // the audio published; `all` sends every widget its state whether or not
    // it changed. Only the editor's threads call it (with the paint mutex, or
    // before any window exists), through attach and the window's refresh.
    void follow(bool all);
    // A meter's level, 0 to 1, for the first sample of its envelope: its dB
    // relative to 2^31, plus 66, over 60.
    static float meterLevel(int32_t s);
    // Stores the clock and sends it to every block.
    void setClock(int32_t hz);
    // How late the chain's output is, in samples at the current clock: the
    // delay line's tap reads what was written D + 1 samples before.
    int32_t delaySamples() const;
    // Clears the chain's buffers and resets its blocks.
    void resetChain();
    // What a parameter's change handler receives: the bound widget's data, or
    // the application itself.
    void* target(int32_t index);
    Param* param(int32_t index) { return index >= 0 && index < PARAMS ? params[index] : nullptr; }
    // A host's normalised value for a parameter, as VST hosts send it: held
    // to 0 … 1 (nothing when not a number), then set and applied at once,
    // with no lock, on the calling thread.
    void setNormalised(int32_t index, float x);

    int32_t editorWidth = 0;
    int32_t editorHeight = 0;
    int32_t meterDivider = 0;
    int32_t chainBlock = 0;
    int32_t clock = 0;
    QZ_Soundpipe* chain = nullptr;
    QZ_Buffer* buffers[BUFFERS] = {};
    QZ_Effect* blocks[BLOCKS] = {};
    QZ_Object* widgets[WIDGETS] = {};
    QZ_Win* window = nullptr;
    // The meter's two lines: input first.
    QZ_Wid_Pal_Line meterLines[2];
    // The title line of the editor; the plug-in sets it before create.
    const char* title = "";
    // The meters' envelopes as the meter step took them, and how many steps
    // published them (the editor follows). Their levels (meterLevel) are
    // computed where they are shown, not on the audio thread.
    std::atomic<int32_t> envelopeIn{0}, envelopeOut{0};
    std::atomic<uint32_t> meterSteps{0};
    // The levels the meter shows, 0 to 1: the editor's thread computes them
    // from the envelopes at each new step, unless levelsGiven, where whoever
    // sets them (the LV2 UI, from its ports) bumps meterSteps.
    std::atomic<float> meterIn{0.0f}, meterOut{0.0f};
    bool levelsGiven = false;
    // Whether a pass may take the fused loop; tests and benchmarks clear it
    // to run the chain block by block, the reference. Passes it ran.
    bool fused = true;
    uint64_t fusedPasses = 0;

    class State : public Param {
    public:
        void changed(void* data) override;
    } state;
    class Sustain : public Param {
    public:
        void changed(void* data) override;
    } sustain;
    class Freq : public Param {
    public:
        void changed(void* data) override;
    } freq;
    class Level : public Param {
    public:
        void changed(void* data) override;
    } level;

    // Command texts and read-out texts of this instance: objects keep a
    // reference to the text that made them, and the interpreter writes into a
    // text while it runs, so no two instances share one.
    struct Texts {
        char pipe[32] = "QZ_Soundpipe -bl %i -b";
        char buffer[32] = "QZ_Buffer -t %o";
        char hipass[48] = "QZ_Effect_Hipass -i %o -o %o -f 200";
        char inMeter[56] = "QZ_Effect_Ampdet -i %o -o %o -f1 5000 -f2 .5";
        char detector[56] = "QZ_Effect_Ampdet -i %o -o %o -f1 200 -f2 1";
        char limiter[48] = "QZ_Effect_Dist -k 0 -s .01 -i %o -o %o";
        char smoother[48] = "QZ_Effect_Ampdet -i %o -o %o -f1 10 -f2 0";
        char levelFactor[48] = "QZ_Effect_Koef -i %o -o %o -oper mul";
        char divider[56] = "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper div";
        char delay[64] = "QZ_Effect_Deline -i %o -g % -go %o -d % -da 1 -dt .01";
        char multiplier[56] = "QZ_Effect_Oper -i1 %o -i2 %o -o %o -oper mul";
        char outMeter[56] = "QZ_Effect_Ampdet -i %o -o %o -f1 5000 -f2 .5";
        char copy[32] = "QZ_Effect_Copy -i %o -o %o";
        char end[24] = "QZ_Soundpipe %o -e";
        char clock[24] = "QZ_Effect %o -clock %i";
        char on[24] = "QZ_Effect %o -on %i";
        char button[32] = "QZ_Wid_Butt %o -val %i";
        char enabled[32] = "QZ_Wid %o -enabled %i";
        char knob[32] = "QZ_Wid_Knob %o -val %f";
        char text[32] = "QZ_Wid_Text %o -text %s";
        char dist[32] = "QZ_Effect_Dist %o -d %f";
        char factor[32] = "QZ_Effect_Koef %o -k %f";
        char corner[16] = "%o -f %f";
        char del[16] = "%o -delete";
        char attach[24] = "QZ_Wid %o -win %o";
        char detach[24] = "QZ_Wid %o -win 0";
        // The editor's widgets, in the order they are made.
        char widget[WIDGET_COMMANDS][112] = {};
        char sustainText[64] = "";
        char toneText[64] = "";
        char levelText[64] = "";
    } texts;

private:
    Param* params[PARAMS];
    // Changes made so far, on any thread: a change that overlapped another
    // sends its block settings again (settle).
    std::atomic<uint32_t> changes_{0};
    // What the editor's widgets show: each parameter's value word and the
    // meter step, as follow last sent them.
    uint32_t shown_[PARAMS] = {};
    uint32_t meterShown_ = 0;

    void meterStep();
    void createWidgets();
    void copyWidgetCommands();
    QZ_Wid_Control* control(Widget field) const;
    void sendLevelFactor();
    template <class Send> void settle(Send send);
    // A change handler's blocks: sent with the application (the data every
    // handler gets), settled against changes on other threads.
    template <class Send> static void changing(void* data, Send send);
    void show(int32_t index);
    void showMeter();
    static void followStep(void* app);
};
