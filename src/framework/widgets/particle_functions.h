// The framework's particle nodes: sine, weighted random choice, normalising, colour lightening, a
// constant vector the program supplies and a random point on a polyline. Their seeds come from the
// frame clock (DeltaTime). Also the reading of a description's "functions" and "data" tables.
#pragma once

#include "particles/particle_nodes.h"
#include "platform/maths/geometry.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"

#include <memory>
#include <vector>

class TLuaParticleSystem;
class TLuaTable;

// A random fraction in [0, 1): the next 32 bits times (1 - 2^-25) / 2^32, as a float.
float ParticleFraction(TRandom& random);

// fSin(x): sin x, x in radians.
class ParticleSin : public TParticleFunction
{
    MW_PARTICLE_NODE(ParticleSin)
    static std::shared_ptr<TParticleFunction> Create();
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;
};

// fRandom(value 1, weight 1, value 2, weight 2, ...): one value, chosen in proportion to the
// weights.
class ParticleRandom : public TParticleFunction
{
    MW_PARTICLE_NODE(ParticleRandom)
    // Seeded with the clock's frame time.
    ParticleRandom();
    static std::shared_ptr<TParticleFunction> Create();
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    TRandom mRandom;
};

// fNormalize(v): v over its length; a zero vector stays as it is.
class ParticleNormalize : public TParticleFunction
{
    MW_PARTICLE_NODE(ParticleNormalize)
    static std::shared_ptr<TParticleFunction> Create();
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;
};

// ColorAdjust(lo, hi, colour): the colour's r, g, b moved toward white by a random share between
// lo and hi.
class ParticleColorAdjust : public TParticleFunction
{
    MW_PARTICLE_NODE(ParticleColorAdjust)
    // Seeded with the last frame's step.
    ParticleColorAdjust();
    static std::shared_ptr<TParticleFunction> Create();
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    TRandom mRandom;
};

// A constant of `mWidth` floats that its owner may change at any time; registered under a name.
// Any width but 1 to 4 makes the programs that read it fail.
class ParticleVector : public TParticleFunction
{
public:
    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    float mValue[4] = {0, 0, 0, 0};
    uint8_t mWidth = 0;
};

// A random point on a polyline, spread evenly along its length, plus `mOffset`.
class ParticlePathRandom : public TParticleFunction
{
public:
    // "{x,y,x,y,...," : the first character is skipped, numbers are read in pairs. A final y
    // without its comma is still read; a lone x is dropped. Reseeds with the last frame's step.
    void SetPath(const TString& text);
    // The name other parts of the framework know it by.
    void ParsePoint(const TString& text) { SetPath(text); }

    uint8_t GetWidth(uint8_t argc, const uint8_t* widths) const override;
    // A path of fewer than two points or of no length answers its first point (none: the offset).
    bool Execute(TParticleContext& context, TParticleFrame& frame) override;

    std::vector<TVec2> mPoints;
    std::vector<float> mCumulative;
    TVec2 mOffset = TVec2(0, 0);
    TRandom mRandom;
};

// The node types a description's "functions" may name: "fSin", "fNormalize", "fRandom"; null
// for any other name.
TParticleNodeFactory FindParticleNodeType(const TString& name);
// Registers with the system each known node type that "functions" names (others are passed
// over silently) and, for each entry of "data" (key -> array of numbers), a constant vector
// under the entry's key: its width is the array's length, its values the array's numbers when
// there are 1 to 4 of them. The vectors are appended to `vectors`, which must outlive the
// system. Either table may be null.
void RegisterParticleTables(TLuaParticleSystem& system, const TLuaTable* functions,
                            const TLuaTable* data,
                            std::vector<std::shared_ptr<ParticleVector>>& vectors);
