#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace rampart {

// The whole program without its process: runs the command in args (argv
// without the program name), prints to out and err, answers the exit status.
int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The plug-in rampart loads when none is named: the one beside the program.
std::string default_plugin_path();

} // namespace rampart
