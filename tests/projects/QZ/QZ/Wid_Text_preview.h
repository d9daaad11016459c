#pragma once
// Pictures tests leave in the build folder for people to look at.
#include "Pic/Base.h"

#include <string>

namespace qz::test {

// Writes the picture's colours (its alpha left out, as a screen shows it) as
// NAME.png and NAME-x4.png, four times enlarged, natively, or as NAME.bmp on
// Windows. Returns the first path written, or "" when nothing could be.
std::string save_preview(const QZ_Pic_Base<QZ_Pix_A32>& pic, const char* name);

} // namespace qz::test
