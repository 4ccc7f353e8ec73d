// Compiling a node program over a simulated stack into float operations, and running them with the
// nodes' own arithmetic, checks and order of random draws.
#include "particles/compiled_particle_program.h"

#include "particles/particle_nodes.h"
#include "particles/particle_random.h"
#include "platform/maths/random.h"

#include <cmath>
#include <cstring>
#include <typeinfo>

namespace
{
constexpr float kPi = 3.1415927410125732f;
// Slot 254 starts at most 4 x 254 floats in, and a constant writes all four of its floats.
constexpr size_t kStackFloats = TParticleStack::kSlots * TParticleStack::kMaxWidth + 4;
// Offsets are 16-bit: constants beyond this are written into their slots instead.
constexpr size_t kMaxMemoryFloats = 65535;

// The particle index a float names, or -1, as the nodes read it.
int64_t ParticleIndex(float value)
{
    int32_t index = TruncateParticleIndex(value);
    return index < 0 ? -1 : index;
}

// Exactly this class: a subclass may run differently.
template <typename T> const T* As(const TParticleFunction& node)
{
    return typeid(node) == typeid(T) ? static_cast<const T*>(&node) : nullptr;
}

template <typename T> bool IsA(const TParticleFunction& node)
{
    return typeid(node) == typeid(T);
}
} // namespace

