#include "Draw.h"

#include <algorithm>

namespace qz::art {

std::vector<Image> draw_all() {
    std::vector<Image> all;
    all.push_back(draw_background());
    for (std::vector<Image> set : {draw_outer_frame(), draw_glass_panel()})
        for (Image& img : set)
            all.push_back(std::move(img));
    all.push_back(draw_button());
    all.push_back(draw_knob());
    all.push_back(draw_meter_template());
    std::sort(all.begin(), all.end(),
              [](const Image& a, const Image& b) { return a.name < b.name; });
    return all;
}

} // namespace qz::art
