// TParticleCollection: one system's particle blocks in one memory area, each block either on the
// live list (newest first, drawn in that order) or on the free list (last freed, first reused).
#pragma once

#include <cstdint>
#include <list>
#include <memory>

class TParticleCollection
{
public:
    using TBlockList = std::list<float*>;

    TParticleCollection();
    virtual ~TParticleCollection();

    // Drops every block (a borrowed area is never freed), then takes `block` (borrowed) or a new
    // zeroed area of count x width floats; every slot goes on the free list, slot 0 deepest, so the
    // first block handed out is the last slot.
    void Resize(int count, int width, float* block = nullptr);
    // Frees the area unless borrowed; everything back to empty and 0.
    void Clear();
    int GetParticleCount() const { return mLiveCount; }

    // Moves the first free block to the front of the live list (no allocation: the list node moves
    // with it); null when every slot is live.
    float* TakeFreeBlock();
    // Moves a live block to the front of the free list; answers the live entry after it.
    TBlockList::iterator FreeBlock(TBlockList::iterator live);

    float* mData = nullptr;
    int32_t mCapacity = 0;
    int32_t mStride = 0;
    bool mBorrowed = false;
    TBlockList mLive;
    TBlockList mFree;
    int32_t mLiveCount = 0;

private:
    std::unique_ptr<float[]> mOwned;
};
