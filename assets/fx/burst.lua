-- A burst of warm sparks thrown up from the owner's place, falling back as they fade: found items,
-- completed areas and puzzles, the hints. Runs while the owner's "gActive" is not 0 (or has none).
SetNumParticles(48)
SetTexture("fx/spark")
SetBlendMode(kBlendAdditiveAlpha)
RequireVelocity()
pLife = Allocate(1)

local rate = NewParticleGenerator()

-- Initial values at the top level: they compile once into the program that starts a particle.
pPosition:Init(Vec2(0, 0))
pVelocity:Init(fRange(Vec2(-70, -110), Vec2(70, -20)))
pColor:Init(Color(1, 0.85, 0.45, 1))
pScale:Init(0.6)
pLife:Init(0)
SetUpGravity(140)

pPosition:Anim(pPosition + fTimeScale(pVelocity))
pLife:Anim(pLife + fTimeScale(1))
pColor:Anim(fFade(pLife, Color(1, 0.85, 0.45, 1), 1.0, Color(1, 0.4, 0.1, 0)))
Anim(fExpire(fLess(1.0, pLife)))

function Create()
end

function Update(seconds)
    if (gActive or 1) ~= 0 then
        Spawn(rate(40, seconds * 1000))
    end
end
