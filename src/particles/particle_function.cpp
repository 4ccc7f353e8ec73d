// The node base class, the value stack, the particle context and the frame's argument handling.
#include "particles/particle_function.h"

#include <climits>
#include <cstring>

const void* TParticleFunction::ClassId()
{
    static const char sId = 0;
    return &sId;
}

const char* TParticleFunction::GetClassName() const
{
    return "TParticleFunction";
}

bool TParticleFunction::IsKindOf(const void* id) const
{
    return id == ClassId();
}

TParticleFunction::~TParticleFunction() = default;

void TParticleFunction::Hook() {}

TParticleStack::TParticleStack() : mCount(kSlots)
{
    std::memset(mData, 0, sizeof(mData));
    std::memset(mWidths, 0, sizeof(mWidths));
    std::memset(mOffsets, 0, sizeof(mOffsets));
}

TParticleContext::TParticleContext(const uint8_t* memberWidths, uint32_t memberCount,
                                   uint32_t milliseconds)
    : mMilliseconds(milliseconds)
{
    mMemberCount = memberCount < kMaxMembers ? memberCount : kMaxMembers;
    std::memset(mMemberWidths, 0, sizeof(mMemberWidths));
    mMemberOffsets[0] = 0;
    for (uint32_t i = 0; i < mMemberCount; ++i)
    {
        mMemberWidths[i] = memberWidths[i];
        mMemberOffsets[i + 1] = mMemberOffsets[i] + memberWidths[i];
    }
    for (uint32_t i = mMemberCount + 1; i <= kMaxMembers; ++i)
        mMemberOffsets[i] = mMemberOffsets[mMemberCount];
}

void TParticleFrame::SetArguments(uint8_t n)
{
    if (mTop >= n)
    {
        mBase = static_cast<uint8_t>(mTop - n);
        mArgc = n;
    }
}

bool TParticleFrame::Push(const float* values, uint8_t width)
{
    // Slot numbers are bytes: a push into slot 255 would run off the stack's arrays.
    if (width < 1 || width > TParticleStack::kMaxWidth || mBase >= TParticleStack::kSlots)
        return false;
    TParticleStack& stack = *mStack;
    uint32_t offset = stack.mOffsets[mBase];
    stack.mWidths[mBase] = width;
    stack.mOffsets[mBase + 1] = offset + width;
    stack.mCount = mBase + 1u;
    // The values may be the slot's own floats (a node that passes an argument through).
    std::memmove(stack.mData + offset, values, width * sizeof(float));
    ++mBase;
    mTop = mBase;
    return true;
}

int32_t TruncateParticleIndex(float value)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
