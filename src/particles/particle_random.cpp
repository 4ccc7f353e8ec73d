// The process-wide pointer to the particle systems' shared generator.
#include "particles/particle_random.h"

#include "platform/maths/random.h"

namespace
{
TRandom* sInstalled = nullptr;
constexpr double kRandomFactor = 2.3283063671497593e-10;
} // namespace

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

float NextParticleFraction()
{
    return static_cast<float>(GetParticleRandom().Next() * kRandomFactor);
}
