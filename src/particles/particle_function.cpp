// The node base class, the value stack, the particle context and the frame's argument handling.
#include "particles/particle_function.h"

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
