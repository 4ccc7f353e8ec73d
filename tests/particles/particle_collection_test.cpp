// The particle collection: slots handed out last first, freed blocks reused first, the live list
// newest first, the counts, and a borrowed block never freed.
#include "particles/particle_collection.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
std::vector<float*> Blocks(const TParticleCollection::TBlockList& list)
{
    return std::vector<float*>(list.begin(), list.end());
}
} // namespace

TEST(ParticleCollection, SlotsAreHandedOutLastFirstAndReusedMostRecentFirst)
{
    float block[30];
    TParticleCollection collection;
    collection.Resize(3, 10, block);
    EXPECT_EQ(collection.mData, block);
    EXPECT_TRUE(collection.mBorrowed);
    EXPECT_EQ(collection.mCapacity, 3);
    EXPECT_EQ(collection.mStride, 40);
    EXPECT_EQ(Blocks(collection.mFree), (std::vector<float*>{block + 20, block + 10, block}));

    EXPECT_EQ(collection.TakeFreeBlock(), block + 20);
    EXPECT_EQ(collection.TakeFreeBlock(), block + 10);
    EXPECT_EQ(collection.TakeFreeBlock(), block);
    EXPECT_EQ(collection.TakeFreeBlock(), nullptr);
    EXPECT_EQ(collection.GetParticleCount(), 3);
    // Newest first: drawn last is the oldest.
    EXPECT_EQ(Blocks(collection.mLive), (std::vector<float*>{block, block + 10, block + 20}));

    // Free the middle one (slot 1): the walk goes on with the entry after it.
    auto next = collection.FreeBlock(std::next(collection.mLive.begin()));
    EXPECT_EQ(*next, block + 20);
    EXPECT_EQ(collection.GetParticleCount(), 2);
    EXPECT_EQ(collection.mLiveCount, static_cast<int>(collection.mLive.size()));
    collection.FreeBlock(collection.mLive.begin());
    EXPECT_EQ(Blocks(collection.mFree), (std::vector<float*>{block, block + 10}));
    EXPECT_EQ(collection.TakeFreeBlock(), block);
    EXPECT_EQ(Blocks(collection.mLive), (std::vector<float*>{block, block + 20}));

    // Clear forgets the borrowed block without freeing it (the sanitizer would catch a free of
    // this stack array), and so do Resize and the destructor.
    collection.Clear();
    EXPECT_EQ(collection.mData, nullptr);
    EXPECT_FALSE(collection.mBorrowed);
    EXPECT_EQ(collection.mCapacity, 0);
    EXPECT_EQ(collection.mStride, 0);
    EXPECT_EQ(collection.GetParticleCount(), 0);
    EXPECT_TRUE(collection.mLive.empty() && collection.mFree.empty());
    collection.Resize(3, 10, block);
    collection.TakeFreeBlock();
    collection.Resize(2, 4, block);
    EXPECT_EQ(collection.GetParticleCount(), 0);
    EXPECT_EQ(collection.mFree.size(), 2u);
}

TEST(ParticleCollection, OwnsAZeroedAreaWhenNoBlockIsGiven)
{
    TParticleCollection collection;
    EXPECT_EQ(collection.mData, nullptr);
    collection.Resize(4, 3);
    ASSERT_NE(collection.mData, nullptr);
    EXPECT_FALSE(collection.mBorrowed);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(collection.mData[i], 0.0f);
    EXPECT_EQ(collection.TakeFreeBlock(), collection.mData + 9);
    // Resizing frees the old area and drops the live particles.
    collection.Resize(2, 3);
    EXPECT_EQ(collection.GetParticleCount(), 0);
    EXPECT_EQ(collection.mFree.front(), collection.mData + 3);
    // Nothing to hand out without slots.
    collection.Resize(0, 10);
    EXPECT_EQ(collection.TakeFreeBlock(), nullptr);
    collection.Resize(-1, 10);
    EXPECT_EQ(collection.mCapacity, 0);
    EXPECT_EQ(collection.TakeFreeBlock(), nullptr);
}
