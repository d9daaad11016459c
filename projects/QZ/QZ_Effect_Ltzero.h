#pragma once
#include "QZ_Effect_Gtzero.h"

// Clips from above at the level: out = in where in < l, else l. Level 0 gives
// the negative half-wave. Always stores its result.
class QZ_Effect_Ltzero : public QZ_Effect_Halfwave {
public:
    void process() override;
    static void kernel(const int32_t* in, int32_t* out, int32_t n, int32_t l);
    static const QZ_Entry cls[];
};
