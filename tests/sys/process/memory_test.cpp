// Blocks of pages of their own: zeroed when made, and what a growth adds reads zero even after a
// shrink to a size inside a page. The heap's free pages kept for reuse, then given back.
#include "sys/process/memory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace
{
// The process's resident set, in bytes.
long long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}
} // namespace

// Freed blocks stay resident in the heap until they are given back, which happens off the
// caller's thread: once it is done, the pages have left the resident set.
TEST(MemoryPages, FreedBlocksKeptForReuseLeaveTheResidentSetWhenGivenBack)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator keeps freed memory of its own";
#endif
    sys::KeepFreedMemoryForReuse();
    constexpr size_t kBlock = 1 << 20;
    constexpr int kBlocks = 48;
    std::vector<std::unique_ptr<char[]>> blocks;
    for (int i = 0; i < kBlocks; ++i)
    {
        blocks.emplace_back(new char[kBlock]);
        std::memset(blocks.back().get(), i + 1, kBlock);
    }
    // A block taken after them keeps the heap's top from shrinking of itself.
    auto after = std::make_unique<char[]>(64);
    std::memset(after.get(), 1, 64);
    blocks.clear();
    const long long kept = ResidentBytes();
    const uint64_t asked = sys::CountFreedMemoryGiveBacks();
    sys::GiveBackFreedMemory();
    EXPECT_EQ(sys::CountFreedMemoryGiveBacks(), asked + 1);
    sys::WaitForFreedMemoryGivenBack();
    EXPECT_LT(ResidentBytes(), kept - 32LL * kBlock) << "kept " << kept;
}

// The walk holds the heap's lock for milliseconds, over a hundred after a large screen: the thread
// that asks for it (the frame loop's) never makes it.
TEST(MemoryPages, TheGiveBackRunsOffTheThreadThatAsksForIt)
{
    sys::GiveBackFreedMemory();
    sys::WaitForFreedMemoryGivenBack();
    const std::thread::id on = sys::FreedMemoryGivenBackOn();
    EXPECT_NE(on, std::thread::id()) << "no give-back ran";
    EXPECT_NE(on, std::this_thread::get_id());
}

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
