// The one random generator that every particle system's nodes draw from, owned by the systems.
#pragma once

class TRandom;

// The installed generator; while none is installed, a fixed-seed generator of this module's own,
// so a node never draws from nothing.
TRandom& GetParticleRandom();
// Installs `random` (null uninstalls); the owner keeps it alive while it is installed.
void SetParticleRandom(TRandom* random);
// A fraction in [0, 1) from the installed generator: its next output scaled just under 2^-32,
// rounded to float.
float NextParticleFraction();
