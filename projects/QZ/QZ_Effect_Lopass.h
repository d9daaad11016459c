#pragma once
#include "QZ_Effect_Hipass.h"

// One-pole low-pass filter; writes its memory through the block's mode.
class QZ_Effect_Lopass : public QZ_Effect_Onepole {
public:
    void process() override;

    using Kernel = int32_t (*)(const int32_t* in, int32_t* out, int32_t n, uint32_t k, int32_t y);
    static const std::array<Kernel, qz::MODE_COUNT> kernels;

    static const QZ_Entry cls[];
};
