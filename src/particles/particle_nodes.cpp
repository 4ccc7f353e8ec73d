// The platform's particle nodes. Each works on at most 4 floats in a local buffer and fails,
// pushing nothing, rather than read past the stacked arguments or write outside the particle.
#include "particles/particle_nodes.h"

#include "particles/failure.h"
#include "particles/particle_random.h"
#include "platform/maths/random.h"

#include <cmath>
#include <cstring>
#include <string_view>

#define MW_PARTICLE_CLASS_ID(Class)                                                                \
    const void* Class::ClassId()                                                                   \
    {                                                                                              \
        static const char sId = 0;                                                                 \
        return &sId;                                                                               \
    }

MW_PARTICLE_CLASS_ID(FAssign)
MW_PARTICLE_CLASS_ID(FAdd)
MW_PARTICLE_CLASS_ID(FSub)
MW_PARTICLE_CLASS_ID(FMul)
MW_PARTICLE_CLASS_ID(FDiv)
MW_PARTICLE_CLASS_ID(FUnm)
MW_PARTICLE_CLASS_ID(FLt)
MW_PARTICLE_CLASS_ID(FLe)
MW_PARTICLE_CLASS_ID(FVIndex)
MW_PARTICLE_CLASS_ID(FIndex)
MW_PARTICLE_CLASS_ID(FNewIndex)
MW_PARTICLE_CLASS_ID(FTimeScale)
MW_PARTICLE_CLASS_ID(FAge)
MW_PARTICLE_CLASS_ID(FExpire)
MW_PARTICLE_CLASS_ID(FVec)
MW_PARTICLE_CLASS_ID(FDistance)
MW_PARTICLE_CLASS_ID(FOpenCycle)
MW_PARTICLE_CLASS_ID(FClosedCycle)
MW_PARTICLE_CLASS_ID(FDebug)
MW_PARTICLE_CLASS_ID(FAlpha)
MW_PARTICLE_CLASS_ID(FRange)
MW_PARTICLE_CLASS_ID(FPick)
MW_PARTICLE_CLASS_ID(FFade)
MW_PARTICLE_CLASS_ID(F2dRadius)
MW_PARTICLE_CLASS_ID(F2dRotation)

namespace
{
constexpr float kPi = 3.1415927410125732f;

uint8_t FirstWidth(uint8_t argc, const uint8_t* widths, int k = 0)
{
    return (argc > k && widths != nullptr) ? widths[k] : 0;
}

// The particle index a float names, or -1 when it cannot name one.
int64_t ParticleIndex(float value)
{
    int32_t index = TruncateParticleIndex(value);
    return index < 0 ? -1 : index;
}

// a0[k] op a1[k] over a0's width; a1 must be at least as wide.
template <typename Op> bool Elementwise(TParticleFrame& frame, Op op)
{
    if (frame.mArgc != 2 || frame.ArgWidth(1) < frame.ArgWidth(0))
        return false;
    const float* a = frame.Arg(0);
    const float* b = frame.Arg(1);
    uint8_t width = frame.ArgWidth(0);
    float result[4] = {};
    for (int k = 0; k < width; ++k)
        result[k] = op(a[k], b[k]);
    return frame.Push4(result, width);
}

// a0[k] op a1 with a scalar a1.
template <typename Op> bool ByScalar(TParticleFrame& frame, Op op)
{
    if (frame.mArgc != 2 || frame.ArgWidth(1) != 1)
        return false;
    const float* a = frame.Arg(0);
    float s = frame.Arg(1)[0];
    uint8_t width = frame.ArgWidth(0);
    float result[4] = {};
    for (int k = 0; k < width; ++k)
        result[k] = op(a[k], s);
    return frame.Push4(result, width);
}

template <typename Op> bool Compare(TParticleFrame& frame, Op op)
{
    if (frame.mArgc != 2 || frame.ArgWidth(0) != 1 || frame.ArgWidth(1) != 1)
        return false;
    float result[4] = {op(frame.Arg(0)[0], frame.Arg(1)[0]) ? 1.0f : 0.0f};
    return frame.Push4(result, 1);
}

// Shared by both cycles: a[0] + (b[0] - a[0]) * c / divisor(n), then the counter steps and wraps.
template <typename Divisor> bool Cycle(TParticleFrame& frame, uint32_t& step, Divisor divisor)
{
    if (frame.mArgc != 3 || frame.ArgWidth(0) != frame.ArgWidth(1))
        return false;
    float a = frame.Arg(0)[0];
    float b = frame.Arg(1)[0];
    float n = frame.Arg(2)[0];
    float result[4] = {a + (b - a) * static_cast<float>(step) / divisor(n)};
    ++step;
    if (static_cast<float>(step) >= n)
        step = 0;
    return frame.Push4(result, 1);
}

template <typename T> constexpr uint8_t kPushWidth = sizeof(T) / sizeof(float);

template <typename T> std::shared_ptr<TParticleFunction> Make()
{
    return std::make_shared<T>();
}
} // namespace

