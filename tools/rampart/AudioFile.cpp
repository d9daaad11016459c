#include "AudioFile.h"

#include "Error.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace rampart {

size_t AudioReader::read(float* out, size_t frames) {
    // A bounded scratch: callers may ask for large blocks.
    constexpr size_t kChunk = 4096;
    std::vector<double>& scratch = scratch_;
    scratch.resize(std::min(frames, kChunk) * static_cast<size_t>(channels_));
    size_t done = 0;
    while (done < frames) {
        size_t want = std::min(frames - done, kChunk);
        size_t got = read(scratch.data(), want);
        size_t n = got * static_cast<size_t>(channels_);
        float* dst = out + done * static_cast<size_t>(channels_);
        for (size_t i = 0; i < n; ++i)
            dst[i] = static_cast<float>(scratch[i]);
        done += got;
        if (got < want) break;
    }
    return done;
}

bool looks_like_wav(const unsigned char* head, size_t size) {
    if (size < 12 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    return std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0 ||
           std::memcmp(head, "RF64", 4) == 0;
}

std::string input_name(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

std::string extension_of(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

} // namespace rampart
