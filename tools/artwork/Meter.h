#pragma once
#include "Image.h"

namespace qz::art {

constexpr int kMeterWidth = 61, kMeterHeight = 11, kMeterLamps = 30;

// The meter template with its two lines lit to these levels (0 to 1), in
// the colours the editor gives them: how the meter looks in use.
Image light_meter(const Image& meter_template, const double level[2]);

} // namespace qz::art
