#pragma once
// The few system services the tool needs, one file per platform.
#include <cstdint>
#include <cstdio>
#include <string>

namespace rampart {

// Directory of the running program, without a trailing separator.
std::string self_directory();

// The plug-in's file name on this platform ("VelvetRampart.so" / ".dll").
const char* default_plugin_file();

// The platform's path separator for building paths to show the user.
char path_separator();

bool stderr_is_terminal();

// Size in bytes of an open file, or -1 when it has none (a pipe).
int64_t file_size(std::FILE* file);

} // namespace rampart
