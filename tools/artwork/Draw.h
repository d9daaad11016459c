#pragma once
// The editor's images, drawn. Sizes and names are fixed by the editor layout:
// 200 x 156 panel, 10-pixel outer frame, a 180 x 120 glass panel at (10, 26).
#include "Image.h"

#include <vector>

namespace qz::art {

Image draw_background();               // BGND: 63 x 63, tiles seamlessly
std::vector<Image> draw_outer_frame(); // ALT ... ARB: 10 x 10 each, no centre
std::vector<Image> draw_glass_panel(); // GLT ... GRB: 10 x 10, GMM 128 x 128
Image draw_button();                   // BUT: 40 x 24, off and lit
Image draw_knob();                     // TUNE: 32 x 32, 100 frames of pointer travel
Image draw_meter_template();           // I61X11: 61 x 11 lamp coding

// All of them, in name order.
std::vector<Image> draw_all();

// Pixels of a cairo canvas cut into one image.
Image cut(const std::string& name, const std::vector<uint32_t>& pixels, int canvas_width, int x,
          int y, int width, int height);

} // namespace qz::art
