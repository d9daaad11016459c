#pragma once
#include "QZ_Buffer.h"
#include "QZ_Chain.h"
#include "QZ_Modes.h"
#include "QZ_Object.h"
#include "QZ_Shared.h"

#include <cstdint>

class QZ_Soundpipe;

// The base of every processing block: its place in a chain, its clock, its
// write mode and its on/off switch with a one-block cross-fade.
class QZ_Effect : public QZ_Object {
public:
    QZ_Chain_Item item;
    qz::Shared<bool> prepared{false}; // false: the next pass prepares first
    qz::Shared<int32_t> mode{0};      // index into the write modes
    qz::Shared<int32_t> clock{0};     // sample rate in hertz
    bool wasOn = true;                // the switch as of the end of the last pass
    bool passOn = true;               // the switch as the current pass reads it
    qz::Shared<bool> on{true};
    QZ_Soundpipe* soundpipe = nullptr;

    QZ_Effect();
    ~QZ_Effect() override;

    // Takes the block out of its soundpipe's chain: no pass runs it any more.
    void leave();

    virtual void process() {}
    virtual void prepare() { prepared = true; }
    // On through the last pass and for the next: no switch, no cross-fade.
    bool steady() const { return wasOn && on; }
    virtual void clockChanged() {}
    virtual void reset() {}

    // The sample array a block reads or writes in this pass: the buffer's own
    // contents, or its snapshot while the block switches on or off, blending in
    // the previous switching block's result first. Null for a null buffer.
    int32_t* samples(QZ_Buffer* b);

    // Samples a pass may process: the input's length query, clamped to what
    // every given buffer holds. 0 when any of them is missing.
    template <class... B> static int32_t span(QZ_Buffer* in, B*... outs) {
        if (!in) return 0;
        int32_t n = in->usable();
        ((n = outs ? (outs->usable() < n ? outs->usable() : n) : 0), ...);
        return n;
    }

    static QZ_value m_before(QZ_Effect* e, QZ_value v);
    static QZ_value m_mode(QZ_Effect* e, QZ_value v);
    static QZ_value m_clock(QZ_Effect* e, QZ_value v);
    static QZ_value m_on(QZ_Effect* e, QZ_value v);
    static const QZ_Entry cls[];

    // Set by the pass for each effect it runs: 0 steady, +1 switching on, -1 off.
    int8_t transition = 0;
};
