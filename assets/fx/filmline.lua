-- Dust on the film: a band of pale specks 300 pixels high drifting down, which the cut-scene
-- repeats down the whole screen. It names no function of its owner, so any owner may load it.
SetNumParticles(24)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

pPosition:Init(fRange(Vec2(20, 0), Vec2(780, 300)))
pVelocity:Init(fRange(Vec2(-3, 20), Vec2(3, 50)))
pScale:Init(fRange(0.3, 0.7))
pColor:Init(Color(1, 0.95, 0.8, 0))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(Color(1, 0.95, 0.8, 0.7) * fFade(pLife, 0, 0.3, 1, 0.8, 1, 0.4, 0))
Anim(fExpire(fLess(1.5, pLife)))

function Create()
end

function Update(seconds)
    Spawn(rate(6, seconds * 1000))
end
