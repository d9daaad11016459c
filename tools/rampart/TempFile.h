#pragma once
// What rampart writes goes first into a file of its own: new (it never opens
// a file that exists, whatever its name), named uniquely beside its target,
// and put in place only when complete. Until then it is removed on every
// failure, and on the signals that end the program.
#include <cstdio>
#include <string>

namespace rampart {

class TempFile {
public:
    // A temporary file for `target`: beside it, or in the system's temporary
    // folder where the target is "-" (standard output) or no regular file
    // (a named pipe, a device), which is then written into, not replaced.
    // Throws Error naming the target when none can be made, or when the
    // target is a folder.
    explicit TempFile(const std::string& target);
    // Removes the file unless it was committed.
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Open for reading and writing until commit.
    std::FILE* file() { return file_; }
    const std::string& path() const { return path_; }

    // Completes the target: the bytes on the disk, then renamed over it (or
    // copied into it). Throws Error naming the target on failure, and the
    // temporary file is gone either way.
    void commit();

private:
    void discard();

    std::string target_, path_;
    std::FILE* file_ = nullptr;
    bool stream_ = false; // copied into the target rather than renamed over it
    int slot_ = -1;
};

// Removes every temporary file not yet committed. Safe in a signal handler:
// what a signal that ends the program does first.
void remove_temporary_files();

// How a target is called in messages: "-" is "standard output".
std::string output_name(const std::string& target);

} // namespace rampart
