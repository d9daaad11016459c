#include "Analysis.h"

#include "Error.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace rampart {

namespace {
constexpr size_t kChunk = 4096;

std::string sample_text(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", x);
    return buf;
}
} // namespace

Comparison compare_audio(AudioReader& a, AudioReader& b) {
    Comparison c;
    auto differ = [&](const std::string& why) {
        c.same = false;
        c.difference = why;
        return c;
    };
    if (a.rate() != b.rate())
        return differ("sample rates differ: " + std::to_string(a.rate()) + " Hz and " +
                      std::to_string(b.rate()) + " Hz");
    if (a.channels() != b.channels())
        return differ("channel counts differ: " + std::to_string(a.channels()) + " and " +
                      std::to_string(b.channels()));
    const size_t ch = static_cast<size_t>(a.channels());
    std::vector<double> x(kChunk * ch), y(kChunk * ch);
    int64_t frame = 0;
    for (;;) {
        size_t na = a.read(x.data(), kChunk);
        size_t nb = b.read(y.data(), kChunk);
        size_t n = std::min(na, nb);
        // Bit patterns, not values: -0 and 0 differ, and so do NaNs.
        if (std::memcmp(x.data(), y.data(), n * ch * sizeof(double)) != 0) {
            for (size_t i = 0; i < n * ch; ++i) {
                if (std::memcmp(&x[i], &y[i], sizeof(double)) == 0) continue;
                int64_t at = frame + static_cast<int64_t>(i / ch);
                char when[64];
                std::snprintf(when, sizeof when, "%.6f s", static_cast<double>(at) / a.rate());
                return differ("first difference at frame " + std::to_string(at) + " (" + when +
                              "), channel " + std::to_string(i % ch + 1) + ": " +
                              sample_text(x[i]) + " and " + sample_text(y[i]));
            }
        }
        frame += static_cast<int64_t>(n);
        if (na != nb) {
            // One has ended; count the rest of the other.
            AudioReader& longer = na > nb ? a : b;
            int64_t rest = static_cast<int64_t>(std::max(na, nb) - n);
            while (size_t m = longer.read(x.data(), kChunk))
                rest += static_cast<int64_t>(m);
            int64_t fa = na > nb ? frame + rest : frame, fb = na > nb ? frame : frame + rest;
            return differ("lengths differ: " + std::to_string(fa) + " and " + std::to_string(fb) +
                          " frames (the first " + std::to_string(frame) + " are identical)");
        }
        if (na == 0) return c;
    }
}

std::vector<ChannelLevel> measure_levels(AudioReader& in, int64_t from, int64_t to) {
    if (from < 0 || to <= from) throw Error(in.name() + ": the range to measure is empty");
    if (to > in.frames())
        throw Error(in.name() + ": the range ends after the file (" + std::to_string(in.frames()) +
                    " frames)");
    const size_t ch = static_cast<size_t>(in.channels());
    std::vector<double> buf(kChunk * ch);
    std::vector<double> squares(ch, 0.0);
    std::vector<ChannelLevel> levels(ch);
    int64_t pos = 0;
    while (pos < to) {
        size_t want =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kChunk), to - pos));
        size_t n = in.read(buf.data(), want);
        if (n == 0) throw Error(in.name() + ": ended before the range to measure");
        for (size_t i = 0; i < n; ++i) {
            const int64_t frame = pos + static_cast<int64_t>(i);
            if (frame < from) continue;
            for (size_t c = 0; c < ch; ++c) {
                double v = buf[i * ch + c];
                ChannelLevel& l = levels[c];
                if (!std::isfinite(v)) {
                    ++(std::isnan(v) ? l.nan : l.infinite);
                    if (l.first_bad < 0) l.first_bad = frame;
                    continue;
                }
                l.peak = std::max(l.peak, std::fabs(v));
                squares[c] += v * v;
            }
        }
        pos += static_cast<int64_t>(n);
    }
    for (size_t c = 0; c < ch; ++c) {
        int64_t finite = to - from - levels[c].nan - levels[c].infinite;
        levels[c].rms = finite > 0 ? std::sqrt(squares[c] / static_cast<double>(finite)) : 0.0;
    }
    return levels;
}

std::vector<double> measure_envelope(AudioReader& in, int64_t window) {
    if (window < 1) throw Error(in.name() + ": the envelope's window is empty");
    const size_t ch = static_cast<size_t>(in.channels());
    std::vector<double> buf(kChunk * ch), rms;
    double squares = 0;
    int64_t filled = 0;
    auto close_window = [&] {
        rms.push_back(std::sqrt(squares / static_cast<double>(filled * static_cast<int64_t>(ch))));
        squares = 0;
        filled = 0;
    };
    while (size_t n = in.read(buf.data(), kChunk)) {
        for (size_t i = 0; i < n; ++i) {
            for (size_t c = 0; c < ch; ++c)
                squares += buf[i * ch + c] * buf[i * ch + c];
            if (++filled == window) close_window();
        }
    }
    if (filled) close_window();
    return rms;
}

std::string dbfs_text(double x) {
    if (!(x > 0)) return "-inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", 20 * std::log10(x));
    return buf;
}

} // namespace rampart
