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
    TParticleFrame frame;
    frame.mSystem = mFunctions;
    frame.mStack = &mStack;
    mContext.mParticle = particle;
    mContext.mAlive = true;
    for (const TParticleInstruction& instruction : program)
    {
        // Fewer values stacked than the node takes: it would read stale slots, so it fails.
        if (frame.mTop < instruction.mArgc)
            break;
        frame.SetArguments(instruction.mArgc);
        if (!instruction.mNode->Execute(mContext, frame))
            break;
        frame.mTop = frame.mBase;
    }
    return mContext.mAlive;
}