namespace particleops
{
struct TRun
{
    // The stack's floats, then the program's constants.
    float* mStack;
    float* mParticle;
    const uint16_t* mLists;
    TCompiledParticleProgram* mOwner;
    double mMilliseconds;
    uint32_t mFloatCount;
    bool mAlive;
};

namespace
{
// Width-specialised operations: a loop of a known count of one to four floats unrolls into plain
// moves, where a loop of a stored count became a call to a block copy.
template <int W> bool Member(const TOp& op, TRun& run)
{
    for (int k = 0; k < W; ++k)
        run.mStack[op.mDst + k] = run.mParticle[op.mA + k];
    return true;
}

// A constant written into a slot below the top: exactly its own floats.
template <int W> bool Fill(const TOp& op, TRun& run)
{
    for (int k = 0; k < W; ++k)
        run.mStack[op.mDst + k] = op.mValue[k];
    return true;
}

template <int W> bool Assign(const TOp& op, TRun& run)
{
    int64_t index = ParticleIndex(run.mStack[op.mB]);
    if (index < 0 || index + W > run.mFloatCount)
        return false;
    for (int k = 0; k < W; ++k)
        run.mParticle[index + k] = run.mStack[op.mA + k];
    return true;
}

// An assign whose index is a constant checked when compiling: mB is the particle offset.
template <int W> bool AssignAt(const TOp& op, TRun& run)
{
    for (int k = 0; k < W; ++k)
        run.mParticle[op.mB + k] = run.mStack[op.mA + k];
    return true;
}

template <int W> bool Add(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = s[op.mA + k] + s[op.mB + k];
    return true;
}

template <int W> bool Sub(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = s[op.mA + k] - s[op.mB + k];
    return true;
}

template <int W> bool Mul(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    float scalar = s[op.mB];
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = s[op.mA + k] * scalar;
    return true;
}

template <int W> bool Div(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    float scalar = s[op.mB];
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = s[op.mA + k] / scalar;
    return true;
}

template <int W> bool Unm(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = -s[op.mA + k];
    return true;
}

template <int W> bool TimeScale(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    for (int k = 0; k < W; ++k)
        s[op.mDst + k] = static_cast<float>(s[op.mA + k] * run.mMilliseconds / 1000.0);
    return true;
}

// The four widths of a width-specialised operation.
#define MW_BY_WIDTH(Op)                                                                            \
    {                                                                                              \
        Op<1>, Op<2>, Op<3>, Op<4>                                                                 \
    }
constexpr TOpFunction kMember[4] = MW_BY_WIDTH(Member);
constexpr TOpFunction kFill[4] = MW_BY_WIDTH(Fill);
constexpr TOpFunction kAssign[4] = MW_BY_WIDTH(Assign);
constexpr TOpFunction kAssignAt[4] = MW_BY_WIDTH(AssignAt);
constexpr TOpFunction kAdd[4] = MW_BY_WIDTH(Add);
constexpr TOpFunction kSub[4] = MW_BY_WIDTH(Sub);
constexpr TOpFunction kMul[4] = MW_BY_WIDTH(Mul);
constexpr TOpFunction kDiv[4] = MW_BY_WIDTH(Div);
constexpr TOpFunction kUnm[4] = MW_BY_WIDTH(Unm);
constexpr TOpFunction kTimeScale[4] = MW_BY_WIDTH(TimeScale);
#undef MW_BY_WIDTH

// A value pushed at the top: all four floats, as the nodes push, past its width only above it.
bool Const(const TOp& op, TRun& run)
{
    float* dst = run.mStack + op.mDst;
    dst[0] = op.mValue[0];
    dst[1] = op.mValue[1];
    dst[2] = op.mValue[2];
    dst[3] = op.mValue[3];
    return true;
}

// The colour's first three floats and the float stacked after the colour, the first of mB.
bool Alpha(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    float r[4] = {s[op.mA], s[op.mA + 1], s[op.mA + 2], s[op.mB]};
    for (int k = 0; k < 4; ++k)
        s[op.mDst + k] = r[k];
    return true;
}

bool Lt(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    s[op.mDst] = s[op.mA] < s[op.mB] ? 1.0f : 0.0f;
    return true;
}

bool Le(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    s[op.mDst] = s[op.mA] <= s[op.mB] ? 1.0f : 0.0f;
    return true;
}

bool Expire(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    // NaN is not equal to 0: it ends the particle.
    if (!(s[op.mA] == 0.0f))
    {
        run.mAlive = false;
        s[op.mDst] = 1.0f;
    }
    else
    {
        s[op.mDst] = 0.0f;
    }
    return true;
}

bool Distance(const TOp& op, TRun& run)
{
    const float* a = run.mStack + op.mA;
    const float* b = run.mStack + op.mB;
    double sum = 0.0;
    for (int k = 0; k < op.mWidth; ++k)
    {
        float difference = a[k] - b[k];
        sum += static_cast<double>(difference) * difference;
    }
    run.mStack[op.mDst] = static_cast<float>(std::sqrt(sum));
    return true;
}

bool Fade(const TOp& op, TRun& run)
{
    const float* s = run.mStack;
    const uint16_t* args = run.mLists + op.mList;
    int argc = op.mB;
    float t = s[args[0]];
    float d = 0.0f;
    int i = FindFadeSegment(
        argc, [&](int n) { return s[args[n]]; }, t, d);
    float f = t / d;
    const float* from = s + args[i];
    float result[4];
    if (i >= argc - 2)
    {
        for (int k = 0; k < op.mWidth; ++k)
            result[k] = from[k];
    }
    else
    {
        const float* to = s + args[i + 2];
        for (int k = 0; k < op.mWidth; ++k)
            result[k] = from[k] + (to[k] - from[k]) * f;
    }
    for (int k = 0; k < op.mWidth; ++k)
        run.mStack[op.mDst + k] = result[k];
    return true;
}

bool Range(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    for (int k = 0; k < op.mWidth; ++k)
        s[op.mDst + k] = s[op.mA + k] + (s[op.mB + k] - s[op.mA + k]) * NextParticleFraction();
    return true;
}

bool Pick(const TOp& op, TRun& run)
{
    int argc = op.mB;
    int pick = static_cast<int>(GetParticleRandom().NextDouble() * argc);
    if (pick >= argc)
        pick = argc - 1;
    std::memmove(run.mStack + op.mDst, run.mStack + run.mLists[op.mList + pick],
                 op.mWidth * sizeof(float));
    return true;
}

bool Radius(const TOp& op, TRun& run)
{
    float r = run.mStack[op.mA];
    float u = NextParticleFraction();
    float theta = (u + u) * kPi;
    run.mStack[op.mDst] = static_cast<float>(std::cos(static_cast<double>(theta)) * r);
    run.mStack[op.mDst + 1] = static_cast<float>(std::sin(static_cast<double>(theta)) * r);
    return true;
}

bool Rotation(const TOp& op, TRun& run)
{
    double angle = run.mStack[op.mA];
    run.mStack[op.mDst] = static_cast<float>(std::cos(angle));
    run.mStack[op.mDst + 1] = static_cast<float>(std::sin(angle));
    return true;
}

bool NewIndex(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    int64_t base = ParticleIndex(s[op.mA]);
    if (base < 0)
        return false;
    int64_t index = base + static_cast<int64_t>(TruncateParticleIndex(s[op.mB])) - 1;
    if (index < 0 || index >= run.mFloatCount)
        return false;
    float value = s[op.mList];
    run.mParticle[index] = value;
    s[op.mDst] = value;
    return true;
}

bool VIndex(const TOp& op, TRun& run)
{
    float* s = run.mStack;
    // Key 1 is the first component; key 0 wraps to a huge unsigned index.
    uint32_t i = static_cast<uint32_t>(static_cast<int64_t>(TruncateParticleIndex(s[op.mB])) - 1);
    if (i >= op.mWidth)
        return false;
    s[op.mDst] = s[op.mA + i];
    return true;
}
} // namespace
} // namespace particleops

