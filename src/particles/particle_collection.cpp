// The particle collection: the memory area and the moves of blocks between its two lists.
#include "particles/particle_collection.h"

#include "platform/log.h"

#include <new>

TParticleCollection::TParticleCollection() = default;

TParticleCollection::~TParticleCollection()
{
    Clear();
}

void TParticleCollection::Resize(int count, int width, float* block)
{
    Clear();
    if (count < 0 || width < 0)
    {
        Log("Particle collection: refused %d particles of %d floats", count, width);
        count = 0;
        width = 0;
    }
    mStride = width * 4;
    if (block != nullptr)
    {
        mData = block;
        mBorrowed = true;
    }
    else if (count > 0 && width > 0)
    {
        mOwned.reset(new (std::nothrow) float[static_cast<size_t>(count) * width]());
        if (!mOwned)
        {
            Log("Particle collection: no memory for %d particles of %d floats", count, width);
            count = 0;
        }
        mData = mOwned.get();
    }
    if (mData == nullptr)
        count = 0;
    mCapacity = count;
    for (int i = 0; i < count; ++i)
        mFree.push_front(mData + static_cast<size_t>(i) * width);
}

void TParticleCollection::Clear()
{
    mOwned.reset();
    mData = nullptr;
    mLiveCount = 0;
    mCapacity = 0;
    mStride = 0;
    mBorrowed = false;
    mLive.clear();
    mFree.clear();
}

float* TParticleCollection::TakeFreeBlock()
{
    if (mFree.empty())
        return nullptr;
    mLive.splice(mLive.begin(), mFree, mFree.begin());
    ++mLiveCount;
    return mLive.front();
}

TParticleCollection::TBlockList::iterator TParticleCollection::FreeBlock(TBlockList::iterator live)
{
    TBlockList::iterator next = std::next(live);
    mFree.splice(mFree.begin(), mLive, live);
    --mLiveCount;
    return next;
}
