#pragma once
#include "QZ_Export.h"

// The module instance of the library, stored by its load routine; resources
// are looked up in it.
extern "C" {
QZ_EXPORT extern void* hInstance;
}

// The data of the "DATA" resource of that name (case does not matter), alive
// as long as the module; null after an error report when there is none.
const void* QZ_resource(const char* name);

namespace qz {
// Where the reports of QZ_resource say they come from.
inline constexpr const char* resource_source = "projects/QZ/QZ_cfuncs.cpp";
inline constexpr int resource_line_find = 121;
inline constexpr int resource_line_load = 130;
inline constexpr int resource_line_lock = 138;
} // namespace qz
