// The expression-node base class and what a node sees while it runs: the value stack, the particle
// context, the frame over the stack, program instructions and the table of registered functions.
#pragma once

#include "platform/strings/tstring.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

struct TParticleContext;
struct TParticleFrame;

// A node of a particle program. Programs hold nodes by shared pointer; a system's registered
// functions are borrowed raw pointers.
class TParticleFunction
{
public:
    // The class identity: the address of a static that belongs to the class.
    static const void* ClassId();

    virtual const char* GetClassName() const;
    // True for the class's own identity or any base's.
    virtual bool IsKindOf(const void* id) const;
    virtual ~TParticleFunction();
    // Kept empty; no node overrides it.
    virtual void Hook();
    // Compile-time width of the pushed value from the argument count and widths (0: pushes
    // nothing).
    virtual uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const = 0;
    // Runs the node for the context's particle; false on bad arguments or an index out of range.
    virtual bool Execute(TParticleContext& context, TParticleFrame& frame) = 0;

    // Empty for factory-made nodes; the registered name of a registered function.
    TString mName;
};

// The value stack: 255 slots of 1 to 4 floats, slot i's floats at mData[mOffsets[i]]. Slot numbers
// are bytes, so there is no slot 255.
struct TParticleStack
{
    static constexpr int kSlots = 255;
    static constexpr int kMaxWidth = 4;

    // Widths, offsets and data all 0; every slot counts as in use.
    TParticleStack();

    float mData[kSlots * kMaxWidth];
    uint8_t mWidths[kSlots];
    uint32_t mOffsets[kSlots + 1];
    uint32_t mCount;
};

// The particle being processed, laid out like a stack whose slots are the particle's members.
struct TParticleContext
{
    static constexpr int kMaxMembers = 255;

    // Members past the 255th are not addressable: the float count stops before them.
    TParticleContext(const uint8_t* memberWidths, uint32_t memberCount, uint32_t milliseconds);

    // The number of floats in a particle.
    uint32_t GetFloatCount() const { return mMemberOffsets[mMemberCount]; }

    float* mParticle = nullptr;
    uint8_t mMemberWidths[kMaxMembers];
    uint32_t mMemberOffsets[kMaxMembers + 1];
    uint32_t mMemberCount = 0;
    // The step's elapsed milliseconds in the anim program, 0 in the init program.
    uint32_t mMilliseconds = 0;
    bool mAlive = true;
};

// The functions registered with a particle system; function n is addressed in programs by ~n.
class TParticleFunctionTable
{
public:
    virtual ~TParticleFunctionTable() = default;
    // Null when there is no function n.
    virtual TParticleFunction* GetFunction(uint32_t n) const = 0;
};

// One program run's view of the stack: the running node's arguments are the mArgc slots from mBase.
struct TParticleFrame
{
    TParticleFunctionTable* mSystem = nullptr;
    TParticleStack* mStack = nullptr;
    uint8_t mBase = 0;
    uint8_t mTop = 0;
    uint8_t mArgc = 0;

    // With at least n slots in use, makes the top n the arguments; otherwise changes nothing.
    void SetArguments(uint8_t n)
    {
        if (mTop >= n)
        {
            mBase = static_cast<uint8_t>(mTop - n);
            mArgc = n;
        }
    }
    // Writes 1 to 4 floats into slot mBase, then mBase and mTop move past it. Refused (false) for
    // another width or when mBase is the last slot number, which has no slot behind it. The values
    // are a node's own buffer, a constant or particle floats, never other stack floats.
    bool Push(const float* values, uint8_t width)
    {
        // Slot numbers are bytes: a push into slot 255 would run off the stack's arrays.
        if (width < 1 || width > TParticleStack::kMaxWidth || mBase >= TParticleStack::kSlots)
            return false;
        TParticleStack& stack = *mStack;
        uint32_t offset = stack.mOffsets[mBase];
        stack.mWidths[mBase] = width;
        stack.mOffsets[mBase + 1] = offset + width;
        stack.mCount = mBase + 1u;
        float* target = stack.mData + offset;
        for (int k = 0; k < width; ++k)
            target[k] = values[k];
        ++mBase;
        mTop = mBase;
        return true;
    }

    // The same for a node's own four-float buffer: all four are copied, which is always room enough
    // (slot i starts at most 4i floats in), and floats past `width` lie above the top.
    bool Push4(const float (&values)[4], uint8_t width)
    {
        if (width < 1 || width > TParticleStack::kMaxWidth || mBase >= TParticleStack::kSlots)
            return false;
        TParticleStack& stack = *mStack;
        uint32_t offset = stack.mOffsets[mBase];
        stack.mWidths[mBase] = width;
        stack.mOffsets[mBase + 1] = offset + width;
        stack.mCount = mBase + 1u;
        float* target = stack.mData + offset;
        target[0] = values[0];
        target[1] = values[1];
        target[2] = values[2];
        target[3] = values[3];
        ++mBase;
        mTop = mBase;
        return true;
    }

    // Argument k's run-time width and floats (k < mArgc).
    uint8_t ArgWidth(int k) const { return mStack->mWidths[mBase + k]; }
    const float* Arg(int k) const { return mStack->mData + mStack->mOffsets[mBase + k]; }
    // The floats stacked from argument k's first float to the end of the last argument.
    uint32_t FloatsFrom(int k) const
    {
        return mStack->mOffsets[mBase + mArgc] - mStack->mOffsets[mBase + k];
    }
};

struct TParticleInstruction
{
    std::shared_ptr<TParticleFunction> mNode;
    uint8_t mArgc = 0;
};

using TParticleProgram = std::vector<TParticleInstruction>;

// Truncates toward zero; NaN and values beyond the 32-bit range give INT32_MIN, which every index
// check rejects.
inline int32_t TruncateParticleIndex(float value)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
