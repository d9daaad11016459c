// The bitmap-section picture under the real gdi32.
#include "QZ_Pic.h"
#include "QZ_Platform_Win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(PictureWin32, TopDownBitmapSectionThatGoesWithThePicture) {
    const int before = qz::win32::gdi_objects();
    {
        QZ_Pic<QZ_Pix_A32> p;
        ASSERT_TRUE(p.resize(8, 4));
        ASSERT_NE(p.hbitmap, nullptr);
        const BITMAPINFOHEADER& h = p.bmi.bmiHeader;
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 8);
        EXPECT_EQ(h.biHeight, -4);
        EXPECT_EQ(h.biPlanes, 1);
        EXPECT_EQ(h.biBitCount, 32);
        EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
        EXPECT_EQ(qz::win32::gdi_objects(), before + 1);

        // row(0) is the bitmap's top row as gdi32 reads it.
        std::memset(p.pixels, 0, 8 * 4 * 4);
        p.row(0)[2] = {0x00, 0x00, 0xFF, 0xFF}; // red
        p.row(3)[5] = {0xFF, 0x00, 0x00, 0xFF}; // blue
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, p.hbitmap);
        EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 0, 0));
        EXPECT_EQ(GetPixel(dc, 5, 3), RGB(0, 0, 255));
        EXPECT_EQ(GetPixel(dc, 2, 3), RGB(0, 0, 0));
        SelectObject(dc, old);
        DeleteDC(dc);

        ASSERT_TRUE(p.resize(64, 64));
        EXPECT_EQ(qz::win32::gdi_objects(), before + 1) << "the earlier bitmap is deleted";
        p.hdc = qz::win32::create_compatible_dc(nullptr); // an owner's device context
        EXPECT_EQ(qz::win32::gdi_objects(), before + 2);

        EXPECT_FALSE(p.resize(0, 5));
        EXPECT_EQ(p.pixels, nullptr);
        EXPECT_EQ(p.hbitmap, nullptr);
        EXPECT_EQ(p.width, 0);
    }
    EXPECT_EQ(qz::win32::gdi_objects(), before) << "bitmap and device context go with the picture";
}

} // namespace
