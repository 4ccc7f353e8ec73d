// The process-wide pointer to the particle systems' shared generator.
#include "particles/particle_random.h"

#include "platform/random.h"

namespace
{
TRandom* sInstalled = nullptr;
}

TRandom& GetParticleRandom()
{
    if (sInstalled != nullptr)
        return *sInstalled;
    static TRandom sFallback;
    return sFallback;
}

void SetParticleRandom(TRandom* random)
{
    sInstalled = random;
}
