#pragma once
// The test signal: plucked notes, then a long quiet decaying tail. Built from
// damped-sine recurrences whose coefficients come from our own series, with
// nothing but IEEE arithmetic: the samples are the same on every build.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rampart {

class PluckSynth {
public:
    explicit PluckSynth(int rate);
    // The next n samples.
    void generate(float* out, size_t n);

    // When the notes are over and only the quiet tail sounds, in seconds.
    static constexpr double kTailStart = 2.5;

private:
    struct Partial {
        int64_t start;
        double k1, k2, first; // y[n] = k1 y[n-1] - k2 y[n-2]; y[0] = 0, y[1] = first
        double y1 = 0, y2 = 0;
        int64_t step = 0;
    };
    std::vector<Partial> partials_;
    int64_t pos_ = 0;
};

// Series evaluations, exact to the last bit only in the sense that they give
// the same bits everywhere; accurate to about 1e-15 for the arguments used.
double series_sin(double x);
double series_cos(double x);
double series_exp(double x);

} // namespace rampart
