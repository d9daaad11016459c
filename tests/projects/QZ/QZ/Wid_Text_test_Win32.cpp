// The text widget's font and device context under the real gdi32.
#include "QZ_Interpret.h"
#include "QZ_Platform_Win32.h"
#include "QZ_TestSupport.h"
#include "Wid_Text.h"
#include "Win.h"

#include <gtest/gtest.h>

namespace {

using qz::test::cmd;

TEST(TextWidgetWin32, FontMadeAsAskedAndEveryGdiObjectReleased) {
    const int before = qz::win32::gdi_objects();
    {
        QZ_Win_Surface win(200, 156);
        const int withWindow = qz::win32::gdi_objects();
        QZ_Object* o = nullptr;
        ASSERT_EQ(QZ_command(cmd("QZ_Wid_Text -w 64 -h 14 -font Tahoma -size 11 -text Tone"), &o),
                  QZ_OK);
        auto* w = dynamic_cast<QZ_Wid_Text*>(o);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(qz::win32::gdi_objects(), withWindow + 1) << "the font";

        LOGFONTA f{};
        ASSERT_EQ(GetObjectA(w->typeface, sizeof f, &f), int(sizeof f));
        EXPECT_EQ(f.lfHeight, -11) << "character height, not cell height";
        EXPECT_EQ(f.lfWidth, 0);
        EXPECT_EQ(f.lfEscapement, 0);
        EXPECT_EQ(f.lfOrientation, 0);
        EXPECT_EQ(f.lfWeight, 400);
        EXPECT_EQ(f.lfItalic | f.lfUnderline | f.lfStrikeOut, 0);
        EXPECT_EQ(f.lfCharSet, 0);
        EXPECT_EQ(f.lfOutPrecision, OUT_TT_PRECIS);
        EXPECT_EQ(f.lfClipPrecision, 0);
        EXPECT_EQ(f.lfQuality, PROOF_QUALITY);
        EXPECT_EQ(f.lfPitchAndFamily, 0);
        EXPECT_STREQ(f.lfFaceName, "Tahoma");

        QZ_command(cmd("%o -bold 1"), w);
        ASSERT_EQ(GetObjectA(w->typeface, sizeof f, &f), int(sizeof f));
        EXPECT_EQ(f.lfWeight, 700);
        EXPECT_EQ(qz::win32::gdi_objects(), withWindow + 1) << "the regular font released";

        w->attach(&win);
        win.invalidate({0, 0, 200, 156});
        ASSERT_NE(w->image.hdc, nullptr);
        EXPECT_EQ(qz::win32::gdi_objects(), withWindow + 3) << "font, bitmap, device context";
        EXPECT_EQ(GetMapMode(w->image.hdc), MM_TEXT);
        // Nothing of ours stays selected, so each can be deleted when replaced.
        EXPECT_NE(GetCurrentObject(w->image.hdc, OBJ_FONT), w->typeface);
        EXPECT_NE(GetCurrentObject(w->image.hdc, OBJ_BITMAP), w->image.hbitmap);

        QZ_command(cmd("%o -w 100 -size 14"), w);
        w->update();
        EXPECT_EQ(w->image.width, 100);
        EXPECT_EQ(qz::win32::gdi_objects(), withWindow + 3) << "old bitmap and font released";

        ASSERT_EQ(QZ_command(cmd("%o -delete"), w), QZ_OK);
        EXPECT_EQ(qz::win32::gdi_objects(), withWindow);
    }
    EXPECT_EQ(qz::win32::gdi_objects(), before);
}

TEST(TextWidgetWin32, AThousandWidgetsLeaveNoGdiObjectBehind) {
    QZ_Win_Surface win(200, 156);
    const int before = qz::win32::gdi_objects();
    for (int i = 0; i < 1000; ++i) {
        QZ_Object* o = nullptr;
        ASSERT_EQ(QZ_command(cmd("QZ_Wid_Text -w 64 -h 14 -font Tahoma -size 11 -bold %i -text %s"),
                             &o, i & 1, "-6dB"),
                  QZ_OK);
        auto* w = static_cast<QZ_Wid_Text*>(o);
        w->attach(&win);
        w->redraw(); // renders: font, bitmap and device context in use
        ASSERT_NE(w->image.hdc, nullptr) << i;
        QZ_command(cmd("%o -delete"), w);
        ASSERT_EQ(qz::win32::gdi_objects(), before) << "after widget " << i;
    }
}

} // namespace