template <typename T> uint8_t FPush<T>::GetWidth(uint8_t, const uint8_t*) const
{
    return kPushWidth<T>;
}

template <typename T> bool FPush<T>::Execute(TParticleContext&, TParticleFrame& frame)
{
    float values[4] = {};
    std::memcpy(values, &mValue, sizeof(T));
    return frame.Push4(values, kPushWidth<T>);
}

template class FPush<float>;
template class FPush<TVec2>;
template class FPush<TVec3>;
template class FPush<TVec4>;

uint8_t FGetParticleParam::GetWidth(uint8_t, const uint8_t*) const
{
    return mSize;
}

bool FGetParticleParam::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (mBase < 0)
    {
        TParticleFunction* function =
            frame.mSystem ? frame.mSystem->GetFunction(static_cast<uint32_t>(~mBase)) : nullptr;
        return function != nullptr && function->Execute(context, frame);
    }
    // A member global left by another description may name floats this particle lacks.
    if (static_cast<uint32_t>(mBase) + mSize > context.GetFloatCount())
        return false;
    return frame.Push(context.mParticle + mBase, mSize);
}

uint8_t FAssign::GetWidth(uint8_t, const uint8_t*) const
{
    return 0;
}

bool FAssign::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 3)
        return false;
    int64_t index = ParticleIndex(frame.Arg(1)[0]);
    uint8_t width = frame.ArgWidth(0);
    if (index < 0 || index + width > context.GetFloatCount())
        return false;
    const float* value = frame.Arg(0);
    float* target = context.mParticle + index;
    for (int k = 0; k < width; ++k)
        target[k] = value[k];
    return true;
}

uint8_t FAdd::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FAdd::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Elementwise(frame, [](float a, float b) { return a + b; });
}

uint8_t FSub::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FSub::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Elementwise(frame, [](float a, float b) { return a - b; });
}

uint8_t FMul::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FMul::Execute(TParticleContext&, TParticleFrame& frame)
{
    return ByScalar(frame, [](float a, float s) { return a * s; });
}

uint8_t FDiv::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FDiv::Execute(TParticleContext&, TParticleFrame& frame)
{
    return ByScalar(frame, [](float a, float s) { return a / s; });
}

uint8_t FUnm::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FUnm::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 1)
        return false;
    const float* a = frame.Arg(0);
    uint8_t width = frame.ArgWidth(0);
    float result[4] = {};
    for (int k = 0; k < width; ++k)
        result[k] = -a[k];
    return frame.Push4(result, width);
}

uint8_t FLt::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FLt::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Compare(frame, [](float a, float b) { return a < b; });
}

uint8_t FLe::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FLe::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Compare(frame, [](float a, float b) { return a <= b; });
}

uint8_t FVIndex::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FVIndex::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 2)
        return false;
    // Key 1 is the first component; key 0 wraps to a huge unsigned index.
    uint32_t i =
        static_cast<uint32_t>(static_cast<int64_t>(TruncateParticleIndex(frame.Arg(1)[0])) - 1);
    if (i >= frame.ArgWidth(0))
        return false;
    float result[4] = {frame.Arg(0)[i]};
    return frame.Push4(result, 1);
}

uint8_t FIndex::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FIndex::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 2 || frame.ArgWidth(0) != 1 || frame.ArgWidth(1) != 1)
        return false;
    int32_t base = TruncateParticleIndex(frame.Arg(0)[0]);
    int32_t key = TruncateParticleIndex(frame.Arg(1)[0]);
    uint32_t i = static_cast<uint32_t>(static_cast<int64_t>(key) - 1);
    if (base >= 0)
    {
        if (static_cast<uint64_t>(base) + i >= context.GetFloatCount())
        {
            gFailure->Report(TString::Format("Out of range parameter index [%d]", key).c_str(),
                             __LINE__, __FILE_NAME__);
            return false;
        }
        float value[4] = {context.mParticle[base + i]};
        return frame.Push4(value, 1);
    }
    TParticleFunction* function =
        frame.mSystem ? frame.mSystem->GetFunction(static_cast<uint32_t>(~base)) : nullptr;
    if (function == nullptr)
        return false;
    if (i >= function->GetWidth(0, nullptr))
    {
        gFailure->Report(TString::Format("Out of range parameter index [%d] when indexing %s", key,
                                         function->mName.c_str())
                             .c_str(),
                         __LINE__, __FILE_NAME__);
        return false;
    }
    // The function takes nothing from the stack: both arguments are dropped before it runs.
    uint8_t slot = frame.mBase;
    frame.mTop = slot;
    frame.mArgc = 0;
    float value = 0.0f;
    if (function->Execute(context, frame))
    {
        frame.SetArguments(1);
        // Only a value the function really pushed, and only its own floats, are read.
        if (frame.mBase == slot && frame.mTop == slot + 1 && i < frame.ArgWidth(0))
            value = frame.Arg(0)[i];
    }
    frame.mBase = slot;
    frame.mTop = slot;
    return frame.Push(&value, 1);
}

