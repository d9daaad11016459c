#pragma once
// rampart shot: the plug-in's editor saved as a PNG. Natively the plug-in is
// made in-process, its own code linked into rampart, so that its off-screen
// editor can be read; rampart.exe stays a pure host of the DLL and says so.
#include <cstdio>
#include <string>
#include <vector>

namespace rampart {

int shot_command(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace rampart
