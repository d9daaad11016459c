#pragma once
#include "QZ_Chain.h"
#include "QZ_Export.h"
#include "QZ_Object.h"

#include <atomic>
#include <cstdint>

class QZ_Effect;

// The processing chain: effects run in chain order over the buffers they share.
class QZ_Soundpipe : public QZ_Object {
public:
    int32_t bl = 0; // samples in the next pass
    QZ_Chain effects;
    QZ_Effect* before = nullptr; // insertion point for new effects; null appends
    QZ_Chain buffers;

    // Buffers and effects created while a soundpipe is current join it.
    static QZ_Soundpipe* current;

    QZ_Soundpipe() = default;
    ~QZ_Soundpipe() override;

    // One pass: every effect once, in chain order, through the on/off state machine.
    QZ_EXPORT int process();
    // Clears every buffer and resets every effect.
    void reset();

    // Around switching several effects on or off from another thread than
    // the passes': a pass then switches all of them or, while the switching
    // is under way, none, never some in one pass and the rest in the next.
    // Neither side waits.
    void begin_switching();
    void end_switching();
    // What a pass of effects that were all steady leaves, for a loop that
    // stood in for it: no buffer fading, every effect on for the pass.
    void ran_steady();

    static QZ_Object* create();
    static QZ_value m_bl(QZ_Soundpipe* s, QZ_value v);
    static QZ_value m_be(QZ_Soundpipe* s, QZ_value v);
    static QZ_value m_b(QZ_Soundpipe* s, QZ_value v);
    static QZ_value m_e(QZ_Soundpipe* s, QZ_value v);
    static const QZ_Entry cls[];

private:
    std::atomic<uint32_t> switchers_{0}; // begun and not yet ended
    std::atomic<uint32_t> switches_{0};  // ended so far
    // What ran_steady leaves is there: no pass ran since.
    bool steady_ = false;
};
