#include "QZ_Error.h"

#include <cstdio>

// No modal box here: the caption and the report go to standard error.
void qz::show_report(const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
    std::fflush(stderr);
}
