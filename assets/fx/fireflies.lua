-- Fireflies over the main menu: soft specks spread about the middle of the screen ("dCenter"),
-- rising slowly, swaying on a sine and blinking, each glowing in and out over its six seconds.
-- "fSin" and "fRandom" are the window's own functions.
SetNumParticles(48)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)
pPhase = Allocate(1)

local rate = NewParticleGenerator()

-- Initial values at the top level: they compile once into the program that starts a particle.
pPosition:Init(dCenter + fRange(Vec2(-380, -250), Vec2(380, 270)))
pVelocity:Init(fRange(Vec2(-10, -22), Vec2(10, -6)))
pPhase:Init(fRange(0, 6.28))
pScale:Init(fRandom(0.7, 3, 1.1, 1))
pColor:Init(Color(1, 0.9, 0.5, 0))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity + Vec2(1, 0) * (fSin(pPhase + pLife * 1.3) * 16)))
pColor:Anim(Color(1, 0.9, 0.5, 1) * fFade(pLife, 0, 1.5, 1, 3, 1, 1.5, 0)
            * (fSin(pPhase + pLife * 4) * 0.35 + 0.65))
Anim(fExpire(fLess(6, pLife)))

function Create()
end

function Update(seconds)
    Spawn(rate(8, seconds * 1000))
end
