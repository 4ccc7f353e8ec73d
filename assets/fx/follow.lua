-- The wake of the travel vignette's boat: small bright drops left where the boat is ("dLocus"),
-- falling behind it and fading, no more visible than the vignette's layers ("dAlpha").
SetNumParticles(32)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

pPosition:Init(dLocus + fRange(Vec2(-6, -3), Vec2(6, 3)))
pVelocity:Init(fRange(Vec2(-40, -6), Vec2(-15, 6)))
pScale:Init(fRange(0.3, 0.7))
pColor:Init(Color(0.8, 0.9, 1, 0))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(Color(0.8, 0.9, 1, 0.8) * fFade(pLife, 1, 1.2, 0) * dAlpha)
Anim(fExpire(fLess(1.2, pLife)))

function Create()
end

function Update(seconds)
    Spawn(rate(20, seconds * 1000))
end
