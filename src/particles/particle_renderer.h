// TParticleRenderer: what a particle system needs of whatever draws its particles, and the fixed
// members it puts at the front of every particle.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <list>
#include <memory>

class TTexture;

class TParticleRenderer
{
public:
    virtual ~TParticleRenderer();
    // Draws the live particles (blocks of floats) offset by `position`; nothing at capacity 0.
    virtual void Draw(const TVec3& position, float alpha, std::list<float*>& live,
                      int capacity) = 0;
    // An empty reference draws untextured.
    virtual void SetTexture(const std::shared_ptr<TTexture>& texture) = 0;
    // `values` points to four floats.
    virtual void SetOption(const TString& name, const float* values) = 0;
    // The record copied into each new particle: GetParticleWidth() floats.
    virtual const float* GetDefaultParticle() = 0;
    virtual int GetParticleWidth() = 0;
    // Script text that allocates the renderer's members, run before anything else allocates.
    virtual TString GetInitString() = 0;
};
