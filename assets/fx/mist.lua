-- Mist drifting over the travel map: pale puffs anywhere on the picture, offset by the map's
-- particle place ("dLocus"), creeping to the right and fading in and out over their seven seconds.
SetNumParticles(24)
SetTexture("fx/puff")
SetBlendMode(kBlendNormal)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

-- Initial values at the top level: they compile once into the program that starts a particle.
pPosition:Init(dLocus + fRange(Vec2(-60, 0), Vec2(800, 600)))
pVelocity:Init(fRange(Vec2(6, -3), Vec2(16, 3)))
pScale:Init(fRange(1.5, 3))
pColor:Init(Color(0.85, 0.88, 0.95, 0))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(Color(0.85, 0.88, 0.95, 0.16) * fFade(pLife, 0, 2, 1, 3, 1, 2, 0))
Anim(fExpire(fLess(7, pLife)))

function Create()
end

function Update(seconds)
    Spawn(rate(3, seconds * 1000))
end
