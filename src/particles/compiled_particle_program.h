// A node program checked once for a batch of particles and run as plain float operations at fixed
// stack offsets: the node runner's results without a virtual call and a frame per node.
#pragma once

#include "particles/particle_runner.h"

#include <memory>
#include <vector>

namespace particleops
{
struct TRun;
struct TOp;
// One operation over one particle; false stops the particle's program (a failing node).
using TOpFunction = bool (*)(const TOp& op, TRun& run);

struct TOp
{
    TOpFunction mRun;
    // Float offsets into the run's stack (a member's: into the particle).
    uint16_t mDst;
    uint16_t mA;
    uint16_t mB;
    uint8_t mWidth;
    // Fades and picks: their arguments' offsets from mList in the program's lists, mB of them;
    // the value's offset for "newindex"; a call's slots from mList in the program's call slots.
    uint32_t mList;
    // A call: its instruction in the program.
    uint32_t mInstruction;
    float mValue[4];
};
} // namespace particleops

// The platform's own nodes push values whose widths follow from their arguments' widths, so over a
// batch (one member layout, one step time) every slot's width and offset is the same for every
// particle and each node can become one operation on a local float array. A node whose effect is
// not known here (an indexed read, a cycle, "fDebug", a registered function, a node type of the
// system's own, a pick or fade whose result width the draw decides) is called through the node
// interface on the runner's stack, laid out as the runner would have it; when what it pushed is
// not the width it announced, the runner runs the rest of that particle's program. Such nodes may
// change nothing on the stack but what they push, as the platform's own.
class TCompiledParticleProgram
{
public:
    // The program and the runner stay the caller's and must outlive this batch; the program must
    // not change while it lasts.
    TCompiledParticleProgram(const TParticleProgram& program, TParticleRunner& runner);
    ~TCompiledParticleProgram();
    TCompiledParticleProgram(const TCompiledParticleProgram&) = delete;
    TCompiledParticleProgram& operator=(const TCompiledParticleProgram&) = delete;

    // True when the program runs as operations; false when the runner runs it (a null node).
    bool IsCompiled() const { return mCompiled; }
    // The runner's answer for `particle`: the same floats written, the same draws from the shared
    // random generator in the same order, the same failure lines, and whether the particle is
    // still alive. Only what the runner's stack holds afterwards differs.
    bool Run(float* particle);

private:
    using TOp = particleops::TOp;

    // What a node does for every particle of the batch, as far as it is known before any runs.
    enum class TStep : uint8_t
    {
        kRuns,  // its operation is emitted (it may still fail on a particle's values)
        kFails, // it fails for every particle, or every particle goes on in the runner after it:
                // nothing after it is compiled
    };
    // The running node called through the node interface on the runner's stack.
    TStep CallOut(TParticleFunction& node, uint8_t argc);
    static bool RunCallOut(const TOp& op, particleops::TRun& run);
    // The running node's arguments are the simulated slots from mBase to mTop.
    TStep CompileNode(TParticleFunction& node, uint8_t argc);
    // A node that reads nothing but its arguments, all constants: run once, its value a constant.
    TStep Fold(TParticleFunction& node, uint8_t argc);
    // Makes slot mBase `width` wide, its value written there by the operation just emitted, and
    // moves mBase past it; false where the runner's push is refused (a width outside 1..4, no
    // slot left).
    bool PushSlot(uint8_t width);
    // The same for a value known now, kept with the constants instead of written on every run.
    bool PushConstant(const float* values, uint8_t width);
    // A constant slot's floats written into the slot itself, for a node that reads past its
    // arguments' own floats.
    void Materialise(uint8_t slot);
    bool IsConstant(uint8_t slot) const;
    TOp& Emit(particleops::TOpFunction run, uint8_t width, uint16_t a = 0, uint16_t b = 0);

    const TParticleProgram& mProgram;
    TParticleRunner& mRunner;
    std::vector<TOp> mOps;
    // The run's stack floats, then the constants.
    std::vector<float> mMemory;
    std::vector<uint16_t> mLists;
    // For each call: every slot below its top as (source, offset, width), then the top's offset.
    std::vector<uint16_t> mCallSlots;
    uint32_t mMilliseconds;
    uint32_t mFloatCount;
    bool mCompiled = false;

    // The simulated stack while compiling: slot widths and offsets, the running node's arguments.
    uint8_t mWidths[TParticleStack::kSlots] = {};
    uint16_t mSlotOffsets[TParticleStack::kSlots + 1] = {};
    // Where each slot's floats are: its offset, or a constant's in mMemory.
    uint16_t mSources[TParticleStack::kSlots] = {};
    uint8_t mBase = 0;
    uint8_t mTop = 0;
    uint32_t mInstruction = 0;
    std::unique_ptr<TParticleStack> mFoldStack;
    std::unique_ptr<TParticleContext> mFoldContext;
};
