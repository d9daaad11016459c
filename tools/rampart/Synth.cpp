#include "Synth.h"

namespace rampart {

namespace {
constexpr double kPi = 3.14159265358979323846;

// Brings x into [-pi, pi] with basic operations only.
double reduce(double x) {
    double turns = static_cast<double>(static_cast<int64_t>(x / (2 * kPi)));
    x -= turns * 2 * kPi;
    if (x > kPi) x -= 2 * kPi;
    if (x < -kPi) x += 2 * kPi;
    return x;
}
} // namespace

double series_sin(double x) {
    x = reduce(x);
    double term = x, sum = x;
    for (int k = 1; k < 30; ++k) {
        term *= -x * x / ((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

double series_cos(double x) {
    x = reduce(x);
    double term = 1, sum = 1;
    for (int k = 1; k < 30; ++k) {
        term *= -x * x / ((2 * k - 1) * (2 * k));
        sum += term;
    }
    return sum;
}

double series_exp(double x) {
    // exp(x) = exp(x / 2^k)^(2^k), the series taken where it converges fast.
    int halvings = 0;
    while (x > 0.5 || x < -0.5) {
        x /= 2;
        ++halvings;
    }
    double term = 1, sum = 1;
    for (int k = 1; k < 25; ++k) {
        term *= x / k;
        sum += term;
    }
    while (halvings-- > 0)
        sum *= sum;
    return sum;
}

PluckSynth::PluckSynth(int rate) {
    struct Note {
        int start_ms;
        double freq, amp, decay_s;
    };
    // An arpeggio on A, then A again, whose slow component is the tail.
    const Note notes[] = {{0, 220.0, 0.4, 0.25},
                          {350, 277.18, 0.4, 0.25},
                          {700, 329.63, 0.4, 0.25},
                          {1050, 440.0, 0.4, 0.25},
                          {1400, 220.0, 0.4, 0.25}};
    auto add = [&](int start_ms, double freq, double amp, double decay_s) {
        if (freq * 2 >= rate) return; // above Nyquist: leave it out
        double w = 2 * kPi * freq / rate;
        double r = series_exp(-1.0 / (decay_s * rate));
        Partial p;
        p.start = static_cast<int64_t>(start_ms) * rate / 1000;
        p.k1 = 2 * r * series_cos(w);
        p.k2 = r * r;
        p.first = amp * r * series_sin(w);
        partials_.push_back(p);
    };
    for (const Note& n : notes)
        for (int h = 1; h <= 3; ++h)
            add(n.start_ms, n.freq * h, n.amp / (1 << (h - 1)), n.decay_s / h);
    // The tail: about -30 dBFS at the last note, falling with a 3 s time constant.
    add(1400, 220.0, 0.03, 3.0);
    add(1400, 440.0, 0.01, 2.0);
}

void PluckSynth::generate(float* out, size_t n) {
    for (size_t i = 0; i < n; ++i, ++pos_) {
        double sum = 0;
        for (Partial& p : partials_) {
            if (pos_ < p.start) continue;
            double y = p.step == 0 ? 0.0 : p.step == 1 ? p.first : p.k1 * p.y1 - p.k2 * p.y2;
            if (p.step < 2) ++p.step;
            p.y2 = p.y1;
            p.y1 = y;
            sum += y;
        }
        out[i] = static_cast<float>(sum);
    }
}

} // namespace rampart
