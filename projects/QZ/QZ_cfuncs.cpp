#include "QZ_cfuncs.h"

extern "C" {
void* hInstance = nullptr;
}
