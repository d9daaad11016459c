// Feeds arbitrary bytes to rampart's WAV reader: it must refuse them with an
// Error or decode exactly the frames it announced, and never read out of bounds.
#include "Error.h"
#include "Wav.h"

#include <algorithm>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        rampart::WavReader r(std::make_unique<rampart::MemorySource>(data, size), "fuzz");
        if (r.channels() < 1 || r.rate() < 1 || r.frames() < 0) __builtin_trap();
        // Odd block sizes, and both sample types.
        size_t per = std::max<size_t>(1, 5000 / static_cast<size_t>(r.channels()));
        std::vector<double> d(per * static_cast<size_t>(r.channels()));
        std::vector<float> f(d.size());
        int64_t total = 0;
        for (bool as_float = false;; as_float = !as_float) {
            size_t n = as_float ? r.read(f.data(), per) : r.read(d.data(), per);
            if (n > per) __builtin_trap();
            total += static_cast<int64_t>(n);
            if (n < per) break;
        }
        if (total != r.frames()) __builtin_trap();
    } catch (const rampart::Error&) {
    }
    return 0;
}
