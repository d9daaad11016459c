// Where the FreeType stand-in finds its face.
#include "Wid_Text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(TextFontFile, FirstFolderHoldingItDirectlyOrBelow) {
    const fs::path root = fs::temp_directory_path() / ("qz-fonts-" + std::to_string(getpid()));
    fs::create_directories(root / "a" / "deep" / "er");
    fs::create_directories(root / "b");
    fs::create_directories(root / "c" / "Face.ttf"); // a folder, not a font
    std::ofstream(root / "a" / "deep" / "er" / "Face.ttf") << "x";
    std::ofstream(root / "b" / "Face.ttf") << "x";
    const std::string a = (root / "a").string(), b = (root / "b").string(),
                      c = (root / "c").string(), missing = (root / "missing").string();

    EXPECT_EQ(qz::find_font_file("Face.ttf", {b.c_str(), a.c_str()}),
              (root / "b" / "Face.ttf").string());
    EXPECT_EQ(qz::find_font_file("Face.ttf", {missing.c_str(), c.c_str(), a.c_str()}),
              (root / "a" / "deep" / "er" / "Face.ttf").string());
    EXPECT_EQ(qz::find_font_file("Face.ttf", {c.c_str(), missing.c_str()}), "");
    EXPECT_EQ(qz::find_font_file("Other.ttf", {root.c_str()}), "");
    fs::remove_all(root);
}

} // namespace
