// qzsh: runs framework command texts, one per line, from standard input or files.
#include "QZ_Error.h"
#include "QZ_Shell.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifndef VR_VERSION
#error "VR_VERSION names the version (the build defines it)"
#endif

namespace {

const char* const usage_text =
    "Usage: qzsh [--capacity N] [FILE...]\n"
    "  or:  qzsh --help | --version\n"
    "Run framework commands, one per line.\n"
    "\n"
    "Reads commands from the files named (\"-\" for standard input) or from\n"
    "standard input, and prints each command's result text, or \"error: \" and the\n"
    "message. A command that creates an object prints its handle; type it into\n"
    "later lines to address the object. Blank lines and lines starting with # are\n"
    "skipped. Handles typed into a line must name live objects of the class the\n"
    "command or option expects. The session's objects are deleted at the end.\n"
    "\n"
    "Options:\n"
    "  --capacity N   result text of at most N bytes per command (default 4096)\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status:\n"
    "  0   every command succeeded\n"
    "  1   a command failed, or a file could not be read\n"
    "  2   bad command line\n";

int usage(const char* why) {
    std::fprintf(stderr, "qzsh: %s\n%s", why, usage_text);
    return 2;
}

// Runs one named file; false, with a message, when it cannot be read whole.
bool run_file(qz::Shell& shell, const char* f, bool& commands_ok) {
    if (std::strcmp(f, "-") == 0) {
        commands_ok = shell.stream(stdin) && commands_ok;
        if (!std::ferror(stdin)) return true;
        std::fprintf(stderr, "qzsh: cannot read standard input\n");
        return false;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(f, ec)) {
        std::fprintf(stderr, "qzsh: '%s' is a directory, not a file of commands\n", f);
        return false;
    }
    std::FILE* in = std::fopen(f, "rb");
    if (!in) {
        std::fprintf(stderr, "qzsh: cannot open '%s': %s\n", f, std::strerror(errno));
        return false;
    }
    commands_ok = shell.stream(in) && commands_ok;
    const bool read = !std::ferror(in);
    std::fclose(in);
    if (!read) std::fprintf(stderr, "qzsh: cannot read '%s'\n", f);
    return read;
}

// A report (a missing image, a bad header) goes to standard error in every
// build: a modal box would stop a scripted session until someone clicks it.
void report(const char* caption, const char* text) {
    std::fprintf(stderr, "%s\n%s\n", caption, text);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv) {
    qz::set_report_sink(report);
    int capacity = 4096;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(usage_text, stdout);
            return 0;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::printf("qzsh %s\n", VR_VERSION);
            return 0;
        }
        if (std::strcmp(a, "--capacity") == 0) {
            if (++i >= argc) return usage("--capacity needs a number");
            const char* s = argv[i];
            const char* e = s + std::strlen(s);
            auto r = std::from_chars(s, e, capacity);
            if (r.ec != std::errc() || r.ptr != e || capacity < 1 || capacity > (1 << 24))
                return usage("--capacity takes a number from 1 to 16777216");
            continue;
        }
        // "-" is standard input; a file whose name starts with "-" is "./-name"
        if (a[0] == '-' && a[1] != '\0') return usage((std::string("unknown option ") + a).c_str());
        files.push_back(a);
    }

    qz::Shell shell(stdout, capacity);
    bool commands_ok = true, files_ok = true;
    if (files.empty()) files_ok = run_file(shell, "-", commands_ok);
    for (const char* f : files)
        files_ok = run_file(shell, f, commands_ok) && files_ok;
    return commands_ok && files_ok ? 0 : 1;
}
