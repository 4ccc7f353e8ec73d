// The program runner: one node program over one particle, with the value stack and the particle
// context held by the runner, which the caller keeps on its own stack for a whole batch.
#pragma once

#include "particles/particle_function.h"

class TParticleRunner
{
public:
    // One batch: the particles' member widths in allocation order, the step's milliseconds (0 for
    // init runs) and the registered functions (may be null).
    TParticleRunner(const uint8_t* memberWidths, uint32_t memberCount, uint32_t milliseconds,
                    TParticleFunctionTable* functions);

    // Runs the program over `particle` from an empty frame with the particle alive; a failing node
    // skips the rest of the program for this particle only. Answers whether it is still alive.
    bool Run(const TParticleProgram& program, float* particle);
    // Runs the program's instructions from `next` on, over the context's particle, with the stack's
    // slots below `top` as an earlier part of the run left them. Answers whether it is alive.
    bool Continue(const TParticleProgram& program, size_t next, uint8_t top);

    TParticleFunctionTable* GetFunctions() const { return mFunctions; }

    TParticleStack& GetStack() { return mStack; }
    TParticleContext& GetContext() { return mContext; }

private:
    TParticleStack mStack;
    TParticleContext mContext;
    TParticleFunctionTable* mFunctions;
};
