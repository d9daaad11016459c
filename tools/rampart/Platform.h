#pragma once
// The few system services the tool needs, one file per platform.
#include <cstdint>
#include <cstdio>
#include <optional>
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

// What makes a file itself whatever names lead to it: device and inode, or on
// Windows the volume's serial number and the file index.
struct FileIdentity {
    uint64_t volume = 0, index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
// An open file's; none for what is no file on a disk (a pipe, a device).
std::optional<FileIdentity> identity_of(std::FILE* file);
// The file a path leads to, through links; none when no such file is there.
std::optional<FileIdentity> identity_of(const std::string& path);

// Standard input and output, switched to binary where that matters.
std::FILE* binary_stdin();
std::FILE* binary_stdout();

// Creates `path` for reading and writing, and fails (null, errno EEXIST)
// when anything is there already, a link included. The file may be removed
// while it is open (remove_now from a signal handler).
std::FILE* create_new_file(const std::string& path);
// Flushes and hands the file's bytes to the disk; false on failure (errno).
bool sync_file(std::FILE* file);
// Removes a file; safe in a signal handler.
void remove_now(const char* path);
// Calls `cleanup` when the user interrupts or the system ends the program
// (SIGINT, SIGTERM; also SIGHUP and SIGPIPE on POSIX, Ctrl+Break on Windows),
// then ends it as the signal would have. Signals the program was started
// ignoring stay ignored.
void on_termination(void (*cleanup)());

} // namespace rampart
