// The platform's particle expression nodes (constants, member reads, arithmetic, comparisons,
// indexing, time, expiry, vectors, cycles, fades, random picks, 2-D helpers) and their factories.
#pragma once

#include "particles/particle_function.h"
#include "platform/maths/geometry.h"

// A node class's identity, class name and kind test.
#define MW_PARTICLE_NODE(Class)                                                                    \
public:                                                                                            \
    static const void* ClassId();                                                                  \
    const char* GetClassName() const override                                                      \
    {                                                                                              \
        return #Class;                                                                             \
    }                                                                                              \
    bool IsKindOf(const void* id) const override                                                   \
    {                                                                                              \
        return id == ClassId() || TParticleFunction::IsKindOf(id);                                 \
    }

// A constant: float, TVec2, TVec3 or TVec4. Answers to its kind as the base class does.
template <typename T> class FPush : public TParticleFunction
{
public:
    explicit FPush(const T& value) : mValue(value) {}
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    T mValue;
};

extern template class FPush<float>;
extern template class FPush<TVec2>;
extern template class FPush<TVec3>;
extern template class FPush<TVec4>;

// A particle member (base >= 0: `size` floats from float `base`) or registered function ~base.
// Answers to its kind as the base class does.
class FGetParticleParam : public TParticleFunction
{
public:
    FGetParticleParam(int16_t base, uint8_t size) : mBase(base), mSize(size) {}
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    int16_t mBase;
    uint8_t mSize;
};

#define MW_DECLARE_PARTICLE_NODE(Class)                                                            \
    class Class : public TParticleFunction                                                         \
    {                                                                                              \
        MW_PARTICLE_NODE(Class)                                                                    \
        uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;                      \
        bool Execute(TParticleContext& context, TParticleFrame& frame) override;                   \
    };

MW_DECLARE_PARTICLE_NODE(FAssign)
MW_DECLARE_PARTICLE_NODE(FAdd)
MW_DECLARE_PARTICLE_NODE(FSub)
MW_DECLARE_PARTICLE_NODE(FMul)
MW_DECLARE_PARTICLE_NODE(FDiv)
MW_DECLARE_PARTICLE_NODE(FUnm)
MW_DECLARE_PARTICLE_NODE(FLt)
MW_DECLARE_PARTICLE_NODE(FLe)
MW_DECLARE_PARTICLE_NODE(FVIndex)
MW_DECLARE_PARTICLE_NODE(FIndex)
MW_DECLARE_PARTICLE_NODE(FNewIndex)
MW_DECLARE_PARTICLE_NODE(FTimeScale)
MW_DECLARE_PARTICLE_NODE(FAge)
MW_DECLARE_PARTICLE_NODE(FExpire)
MW_DECLARE_PARTICLE_NODE(FVec)
MW_DECLARE_PARTICLE_NODE(FDistance)
MW_DECLARE_PARTICLE_NODE(FDebug)
MW_DECLARE_PARTICLE_NODE(FAlpha)
MW_DECLARE_PARTICLE_NODE(FRange)
MW_DECLARE_PARTICLE_NODE(FPick)
MW_DECLARE_PARTICLE_NODE(FFade)

// The segment of a fade's (t, x0, d0, x1, ..., xk) arguments that the time falls in, shared by the
// node and the compiled program so both pick the same one: answers the index of the segment's first
// value and leaves in `t` the time into it (negative times count as 0) and in `d` the last duration
// read (0 when there is none). `duration(n)` reads argument n.
template <class Duration> int FindFadeSegment(int argc, Duration duration, float& t, float& d)
{
    if (t < 0.0f)
        t = 0.0f;
    int i = 1;
    d = 0.0f;
    if (argc > 2)
    {
        for (;;)
        {
            d = duration(i + 1);
            if (d > t)
                break;
            t -= d;
            i += 2;
            if (i + 1 >= argc)
                break;
        }
    }
    return i;
}
MW_DECLARE_PARTICLE_NODE(F2dRadius)
MW_DECLARE_PARTICLE_NODE(F2dRotation)

#undef MW_DECLARE_PARTICLE_NODE

// The two cycles share their step counter rule; the counter belongs to the node, so consecutive
// particles get consecutive points.
class FOpenCycle : public TParticleFunction
{
    MW_PARTICLE_NODE(FOpenCycle)
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    uint32_t mStep = 0;
};

class FClosedCycle : public TParticleFunction
{
    MW_PARTICLE_NODE(FClosedCycle)
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    uint32_t mStep = 0;
};

// Makes a new node with an empty name.
using TParticleNodeFactory = std::shared_ptr<TParticleFunction> (*)();

struct TParticleNodeType
{
    const char* mName;
    TParticleNodeFactory mFactory;
};

// Every script name with its factory ("lt" and "fLess" share one, as do "le" and "fLessEqual"),
// ended by a null entry.
const TParticleNodeType* GetParticleNodeTypes();
// The factory of a script name, or null.
TParticleNodeFactory FindParticleNodeFactory(const char* name);
