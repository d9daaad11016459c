#pragma once
// The text widget where there is no GDI: FreeType draws the text with DejaVu
// Sans (Bold), the one face we can count on, whatever face name is given.
// Laid out as DrawText lays out one line: advances in whole pixels, no
// kerning, the line box (ascent + descent) centred in the widget.
#include "Wid_Text_Base.h"

#include <initializer_list>
#include <string>

namespace qz {
struct FreeTypeFont; // a FreeType library and one face at one size

// The first of the folders that holds a file of that name, directly or
// anywhere below it; "" when none does.
std::string find_font_file(const char* name, std::initializer_list<const char*> folders);
} // namespace qz

class QZ_Wid_Text_FreeType : public QZ_Wid_Text_Base {
public:
    qz::FreeTypeFont* typeface = nullptr; // none until name and size are both set

    QZ_Wid_Text_FreeType() = default;
    ~QZ_Wid_Text_FreeType() override;

    // A new face when name and size are set; where it cannot be made the
    // previous one stays.
    void font_changed() override;

protected:
    void draw_text() override;

private:
    // Stands in for the platform's default font while no font is made.
    qz::FreeTypeFont* fallback_ = nullptr;
};
