#pragma once
#include "QZ_Effect.h"

#include <array>

// Multi-tap delay line with feedback. The input goes into a circular memory;
// each group sums its taps, writes the sum scaled by its output gain and feeds
// it back through its feedback gain. Groups and taps are built by options and
// compiled into a flat table before every block.
class QZ_Effect_Deline : public QZ_Effect {
public:
    // One delay: amplitude and delay time. Owned by its group.
    struct Tap {
        Tap* next = nullptr;
        int32_t da = 0;         // amplitude, 31 fraction bits
        float dt = 0.0f;        // delay time
        bool inSamples = false; // dt last given as an integer
    };

    // One output: its taps, gains and buffer. Owned by the block.
    struct Group {
        Group* next = nullptr;
        int32_t gf = 0;        // feedback gain, 23 fraction bits
        int32_t ga = 0x7FFFFF; // output gain, 23 fraction bits
        QZ_Buffer* go = nullptr;
        Tap* taps = nullptr;
        Tap* lastTap = nullptr;
        Tap* tap = nullptr; // the current tap
        int32_t count = 0;  // taps in the list
    };

    static constexpr int32_t MEMORY = 65536;   // samples; indexed by 16 bits
    static constexpr int32_t CAPACITY = 16384; // table entries
    static constexpr int32_t GROUPS = CAPACITY / 4;
    static constexpr int32_t MAX_DELAY = 65534; // D + 1 must fit the 16-bit index
    static constexpr int32_t CHUNK = 256;       // samples walked per table pass

    QZ_Buffer* i = nullptr;
    Group* groups = nullptr;
    Group* lastGroup = nullptr;
    Group* group = nullptr;    // the current group
    int32_t* memory = nullptr; // MEMORY samples
    uint16_t position = 0;     // write position P
    int32_t* table = nullptr;  // CAPACITY entries
    int32_t used = 0;          // entries the groups and taps need: 4 each, 2 per tap
    // Output buffers by group, as the table's output entries number them, and
    // their sample arrays for the pass: a pointer does not fit an entry on 64 bits.
    QZ_Buffer** outBuffers = nullptr;
    int32_t** outSamples = nullptr;
    int32_t built = 0;        // entries in the table as last built
    int32_t slots = 0;        // groups in it
    bool feedback = false;    // some group feeds back
    int32_t shortest = CHUNK; // smallest D + 1 in the table, at most CHUNK

    QZ_Effect_Deline();
    ~QZ_Effect_Deline() override;

    void process() override;
    void prepare() override;
    void clockChanged() override { prepared = false; }
    void reset() override;

    // D of a tap at this clock, within 0 ... MAX_DELAY.
    static int32_t delay(const Tap& t, int32_t fs);

    // One block over the table: answers the write position.
    using Kernel = uint16_t (*)(const int32_t* in, int32_t n, const int32_t* table, int32_t used,
                                int32_t* const* outs, int32_t* memory, uint16_t p, int32_t step,
                                bool direct);
    static const std::array<Kernel, qz::MODE_COUNT> kernels;
    static const std::array<Kernel, qz::MODE_COUNT> kernels_avx2;
    // The kernels for the processor: the wider ones where it has them.
    static const std::array<Kernel, qz::MODE_COUNT>& walks();

    // The line as another loop runs it in stretches, every group writing one
    // buffer at the samples the stretch reads: its table, built for the
    // block, and its write position.
    struct Pass {
        QZ_Effect_Deline* line;
        Kernel kernel;
        uint16_t position;
        bool direct;
        // Whether every sample of out is the line's alone: "set", and some
        // group writes it.
        bool overwrites;
        // Builds the table, as the line's own pass does before every block.
        // False where it reads another buffer than `in`, a group writes
        // another than `out`, or no table could be built.
        bool load(QZ_Effect_Deline& e, const QZ_Buffer* in, const QZ_Buffer* out);
        // n samples of in; the groups write out's n samples.
        void run(const int32_t* in, int32_t* out, int32_t n);
        // The position kept, and what the line's own pass leaves: the
        // groups' samples at out's start (the buffer's), the table to be built
        // again before the next block.
        void store(int32_t* out) const;
    };

    static QZ_value m_i(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_g(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_go(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_ga(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_gf(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_gc(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_d(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_dt(QZ_Effect_Deline* e, QZ_value v);
    static QZ_value m_da(QZ_Effect_Deline* e, QZ_value v);
    static const QZ_Entry cls[];

private:
    void freeTaps(Group* g);
};
