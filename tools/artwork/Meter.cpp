#include "Meter.h"
#include "Draw.h"

namespace qz::art {

// Lamp s of both lines is the column x = 2s + 1 (columns 1, 3, ..., 59); the
// upper line fills rows 1 to 4, the lower rows 6 to 9. The even columns and
// rows 0, 5 and 10 stay transparent, so the glass shows between the lamps.
// Each lamp pixel carries the lamp number in its red byte and the line in its
// blue byte: the meter widget finds its lamps by these bytes alone.
Image draw_meter_template() {
    Image img{"I61X11", kMeterWidth, kMeterHeight,
              1,        false,       std::vector<uint32_t>(size_t(kMeterWidth) * kMeterHeight, 0)};
    for (int line = 0; line < 2; ++line)
        for (int s = 0; s < kMeterLamps; ++s)
            for (int y = 1 + 5 * line; y < 5 + 5 * line; ++y)
                img.at(2 * s + 1, y) = 0xFF000000u | uint32_t(s) << 16 | uint32_t(line);
    return img;
}

// The editor's lamp colours: dark, lit, and red for the top tenth.
Image light_meter(const Image& tmpl, const double level[2]) {
    Image out = tmpl;
    for (uint32_t& px : out.pixels) {
        if ((px >> 24) == 0) continue;
        const int s = px >> 16 & 0xFF, line = px & 1;
        const double e = kMeterLamps * level[line];
        const uint32_t lit = double(s) / (kMeterLamps - 1) >= 0.9 ? 0xFFFF0000u : 0xFFC0E0FFu;
        px = s < int(e) ? lit : 0xFF000000u;
    }
    return out;
}

} // namespace qz::art
