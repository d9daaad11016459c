#pragma once
// The memory picture: width × height pixels, rows top to bottom, no padding.
#include "QZ_Export.h"
#include "QZ_Pix.h"

#include <cstddef>
#include <cstdint>

template <class TPix> class QZ_Pic_Base {
public:
    int32_t width = 0;  // 0 when empty
    int32_t height = 0; // 0 when empty
    TPix* pixels = nullptr;

    QZ_Pic_Base() = default;
    QZ_Pic_Base(const QZ_Pic_Base&) = delete;
    QZ_Pic_Base& operator=(const QZ_Pic_Base&) = delete;
    virtual ~QZ_Pic_Base() { release(); }

    // New pixel memory of the given size from the heap, contents undefined.
    // Where it cannot be had (or the size is not positive) the picture is
    // left empty and false is returned: blends from it then draw nothing.
    QZ_EXPORT virtual bool resize(int32_t w, int32_t h);

    // Binds the picture, read-only, to QZIF data (which outlives it). A bad
    // header is reported and leaves the picture as it was.
    bool map(const void* data);

    QZ_EXPORT TPix* row(int32_t y) const { return pixels + intptr_t(y) * width; }

protected:
    void set(int32_t w, int32_t h, TPix* p) {
        width = w;
        height = h;
        pixels = p;
    }
    // Frees heap memory of an earlier resize; mapped data is not ours.
    void release();

private:
    bool owned_ = false;
};

namespace qz {
// Bytes for w × h pixels of 4 bytes, or 0 when the size is not positive or
// does not fit the address space.
size_t picture_bytes(int32_t w, int32_t h);
} // namespace qz

// Draws sourceRect of src (repeated in both directions where the rectangle is
// larger than the picture) into dst with its top-left corner at (dx, dy). No
// clipping: the destination area must lie inside dst. An empty src draws
// nothing.
QZ_EXPORT void blend(const QZ_Pic_Base<QZ_Pix_A32>& src, QZ_Pic_Base<QZ_Pix_A32>& dst, int32_t dx,
                     int32_t dy, const QZ_Rect& sourceRect);

extern template class QZ_Pic_Base<QZ_Pix_A32>;
