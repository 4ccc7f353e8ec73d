// Running a program: each instruction takes its arguments from the top of the stack, runs, and
// leaves the stack's top just past what it pushed.
#include "particles/particle_runner.h"

TParticleRunner::TParticleRunner(const uint8_t* memberWidths, uint32_t memberCount,
                                 uint32_t milliseconds, TParticleFunctionTable* functions)
    : mContext(memberWidths, memberCount, milliseconds), mFunctions(functions)
{
}

bool TParticleRunner::Run(const TParticleProgram& program, float* particle)
{
    mContext.mParticle = particle;
    mContext.mAlive = true;
    return Continue(program, 0, 0);
}

bool TParticleRunner::Continue(const TParticleProgram& program, size_t next, uint8_t top)
{
    TParticleFrame frame;
    frame.mSystem = mFunctions;
    frame.mStack = &mStack;
    // The top is kept here as well as in the frame, so each step only stores the frame's fields
    // (what SetArguments would set) instead of reading back what it just wrote.
    for (size_t i = next; i < program.size(); ++i)
    {
        const TParticleInstruction& instruction = program[i];
        uint8_t argc = instruction.mArgc;
        // Fewer values stacked than the node takes: it would read stale slots, so it fails.
        if (top < argc)
            break;
        frame.mTop = top;
        frame.mBase = static_cast<uint8_t>(top - argc);
        frame.mArgc = argc;
        if (!instruction.mNode->Execute(mContext, frame))
            break;
        top = frame.mBase;
    }
    return mContext.mAlive;
}
