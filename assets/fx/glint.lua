-- A glint of small sparks about the owner's place ("dLocus"), made only while the owner's
-- "gActive" is 1: the idle mini hint over an item, the trail of a flying hint token. Switched off,
-- the last sparks fade and the effect runs out.
SetNumParticles(32)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

pPosition:Init(dLocus + fRange(Vec2(-14, -14), Vec2(14, 14)))
pVelocity:Init(fRange(Vec2(-18, -30), Vec2(18, 6)))
pScale:Init(fRange(0.3, 0.6))
pColor:Init(Color(1, 0.95, 0.8, 0))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(Color(1, 0.95, 0.8, 0.9) * fFade(pLife, 1, 0.9, 0))
Anim(fExpire(fLess(0.9, pLife)))

function Create()
end

function Update(seconds)
    if gActive == 1 then
        Spawn(rate(24, seconds * 1000))
    end
end
