#pragma once
// What compare and levels compute, apart from how they print it.
#include "AudioFile.h"

#include <string>
#include <vector>

namespace rampart {

struct Comparison {
    bool same = true;
    // Where and how the two first differ; empty when they are the same.
    std::string difference;
};

// Same rate, same channel count, same length and bit-identical samples.
Comparison compare_audio(AudioReader& a, AudioReader& b);

// Peak and RMS are those of the finite samples; NaN and infinities are counted.
struct ChannelLevel {
    double peak = 0; // largest magnitude, full scale = 1
    double rms = 0;
    int64_t nan = 0, infinite = 0;
    int64_t first_bad = -1; // the frame of the first that is not finite
};

// Levels of frames [from, to) of every channel; throws if the range is empty
// or not inside the file.
std::vector<ChannelLevel> measure_levels(AudioReader& in, int64_t from, int64_t to);

// RMS of every channel together over consecutive windows of `window` frames
// (the last one shorter), for plotting the envelope: NaN for a window that
// holds a NaN, infinity for one that holds an infinity.
std::vector<double> measure_envelope(AudioReader& in, int64_t window);

// 20·log10(x), "-inf" for 0, two decimals.
std::string dbfs_text(double x);

} // namespace rampart
