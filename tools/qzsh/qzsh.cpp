// qzsh: runs framework command texts, one per line, from standard input or files.
#include "QZ_Shell.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

int usage(const char* why) {
    if (why) std::fprintf(stderr, "qzsh: %s\n", why);
    std::fprintf(stderr, "usage: qzsh [--capacity N] [FILE...]\n"
                         "Runs one command per line and prints its result text, or\n"
                         "\"error: \" and the message. Blank lines and lines starting\n"
                         "with # are skipped. Exit status 0 when every command succeeded.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int capacity = 4096;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            usage(nullptr);
            return 0;
        }
        if (std::strcmp(argv[i], "--capacity") == 0) {
            if (++i >= argc) return usage("--capacity needs a number");
            const char* s = argv[i];
            const char* e = s + std::strlen(s);
            auto r = std::from_chars(s, e, capacity);
            if (r.ec != std::errc() || r.ptr != e || capacity < 1 || capacity > (1 << 24))
                return usage("--capacity takes a number from 1 to 16777216");
            continue;
        }
        files.push_back(argv[i]);
    }

    qz::Shell shell(stdout, capacity);
    bool ok = true;
    if (files.empty()) ok = shell.stream(stdin);
    for (const char* f : files) {
        std::FILE* in = std::strcmp(f, "-") == 0 ? stdin : std::fopen(f, "rb");
        if (!in) {
            std::fprintf(stderr, "qzsh: cannot open '%s'\n", f);
            ok = false;
            continue;
        }
        ok = shell.stream(in) && ok;
        if (in != stdin) std::fclose(in);
    }
    return ok ? 0 : 1;
}
