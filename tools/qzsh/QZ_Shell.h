#pragma once
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

namespace qz {

// The command shell: runs command texts one per line in text-result mode and
// prints one line per command.
class Shell {
public:
    explicit Shell(std::FILE* out, int capacity = 4096);
    // The session's objects still alive go with it, newest first.
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // Runs one line; blank lines and "#" comments are skipped, and a line
    // whose handles the door refuses (QZ_Door.h) is answered without running.
    // Answers false when the command did not answer success.
    bool line(const std::string& text);

    // Runs every line of a stream; answers false if any command failed.
    bool stream(std::FILE* in);

    // True when the line holds a conversion that would need an argument.
    static bool needs_arguments(const std::string& text);

private:
    std::FILE* out_;
    int capacity_;
    uint64_t first_object_;
    // Objects keep a reference to the text that created them, so every
    // command text lives as long as the shell.
    std::deque<std::string> texts_;
};

} // namespace qz