TCompiledParticleProgram::TCompiledParticleProgram(const TParticleProgram& program,
                                                   TParticleRunner& runner)
    : mProgram(program), mRunner(runner), mMilliseconds(runner.GetContext().mMilliseconds),
      mFloatCount(runner.GetContext().GetFloatCount())
{
    mOps.reserve(program.size());
    mMemory.assign(kStackFloats, 0.0f);
    for (const TParticleInstruction& instruction : program)
    {
        if (!instruction.mNode)
        {
            mOps.clear();
            return;
        }
        uint8_t argc = instruction.mArgc;
        // Too few values stacked: the runner stops every particle here.
        if (mTop < argc)
            break;
        mBase = static_cast<uint8_t>(mTop - argc);
        if (CompileNode(*instruction.mNode, argc) == TStep::kFails)
            break;
        mTop = mBase;
        ++mInstruction;
    }
    mCompiled = true;
}

TCompiledParticleProgram::~TCompiledParticleProgram() = default;

bool TCompiledParticleProgram::PushSlot(uint8_t width)
{
    if (width < 1 || width > TParticleStack::kMaxWidth || mBase >= TParticleStack::kSlots)
        return false;
    mWidths[mBase] = width;
    mSlotOffsets[mBase + 1] = static_cast<uint16_t>(mSlotOffsets[mBase] + width);
    mSources[mBase] = mSlotOffsets[mBase];
    ++mBase;
    return true;
}

bool TCompiledParticleProgram::PushConstant(const float* values, uint8_t width)
{
    if (width < 1 || width > TParticleStack::kMaxWidth || mBase >= TParticleStack::kSlots)
        return false;
    uint8_t slot = mBase;
    if (mMemory.size() + width <= kMaxMemoryFloats)
    {
        uint16_t at = static_cast<uint16_t>(mMemory.size());
        mMemory.insert(mMemory.end(), values, values + width);
        PushSlot(width);
        mSources[slot] = at;
        return true;
    }
    // No room left for constants: this one is written into its slot on every run.
    TOp& op = Emit(particleops::Const, width);
    std::memcpy(op.mValue, values, width * sizeof(float));
    return PushSlot(width);
}

void TCompiledParticleProgram::Materialise(uint8_t slot)
{
    if (mSources[slot] == mSlotOffsets[slot])
        return;
    TOp op = {};
    op.mRun = particleops::kFill[mWidths[slot] - 1];
    op.mWidth = mWidths[slot];
    op.mDst = mSlotOffsets[slot];
    std::memcpy(op.mValue, mMemory.data() + mSources[slot], mWidths[slot] * sizeof(float));
    mOps.push_back(op);
    mSources[slot] = mSlotOffsets[slot];
}

bool TCompiledParticleProgram::IsConstant(uint8_t slot) const
{
    return mSources[slot] >= kStackFloats;
}