uint8_t FNewIndex::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FNewIndex::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 3 || frame.ArgWidth(0) != 1 || frame.ArgWidth(1) != 1 ||
        frame.ArgWidth(2) != 1)
        return false;
    int64_t base = ParticleIndex(frame.Arg(0)[0]);
    if (base < 0)
        return false;
    int64_t index = base + static_cast<int64_t>(TruncateParticleIndex(frame.Arg(1)[0])) - 1;
    if (index < 0 || index >= context.GetFloatCount())
        return false;
    float value = frame.Arg(2)[0];
    context.mParticle[index] = value;
    return frame.Push(&value, 1);
}

uint8_t FTimeScale::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FTimeScale::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 1)
        return false;
    const float* a = frame.Arg(0);
    uint8_t width = frame.ArgWidth(0);
    float result[4] = {};
    for (int k = 0; k < width; ++k)
        result[k] = static_cast<float>(a[k] * static_cast<double>(context.mMilliseconds) / 1000.0);
    return frame.Push4(result, width);
}

uint8_t FAge::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FAge::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 0)
        return false;
    float value[4] = {static_cast<float>(context.mMilliseconds)};
    return frame.Push4(value, 1);
}

uint8_t FExpire::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FExpire::Execute(TParticleContext& context, TParticleFrame& frame)
{
    if (frame.mArgc != 1 || frame.ArgWidth(0) != 1)
        return false;
    float value[4] = {};
    // NaN is not equal to 0: it ends the particle.
    if (!(frame.Arg(0)[0] == 0.0f))
    {
        context.mAlive = false;
        value[0] = 1.0f;
    }
    return frame.Push4(value, 1);
}

uint8_t FVec::GetWidth(uint8_t, const uint8_t*) const
{
    // The compile-time answer stays 1; the run-time value has one float per argument.
    return 1;
}

bool FVec::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc < 1 || frame.mArgc > 4)
        return false;
    float result[4] = {};
    std::memcpy(result, frame.Arg(0), frame.mArgc * sizeof(float));
    return frame.Push4(result, frame.mArgc);
}

uint8_t FDistance::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FDistance::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 2 || frame.ArgWidth(1) < frame.ArgWidth(0))
        return false;
    const float* a = frame.Arg(0);
    const float* b = frame.Arg(1);
    double sum = 0.0;
    for (int k = 0; k < frame.ArgWidth(0); ++k)
    {
        float difference = a[k] - b[k];
        sum += static_cast<double>(difference) * difference;
    }
    float result[4] = {static_cast<float>(std::sqrt(sum))};
    return frame.Push4(result, 1);
}

uint8_t FOpenCycle::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FOpenCycle::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Cycle(frame, mStep, [](float n) { return n; });
}

uint8_t FClosedCycle::GetWidth(uint8_t, const uint8_t*) const
{
    return 1;
}

bool FClosedCycle::Execute(TParticleContext&, TParticleFrame& frame)
{
    return Cycle(frame, mStep, [](float n) { return n - 1.0f; });
}

uint8_t FDebug::GetWidth(uint8_t, const uint8_t*) const
{
    return 0;
}

bool FDebug::Execute(TParticleContext&, TParticleFrame& frame)
{
    TString values;
    for (int k = 0; k < frame.mArgc; ++k)
    {
        values += "(";
        const float* a = frame.Arg(k);
        for (int j = 0; j < frame.ArgWidth(k); ++j)
        {
            if (j > 0)
                values += ",";
            values += TString::Format("%f", a[j]);
        }
        values += ") ";
    }
    gFailure->Report(TString::Format("Particle Values: %s", values.c_str()).c_str());
    return true;
}

uint8_t FAlpha::GetWidth(uint8_t, const uint8_t*) const
{
    return 4;
}

bool FAlpha::Execute(TParticleContext&, TParticleFrame& frame)
{
    // The alpha is the float stacked after the colour: there must be an argument that holds it.
    if (frame.mArgc < 2 || frame.ArgWidth(0) < 3)
        return false;
    const float* colour = frame.Arg(0);
    float result[4] = {colour[0], colour[1], colour[2], colour[frame.ArgWidth(0)]};
    return frame.Push4(result, 4);
}

