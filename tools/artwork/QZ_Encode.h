#pragma once
// Encoders for the two image resource formats: QZIF (one picture) and QZVF
// (a strip of equal frames stored as shared 4 x 4 tiles). Portable, no
// dependencies: the artwork tool runs them on the build machine and the test
// programs compile them for every target.
#include <cstdint>
#include <vector>

namespace qz::art {

// pixels: 0xAARRGGBB words, not premultiplied, rows top to bottom.
// Throws std::invalid_argument for a size that is not positive or too large.
std::vector<uint8_t> encode_qzif(int32_t width, int32_t height, const uint32_t* pixels);

// Frames one below the other: pixel (x, y) of frame f is at
// pixels[(f * height + y) * width + x]. Identical tiles are stored once,
// numbered in order of first occurrence (frame by frame, row-major); pixels
// of edge tiles beyond the frame are 0. Throws std::invalid_argument for a
// size or frame count that is not positive, or more than 65,536 distinct tiles.
std::vector<uint8_t> encode_qzvf(int32_t width, int32_t height, int32_t frames,
                                 const uint32_t* pixels);

} // namespace qz::art
