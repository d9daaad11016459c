#include "Pic/QZ_Pic_Win32.h"

#include "QZ_Platform_Win32.h"

#include <cstddef>
#include <cstring>

static_assert(sizeof(QZ_Rect) == sizeof(RECT) && offsetof(RECT, bottom) == 12);

template <class TPix> QZ_Pic_Win32<TPix>::~QZ_Pic_Win32() {
    if (hdc) qz::win32::delete_dc(hdc);
    if (hbitmap) qz::win32::delete_object(hbitmap);
}

template <class TPix> bool QZ_Pic_Win32<TPix>::resize(int32_t w, int32_t h) {
    if (hbitmap) {
        qz::win32::delete_object(hbitmap);
        hbitmap = nullptr;
    }
    this->release();
    std::memset(&bmi.bmiHeader, 0, sizeof bmi.bmiHeader);
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = -h; // rows top to bottom
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    if (qz::picture_bytes(w, h) == 0) return false;
    void* bits = nullptr;
    hbitmap = qz::win32::create_dib_section(&bmi, &bits);
    if (!hbitmap || !bits) {
        if (hbitmap) qz::win32::delete_object(hbitmap);
        hbitmap = nullptr;
        return false;
    }
    this->set(w, h, static_cast<TPix*>(bits));
    return true;
}

template class QZ_Pic_Win32<QZ_Pix_A32>;
