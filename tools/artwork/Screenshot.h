#pragma once
// Pictures that test programs leave as BMP (Windows programs have no PNG
// writer of ours), made into PNG files for people.
#include <cstdint>
#include <vector>

namespace qz::art {

// A 32-bit uncompressed BMP (rows either way up) as an opaque PNG: the
// fourth byte of each pixel is not part of what a screen shows. Throws
// std::runtime_error for anything else.
std::vector<uint8_t> png_from_bmp(const std::vector<uint8_t>& bmp);

} // namespace qz::art
