-- Embers rising from a fire ("dCenter", offset by the owner's place "dLocus"): small orange specks
-- thrown up from the flames, drifting as they climb and dimming over their two seconds.
SetNumParticles(32)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

-- Initial values at the top level: they compile once into the program that starts a particle.
pPosition:Init(dLocus + dCenter + fRange(Vec2(-18, -4), Vec2(18, 4)))
pVelocity:Init(fRange(Vec2(-12, -70), Vec2(12, -30)))
pScale:Init(fRange(0.25, 0.6))
pColor:Init(Color(1, 0.6, 0.2, 1))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fFade(pLife, Color(1, 0.7, 0.25, 1), 2.0, Color(1, 0.3, 0.05, 0)))
Anim(fExpire(fLess(2.0, pLife)))

function Create()
end

function Update(seconds)
    if (gActive or 1) ~= 0 then
        Spawn(rate(12, seconds * 1000))
    end
end