uint8_t FRange::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FRange::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc != 2 || frame.ArgWidth(0) != frame.ArgWidth(1))
        return false;
    const float* a = frame.Arg(0);
    const float* b = frame.Arg(1);
    uint8_t width = frame.ArgWidth(0);
    float result[4] = {};
    for (int k = 0; k < width; ++k)
        result[k] = a[k] + (b[k] - a[k]) * NextParticleFraction();
    return frame.Push4(result, width);
}

uint8_t FPick::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths);
}

bool FPick::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc < 1)
        return false;
    int pick = static_cast<int>(GetParticleRandom().NextDouble() * frame.mArgc);
    if (pick >= frame.mArgc)
        pick = frame.mArgc - 1;
    float result[4] = {};
    uint8_t width = frame.ArgWidth(pick);
    std::memcpy(result, frame.Arg(pick), width * sizeof(float));
    return frame.Push4(result, width);
}

uint8_t FFade::GetWidth(uint8_t argc, const uint8_t* widths) const
{
    return FirstWidth(argc, widths, 1);
}

bool FFade::Execute(TParticleContext&, TParticleFrame& frame)
{
    // (t, x0, d0, x1, ..., xk): an even count of at least 2, or the last value would be missing.
    int argc = frame.mArgc;
    if (argc < 2 || argc % 2 != 0)
        return false;
    float t = frame.Arg(0)[0];
    float d = 0.0f;
    int i = FindFadeSegment(
        argc, [&](int n) { return frame.Arg(n)[0]; }, t, d);
    float f = t / d;
    const float* from = frame.Arg(i);
    uint8_t width = frame.ArgWidth(i);
    float result[4] = {};
    if (i >= argc - 2)
    {
        std::memcpy(result, from, width * sizeof(float));
        return frame.Push4(result, width);
    }
    if (frame.ArgWidth(i + 2) < width)
        return false;
    const float* to = frame.Arg(i + 2);
    for (int k = 0; k < width; ++k)
        result[k] = from[k] + (to[k] - from[k]) * f;
    return frame.Push4(result, width);
}

uint8_t F2dRadius::GetWidth(uint8_t, const uint8_t*) const
{
    return 2;
}

bool F2dRadius::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc < 1 || frame.mArgc > 2 || frame.ArgWidth(0) != 1)
        return false;
    if (frame.mArgc == 2 && frame.ArgWidth(1) != 2)
        return false;
    float r = frame.Arg(0)[0];
    float u = NextParticleFraction();
    float theta = (u + u) * kPi;
    float result[2] = {static_cast<float>(std::cos(static_cast<double>(theta)) * r),
                       static_cast<float>(std::sin(static_cast<double>(theta)) * r)};
    return frame.Push(result, 2);
}

uint8_t F2dRotation::GetWidth(uint8_t, const uint8_t*) const
{
    return 2;
}

bool F2dRotation::Execute(TParticleContext&, TParticleFrame& frame)
{
    if (frame.mArgc < 1 || frame.ArgWidth(0) != 1)
        return false;
    double angle = frame.Arg(0)[0];
    float result[2] = {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
    return frame.Push(result, 2);
}

const TParticleNodeType* GetParticleNodeTypes()
{
    static const TParticleNodeType kTypes[] = {
        {"assign", Make<FAssign>},
        {"add", Make<FAdd>},
        {"sub", Make<FSub>},
        {"mul", Make<FMul>},
        {"div", Make<FDiv>},
        {"unm", Make<FUnm>},
        {"lt", Make<FLt>},
        {"fLess", Make<FLt>},
        {"le", Make<FLe>},
        {"fLessEqual", Make<FLe>},
        {"vindex", Make<FVIndex>},
        {"index", Make<FIndex>},
        {"newindex", Make<FNewIndex>},
        {"fTimeScale", Make<FTimeScale>},
        {"fAge", Make<FAge>},
        {"fExpire", Make<FExpire>},
        {"fVec", Make<FVec>},
        {"fDistance", Make<FDistance>},
        {"fOpenCycle", Make<FOpenCycle>},
        {"fClosedCycle", Make<FClosedCycle>},
        {"fDebug", Make<FDebug>},
        {"fAlpha", Make<FAlpha>},
        {"fRange", Make<FRange>},
        {"fPick", Make<FPick>},
        {"fFade", Make<FFade>},
        {"f2dRadius", Make<F2dRadius>},
        {"f2dRotation", Make<F2dRotation>},
        {nullptr, nullptr},
    };
    return kTypes;
}

TParticleNodeFactory FindParticleNodeFactory(const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (const TParticleNodeType* type = GetParticleNodeTypes(); type->mName != nullptr; ++type)
    {
        if (std::string_view(type->mName) == name)
            return type->mFactory;
    }
    return nullptr;
}
