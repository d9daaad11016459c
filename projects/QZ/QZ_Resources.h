#pragma once
// The native stand-in for the module's "DATA" resources: a table of named byte
// blocks generated at build time from the encoded artwork. Names are stored
// upper-case; lookups ignore case, as the Windows resource lookup does.
#include <cstddef>

namespace qz {

struct ResourceBlock {
    const char* name;
    const unsigned char* data; // lives as long as the program
    size_t size;
};

// Generated: every block, in name order.
extern const ResourceBlock resource_blocks[];
extern const size_t resource_block_count;

} // namespace qz
