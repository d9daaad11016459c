#pragma once
#include "QZ_Error.h"
#include "QZ_Isa.h"
#include "QZ_Pix.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace qz::test {

// A pixel as its 0xAARRGGBB word.
inline uint32_t word(QZ_Pix_A32 p) {
    uint32_t w;
    std::memcpy(&w, &p, 4);
    return w;
}

// Whether two pictures of 32-bit pixel words are the same size and differ by
// at most `most` in each byte.
bool close_to(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int most);

// A writable copy of a command text that lives until the program ends:
// objects keep a reference to the text that created them.
char* cmd(const std::string& text);

// Collects error reports instead of showing them, for as long as it lives.
class ReportCapture {
public:
    ReportCapture();
    ~ReportCapture();
    struct Report {
        std::string caption, text;
    };
    const std::vector<Report>& reports() const;

private:
    ReportSink previous_;
};

// Standard output written while f runs.
template <class F> std::string stdout_of(F&& f);

void begin_stdout_capture();
std::string end_stdout_capture();

template <class F> std::string stdout_of(F&& f) {
    begin_stdout_capture();
    std::forward<F>(f)();
    return end_stdout_capture();
}

// Runs f(level) with the sample loops held at each instruction-set level this
// processor offers, the baseline first; the widest again afterwards.
template <class F> void at_every_level(F&& f) {
    for (int32_t l = qz::isa::BASE; l <= qz::isa::offered(); ++l) {
        const qz::isa::Level before = qz::isa::limit(qz::isa::Level(l));
        f(qz::isa::Level(l));
        qz::isa::limit(before);
    }
}

// The process's resident memory in bytes (natively; 0 where unknown), read
// without the C library's streams, which allocate.
int64_t resident_bytes();

} // namespace qz::test

// A sanitizer's own allocator keeps freed blocks and maps memory its own way:
// resident memory says nothing about leaks there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VR_SANITIZER_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VR_SANITIZER_HEAP 1
#endif
#endif
