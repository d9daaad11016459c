#pragma once
#include "QZ_Export.h"

// The module instance of the library, stored by its load routine; resources
// are looked up in it.
extern "C" {
QZ_EXPORT extern void* hInstance;
}
