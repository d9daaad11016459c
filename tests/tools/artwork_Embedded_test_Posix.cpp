// Natively the images come from the table generated into qz.
#include "QZ_Resources.h"
#include "artwork_Images_test.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qz::art::test {

std::optional<std::vector<uint8_t>> embedded(const std::string& name) {
    for (size_t i = 0; i < resource_block_count; ++i)
        if (name == resource_blocks[i].name)
            return std::vector<uint8_t>(resource_blocks[i].data,
                                        resource_blocks[i].data + resource_blocks[i].size);
    return std::nullopt;
}

namespace {

TEST(ArtworkTable, NamesAreUpperCaseUniqueAndInOrderWithAlignedData) {
    ASSERT_GT(resource_block_count, 0u);
    for (size_t i = 0; i < resource_block_count; ++i) {
        const ResourceBlock& b = resource_blocks[i];
        for (const char* c = b.name; *c; ++c)
            EXPECT_FALSE(*c >= 'a' && *c <= 'z') << b.name;
        if (i > 0) {
            EXPECT_LT(std::strcmp(resource_blocks[i - 1].name, b.name), 0) << b.name;
        }
        // Pictures point straight into the block and read it as 32-bit words.
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data) % 4, 0u) << b.name;
    }
}

} // namespace
} // namespace qz::art::test