TCompiledParticleProgram::TOp& TCompiledParticleProgram::Emit(particleops::TOpFunction run,
                                                              uint8_t width, uint16_t a, uint16_t b)
{
    TOp op = {};
    op.mRun = run;
    op.mWidth = width;
    op.mDst = mSlotOffsets[mBase];
    op.mA = a;
    op.mB = b;
    mOps.push_back(op);
    return mOps.back();
}

TCompiledParticleProgram::TStep TCompiledParticleProgram::Fold(TParticleFunction& node,
                                                               uint8_t argc)
{
    // The node itself runs over its constant arguments laid out as the runner lays them out; what
    // it pushes is the same for every particle.
    if (!mFoldStack)
    {
        mFoldStack = std::make_unique<TParticleStack>();
        mFoldContext = std::make_unique<TParticleContext>(mRunner.GetContext());
        mFoldContext->mParticle = nullptr;
    }
    TParticleFrame frame;
    frame.mStack = mFoldStack.get();
    for (int k = 0; k < argc; ++k)
        frame.Push(mMemory.data() + mSources[mBase + k], mWidths[mBase + k]);
    frame.mBase = 0;
    frame.mTop = argc;
    frame.mArgc = argc;
    if (!node.Execute(*mFoldContext, frame))
        return TStep::kFails;
    // Every node folded pushes one value into the first slot.
    const TParticleStack& stack = *mFoldStack;
    return PushConstant(stack.mData + stack.mOffsets[0], stack.mWidths[0]) ? TStep::kRuns
                                                                           : TStep::kFails;
}

