#pragma once
#include <string>

namespace qz::test {

// Runs a command line through the platform's shell; answers what it wrote to
// standard output and standard error, and its exit status in *status.
std::string run_program(const std::string& command_line, int* status);

// A file of the build: the directory the tests were given, and the name of a
// program there (with ".exe" on Windows).
std::string build_path(const std::string& name);
std::string program_path(const std::string& name);

} // namespace qz::test
