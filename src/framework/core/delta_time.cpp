// The frame clock.
#include "framework/core/delta_time.h"

DeltaTime::DeltaTime()
{
    SetInstance(this);
}

void DeltaTime::Advance(uint32_t now)
{
    now += mSkipped;
    if (mSkipNext != 0)
        mSkipNext = 0;
    else
        mStep = now - mFrameTime;
    mFrameTime = now;
}

void DeltaTime::Skip(uint32_t ms)
{
    mSkipped += ms;
    mFrameTime += ms;
    mStep = ms;
}

uint32_t DeltaTime::Now()
{
    DeltaTime* clock = Instance();
    return clock != nullptr ? clock->mFrameTime : 0;
}
