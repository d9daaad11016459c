#pragma once
// A view of a QZVF frame strip in the module's resources: frames of equal
// size made of shared 4 × 4 tiles. Owns nothing; all zero until mapped.
#include "Pic/Base.h"

#include <cstdint>

class QZ_Vid {
public:
    int32_t tiles = 0;              // tile count N
    int32_t frames = 0;             // frame count F
    int32_t width = 0;              // frame width W
    int32_t height = 0;             // frame height H
    const uint8_t* pool = nullptr;  // N tiles of 64 bytes
    const uint8_t* index = nullptr; // F × TW × TH little-endian 16-bit tile numbers

    // Binds the view to QZVF data (which outlives it). A bad header is
    // reported and leaves the view as it was.
    bool map(const void* data);

    // Blends sourceRect of frame f (frame coordinates) into dst with its
    // top-left corner at (dx, dy). A view without frames, a frame out of range
    // or a rectangle outside the frame draws nothing (false).
    bool draw_frame(int32_t f, QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx, int32_t dy,
                    const QZ_Rect& sourceRect) const;

    // True when pixel (x, y) of frame f has alpha 128 or more; false outside
    // the frame or without frames.
    bool alpha_hit(int32_t f, int32_t x, int32_t y) const;

private:
    int32_t tile_columns() const { return (width - 1) / 4 + 1; }
    int32_t tile_rows() const { return (height - 1) / 4 + 1; }
    // The tile of frame f at tile column tx, row ty, or null for a tile
    // number outside the pool.
    const QZ_Pix_A32* tile(int32_t f, int32_t tx, int32_t ty) const;
    bool has(int32_t f) const;
};
