#include "Wid_Text_preview.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

std::string qz::test::save_preview(const QZ_Pic_Base<QZ_Pix_A32>& pic, const char* name) {
    const char* dir = std::getenv("VR_BUILD_DIR");
    if (!dir || !pic.pixels) return {};
    const std::string path = std::string(dir) + "/" + name + ".bmp";
    const DWORD bytes = DWORD(pic.width) * DWORD(pic.height) * 4;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + bytes;
    info.biSize = sizeof info;
    info.biWidth = pic.width;
    info.biHeight = -pic.height; // rows top to bottom, as the picture holds them
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    bool ok = std::fwrite(&file, sizeof file, 1, f) == 1 &&
              std::fwrite(&info, sizeof info, 1, f) == 1 &&
              std::fwrite(pic.pixels, bytes, 1, f) == 1;
    ok = std::fclose(f) == 0 && ok;
    return ok ? path : std::string();
}
