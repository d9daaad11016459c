#pragma once
// Reads QZIF and QZVF bytes back into pixels: the tool's previews are made
// from what was encoded, not from what was drawn.
#include "Image.h"

#include <cstdint>
#include <vector>

namespace qz::art {

// Throws std::runtime_error when the bytes are not a complete image of that format.
Image decode_qzif(const std::vector<uint8_t>& bytes);
Image decode_qzvf(const std::vector<uint8_t>& bytes);
// Either format, chosen by the magic.
Image decode(const std::vector<uint8_t>& bytes);

// The number of distinct tiles a QZVF holds (its header's count).
uint32_t qzvf_tile_count(const std::vector<uint8_t>& bytes);

} // namespace qz::art
