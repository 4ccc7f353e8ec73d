// Blocks of pages of their own: zeroed when made, and what a growth adds reads zero even after a
// shrink to a size inside a page.
#include "sys/process/memory.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(MemoryPages, GrowthsAfterShrinksReadZeroPastTheKeptBytes)
{
    constexpr size_t kBig = 5 * 4096 + 100;
    auto* block = static_cast<unsigned char*>(sys::MapZeroedPages(kBig));
    ASSERT_NE(nullptr, block);
    for (size_t i = 0; i < kBig; i++)
        ASSERT_EQ(0, block[i]) << i;
    std::memset(block, 0xAB, kBig);
    // Cut to a size inside the second page, then grown past the old size.
    block = static_cast<unsigned char*>(sys::RemapZeroedPages(block, kBig, 4096 + 10));
    ASSERT_NE(nullptr, block);
    block = static_cast<unsigned char*>(sys::RemapZeroedPages(block, 4096 + 10, 2 * kBig));
    ASSERT_NE(nullptr, block);
    for (size_t i = 0; i < 2 * kBig; i++)
        ASSERT_EQ(i < 4096 + 10 ? 0xAB : 0, block[i]) << i;
    sys::UnmapPages(block, 2 * kBig);
}
