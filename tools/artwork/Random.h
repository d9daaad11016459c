#pragma once
// A seeded generator whose sequence is the same on every compiler and run:
// the images, and so the encoded files, must not change unless the drawing does.
#include <cstdint>

namespace qz::art {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    double next() { // [0, 1)
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return double(state_ >> 11) * (1.0 / 9007199254740992.0);
    }
    double range(double lo, double hi) { return lo + (hi - lo) * next(); }

private:
    uint64_t state_;
};

// A fixed value in [-1, 1] for each pixel position.
inline double grain(uint32_t x, uint32_t y, uint32_t seed) {
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return double(h) / 2147483647.5 - 1.0;
}

} // namespace qz::art
