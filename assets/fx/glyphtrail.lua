-- The trail of a glyph of Lirae's board flying to its token: pale sparks left where the glyph is
-- ("dLocus"), drifting and fading fast. Spawns while the glyph's "gActive" is not 0; the sparks
-- already out live their short life after it lands.
SetNumParticles(40)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

pPosition:Init(dLocus + fRange(Vec2(-8, -8), Vec2(8, 8)))
pVelocity:Init(fRange(Vec2(-30, -30), Vec2(30, 30)))
pScale:Init(fRange(0.3, 0.6))
pColor:Init(Color(0.85, 0.8, 1, 0.9))
pLife:Init(0)

pLife:Anim(pLife + fTimeScale(1))
pPosition:Anim(pPosition + fTimeScale(pVelocity))
pColor:Anim(fFade(pLife, Color(0.85, 0.8, 1, 0.9), 0.4, Color(0.6, 0.5, 1, 0)))
Anim(fExpire(fLess(0.4, pLife)))

function Create()
end

function Update(seconds)
    if (gActive or 1) ~= 0 then
        Spawn(rate(80, seconds * 1000))
    end
end
