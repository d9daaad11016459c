#include "QZ_Error.h"

#include <windows.h>

void qz::show_report(const char* caption, const char* text) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}
