-- A solved puzzle's burst: warm sparks thrown up and out from the puzzle's place ("dLocus"),
-- no brighter than the runner's fade in and out ("dAlpha"). Sparks start only while the runner's
-- "gActive" is 1: before the first burst and after each one's fade, nothing is thrown.
SetNumParticles(64)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

pPosition:Init(dLocus + fRange(Vec2(-10, -10), Vec2(10, 10)))
pVelocity:Init(fRange(Vec2(-160, -200), Vec2(160, 60)))
pScale:Init(fRange(0.6, 1.1))
pColor:Init(Color(1, 0.85, 0.45, 0))
pLife:Init(0)
SetUpGravity(160)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(Color(1, 0.85, 0.45, 1) * fFade(pLife, 1, 1.2, 0) * dAlpha)
Anim(fExpire(fLess(1.2, pLife)))

function Create()
end

function Update(seconds)
    if (gActive or 0) == 1 then
        Spawn(rate(50, seconds * 1000))
    end
end
