#pragma once
// Pictures for people: each image as a PNG, the editor composed from the
// images, and one contact sheet of everything.
#include "Image.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qz::art {

using ImageSet = std::map<std::string, Image>; // by resource name

// One image; the frames of a strip in a grid, ten to a row.
std::vector<uint8_t> preview_png(const Image& image);

// The 200 x 156 editor laid out from the images as the window composes it,
// with the texts drawn in a stand-in font.
std::vector<uint8_t> editor_png(const ImageSet& images);

// Every image on a neutral ground, enlarged, labelled; the composed editor first.
std::vector<uint8_t> contact_sheet_png(const ImageSet& images);

} // namespace qz::art