TCompiledParticleProgram::TStep TCompiledParticleProgram::CompileNode(TParticleFunction& node,
                                                                      uint8_t argc)
{
    using namespace particleops;
    const uint8_t* w = mWidths + mBase;
    // Where each argument's floats are read: its stack slot, or the constants.
    const uint16_t* src = mSources + mBase;
    auto pushed = [&](uint8_t width) { return PushSlot(width) ? TStep::kRuns : TStep::kFails; };

    if (auto* push = As<FPush<float>>(node))
        return PushConstant(&push->mValue, 1) ? TStep::kRuns : TStep::kFails;
    if (auto* push = As<FPush<TVec2>>(node))
        return PushConstant(&push->mValue.x, 2) ? TStep::kRuns : TStep::kFails;
    if (auto* push = As<FPush<TVec3>>(node))
        return PushConstant(&push->mValue.x, 3) ? TStep::kRuns : TStep::kFails;
    if (auto* push = As<FPush<TVec4>>(node))
        return PushConstant(&push->mValue.x, 4) ? TStep::kRuns : TStep::kFails;
    if (auto* member = As<FGetParticleParam>(node))
    {
        if (member->mBase < 0)
            return CallOut(node, argc);
        if (static_cast<uint32_t>(member->mBase) + member->mSize > mFloatCount)
            return TStep::kFails;
        if (member->mSize < 1 || member->mSize > TParticleStack::kMaxWidth ||
            mBase >= TParticleStack::kSlots)
            return TStep::kFails;
        Emit(kMember[member->mSize - 1], member->mSize, static_cast<uint16_t>(member->mBase));
        return pushed(member->mSize);
    }

    bool pure = IsA<FAdd>(node) || IsA<FSub>(node) || IsA<FMul>(node) || IsA<FDiv>(node) ||
                IsA<FUnm>(node) || IsA<FLt>(node) || IsA<FLe>(node) || IsA<FTimeScale>(node) ||
                IsA<FAge>(node) || IsA<FVec>(node) || IsA<FDistance>(node) || IsA<FAlpha>(node) ||
                IsA<FFade>(node) || IsA<FVIndex>(node);
    if (pure)
    {
        bool constant = true;
        for (int k = 0; k < argc; ++k)
            constant = constant && IsConstant(static_cast<uint8_t>(mBase + k));
        if (constant)
            return Fold(node, argc);
    }

    if (IsA<FAssign>(node))
    {
        if (argc != 3)
            return TStep::kFails;
        if (!IsConstant(static_cast<uint8_t>(mBase + 1)))
        {
            Emit(kAssign[w[0] - 1], w[0], src[0], src[1]);
            return TStep::kRuns;
        }
        int64_t index = ParticleIndex(mMemory[src[1]]);
        if (index < 0 || index + w[0] > mFloatCount)
            return TStep::kFails;
        Emit(kAssignAt[w[0] - 1], w[0], src[0], static_cast<uint16_t>(index));
        return TStep::kRuns;
    }
    if (IsA<FAdd>(node) || IsA<FSub>(node))
    {
        if (argc != 2 || w[1] < w[0])
            return TStep::kFails;
        Emit((IsA<FAdd>(node) ? kAdd : kSub)[w[0] - 1], w[0], src[0], src[1]);
        return pushed(w[0]);
    }
    if (IsA<FMul>(node) || IsA<FDiv>(node))
    {
        if (argc != 2 || w[1] != 1)
            return TStep::kFails;
        Emit((IsA<FMul>(node) ? kMul : kDiv)[w[0] - 1], w[0], src[0], src[1]);
        return pushed(w[0]);
    }
    if (IsA<FUnm>(node) || IsA<FTimeScale>(node))
    {
        if (argc != 1)
            return TStep::kFails;
        Emit((IsA<FUnm>(node) ? kUnm : kTimeScale)[w[0] - 1], w[0], src[0]);
        return pushed(w[0]);
    }
    if (IsA<FLt>(node) || IsA<FLe>(node))
    {
        if (argc != 2 || w[0] != 1 || w[1] != 1)
            return TStep::kFails;
        Emit(IsA<FLt>(node) ? Lt : Le, 1, src[0], src[1]);
        return pushed(1);
    }
    if (IsA<FAge>(node))
        return TStep::kFails; // with arguments: folded above when it has none
    if (IsA<FExpire>(node))
    {
        if (argc != 1 || w[0] != 1)
            return TStep::kFails;
        Emit(Expire, 1, src[0]);
        return pushed(1);
    }
    if (IsA<FVec>(node))
    {
        // The first argc stacked floats, across the arguments, are already where the result
        // goes once every argument is in its slot.
        if (argc < 1 || argc > 4)
            return TStep::kFails;
        for (int k = 0; k < argc; ++k)
            Materialise(static_cast<uint8_t>(mBase + k));
        return pushed(argc);
    }
    if (IsA<FDistance>(node))
    {
        if (argc != 2 || w[1] < w[0])
            return TStep::kFails;
        Emit(Distance, w[0], src[0], src[1]);
        return pushed(1);
    }
    if (IsA<FAlpha>(node))
    {
        // The alpha is the float stacked right after the colour: the second argument's first.
        if (argc < 2 || w[0] < 3)
            return TStep::kFails;
        Emit(Alpha, 4, src[0], src[1]);
        return pushed(4);
    }
    if (IsA<FFade>(node) || IsA<FPick>(node))
    {
        bool fade = IsA<FFade>(node);
        if (fade ? (argc < 2 || argc % 2 != 0) : argc < 1)
            return TStep::kFails;
        // The result is as wide as the value the particle's numbers select: compiled only when
        // every value it may select has one width.
        int first = fade ? 1 : 0;
        int stride = fade ? 2 : 1;
        for (int k = first; k < argc; k += stride)
        {
            if (w[k] != w[first])
                return CallOut(node, argc);
        }
        TOp& op = Emit(fade ? Fade : Pick, w[first], 0, argc);
        op.mList = static_cast<uint32_t>(mLists.size());
        mLists.insert(mLists.end(), src, src + argc);
        return pushed(w[first]);
    }
    if (IsA<FRange>(node))
    {
        if (argc != 2 || w[0] != w[1])
            return TStep::kFails;
        Emit(Range, w[0], src[0], src[1]);
        return pushed(w[0]);
    }
    if (IsA<F2dRadius>(node))
    {
        if (argc < 1 || argc > 2 || w[0] != 1 || (argc == 2 && w[1] != 2))
            return TStep::kFails;
        Emit(Radius, 2, src[0]);
        return pushed(2);
    }
    if (IsA<F2dRotation>(node))
    {
        if (argc < 1 || w[0] != 1)
            return TStep::kFails;
        Emit(Rotation, 2, src[0]);
        return pushed(2);
    }
    if (IsA<FNewIndex>(node))
    {
        if (argc != 3 || w[0] != 1 || w[1] != 1 || w[2] != 1)
            return TStep::kFails;
        TOp& op = Emit(NewIndex, 1, src[0], src[1]);
        op.mList = src[2];
        return pushed(1);
    }
    if (IsA<FVIndex>(node))
    {
        if (argc != 2)
            return TStep::kFails;
        Emit(VIndex, w[0], src[0], src[1]);
        return pushed(1);
    }
    return CallOut(node, argc);
}

