#pragma once
// A picture whose pixels are a top-down 32-bit DIB section, so that they can
// be copied to the screen as they are.
#include "Pic/Base.h"

#include <windows.h>

template <class TPix> class QZ_Pic_Win32 : public QZ_Pic_Base<TPix> {
public:
    HDC hdc = nullptr;         // stored by an owner; deleted with the picture
    HBITMAP hbitmap = nullptr; // null until the first resize
    BITMAPINFO bmi{};

    ~QZ_Pic_Win32() override;
    // Replaces the bitmap; where no bitmap section can be made the picture is
    // left empty and false is returned.
    QZ_EXPORT bool resize(int32_t w, int32_t h) override;
};

extern template class QZ_Pic_Win32<QZ_Pix_A32>;
