// Large-page advice: only advice, so any block (small, unaligned, or none) keeps its bytes and
// stays usable.
#include "sys/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

TEST(Memory, LargePageAdviceLeavesEveryBlockAsItWas)
{
    sys::PreferLargePages(nullptr, 8 << 20);
    for (size_t bytes : {size_t(100), size_t(4 << 20) - 1, size_t(9 << 20) + 3})
    {
        std::vector<uint8_t> block(bytes + 1);
        for (size_t i = 0; i < block.size(); i++)
            block[i] = static_cast<uint8_t>(i * 7);
        // One byte in, so that the block is not aligned to anything.
        sys::PreferLargePages(block.data() + 1, bytes);
        size_t wrong = 0;
        for (size_t i = 0; i < block.size(); i++)
            wrong += block[i] != static_cast<uint8_t>(i * 7);
        EXPECT_EQ(wrong, 0u) << bytes;
        block.assign(block.size(), 0xA5);
        EXPECT_EQ(block[bytes / 2], 0xA5);
    }
}
