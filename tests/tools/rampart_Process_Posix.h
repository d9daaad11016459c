#pragma once
// Starting a program of the build directly, for tests that signal it or
// talk to it through pipes.
#include <string>
#include <vector>

namespace rampart::test {

// Starts build_dir()/name with these arguments and the usual signals at their
// defaults; standard input from `in` (-1: this one's), standard output into
// `out` (-1: nowhere), standard error into err_file. Its process id, or -1.
int spawn_built(const std::string& name, const std::vector<std::string>& args, int in, int out,
                const std::string& err_file);

} // namespace rampart::test