TCompiledParticleProgram::TStep TCompiledParticleProgram::CallOut(TParticleFunction& node,
                                                                  uint8_t argc)
{
    // The width the node announces for these arguments is the one the compile goes on with.
    uint8_t width = node.GetWidth(argc, mWidths + mBase);
    int top = mBase + argc;
    TOp& op = Emit(RunCallOut, width, mBase, argc);
    op.mInstruction = mInstruction;
    op.mList = static_cast<uint32_t>(mCallSlots.size());
    for (int slot = 0; slot < top; ++slot)
    {
        mCallSlots.push_back(mSources[slot]);
        mCallSlots.push_back(mSlotOffsets[slot]);
        mCallSlots.push_back(mWidths[slot]);
    }
    mCallSlots.push_back(mSlotOffsets[top]);
    if (width == 0)
        return TStep::kRuns;
    // A width no push gives, or no slot left: every particle goes on in the runner after it.
    return PushSlot(width) ? TStep::kRuns : TStep::kFails;
}

bool TCompiledParticleProgram::RunCallOut(const TOp& op, particleops::TRun& run)
{
    TCompiledParticleProgram& self = *run.mOwner;
    TParticleStack& stack = self.mRunner.GetStack();
    TParticleContext& context = self.mRunner.GetContext();
    const uint16_t* slots = self.mCallSlots.data() + op.mList;
    int base = op.mA;
    int top = base + op.mB;
    for (int slot = 0; slot < top; ++slot)
    {
        const uint16_t* entry = slots + 3 * slot;
        stack.mWidths[slot] = static_cast<uint8_t>(entry[2]);
        stack.mOffsets[slot] = entry[1];
        std::memcpy(stack.mData + entry[1], run.mStack + entry[0], entry[2] * sizeof(float));
    }
    stack.mOffsets[top] = slots[3 * top];
    stack.mCount = static_cast<uint32_t>(top);
    context.mParticle = run.mParticle;
    context.mAlive = run.mAlive;
    TParticleFrame frame;
    frame.mSystem = self.mRunner.GetFunctions();
    frame.mStack = &stack;
    frame.mBase = static_cast<uint8_t>(base);
    frame.mTop = static_cast<uint8_t>(top);
    frame.mArgc = static_cast<uint8_t>(op.mB);
    if (!self.mProgram[op.mInstruction].mNode->Execute(context, frame))
    {
        run.mAlive = context.mAlive;
        return false;
    }
    int width = op.mWidth;
    bool asCompiled = width == 0 ? frame.mBase == base
                                 : frame.mBase == base + 1 && stack.mWidths[base] == width &&
                                       stack.mOffsets[base] == op.mDst;
    if (!asCompiled)
    {
        run.mAlive = self.mRunner.Continue(self.mProgram, op.mInstruction + 1, frame.mBase);
        return false;
    }
    std::memcpy(run.mStack + op.mDst, stack.mData + op.mDst, width * sizeof(float));
    run.mAlive = context.mAlive;
    return true;
}

bool TCompiledParticleProgram::Run(float* particle)
{
    if (!mCompiled)
        return mRunner.Run(mProgram, particle);
    // Every stack float an operation reads was written earlier in this run: the simulated slots
    // below the top are the ones this run pushed, or constants.
    particleops::TRun run = {
        mMemory.data(), particle, mLists.data(), this, static_cast<double>(mMilliseconds),
        mFloatCount,    true};
    for (const TOp& op : mOps)
    {
        if (!op.mRun(op, run))
            break;
    }
    return run.mAlive;
}
