#pragma once
#include "QZ_Effect_Shift.h"

// The plain two-head pitch shifter: the two crossfaded history reads only.
class QZ_Effect_Nshift : public QZ_Effect_Shifter {
public:
    void process() override;

    // Answers the phase reached.
    static int32_t kernel(const int32_t* in, int32_t* out, int32_t n, int32_t step, uint32_t pd,
                          int32_t phi, uint32_t* w, int32_t* history);

    static const QZ_Entry cls[];
};
