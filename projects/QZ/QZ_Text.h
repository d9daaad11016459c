#pragma once
// Number texts that do not depend on the C locale a host may have set.
#include <cstddef>

namespace qz {

// "%.<decimals>f" of v into buf (always terminated); answers the length.
size_t fixed(char* buf, size_t size, double v, int decimals = 6);

// "%d" of v; answers the length.
size_t decimal(char* buf, size_t size, long long v);

// Copies at most max characters of src, then a terminating zero (buf holds max + 1).
void copy_cut(char* buf, const char* src, size_t max);

} // namespace qz
