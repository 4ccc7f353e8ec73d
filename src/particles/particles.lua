-- The particle library: the words particle descriptions are written in (values, member methods,
-- spawning, timing, gravity, textures, blend modes, editor placeholders). Run once per new script.

kBlendNormal = 0
kBlendOpaque = 1
kBlendAdditiveAlpha = 2
kBlendSubtractive = 3
kBlendMultiplicative = 4
kBlendMode = "blendmode"

ValueMT = {}

function CreateValue(name, args)
    local value = { cmd = name, params = args }
    setmetatable(value, ValueMT)
    return value
end

-- Operators build expression values with their operands in written order.
local function Binary(name)
    return function(a, b) return CreateValue(name, { a, b }) end
end

local function AddOperators(mt)
    mt.__add = Binary("add")
    mt.__sub = Binary("sub")
    mt.__mul = Binary("mul")
    mt.__div = Binary("div")
    mt.__unm = function(a) return CreateValue("unm", { a }) end
    mt.__lt = Binary("lt")
    mt.__le = Binary("le")
end

AddOperators(ValueMT)
ValueMT.__index = function(value, key)
    if type(key) == "number" then
        return CreateValue("vindex", { value, key })
    end
    return ValueMT[key]
end

AddOperators(ParticleMemberMT)
ParticleMemberMT.__index = function(member, key)
    if type(key) == "number" then
        local base = GetParticleMemberParts(member)
        return CreateValue("index", { base, key })
    end
    return ParticleMemberMT[key]
end

local function Assign(member, expr, accumulate)
    local base, size = GetParticleMemberParts(member)
    CompileParameters({ CreateValue("assign", { expr, base, size }) })
    accumulate()
end

function ParticleMemberMT.Init(member, expr)
    Assign(member, expr, AccumulateInitStream)
end

function ParticleMemberMT.Anim(member, expr)
    Assign(member, expr, AccumulateAnimStream)
end

function fGreater(a, b)
    return fLess(b, a)
end

function fGreaterEqual(a, b)
    return fLessEqual(b, a)
end

-- The global form feeds the anim program, as Anim does; descriptions use the member methods.
function Init(statement)
    CompileParameters({ statement })
    AccumulateAnimStream()
end

function Anim(statement)
    CompileParameters({ statement })
    AccumulateAnimStream()
end

function CompileParameters(list)
    local widths = {}
    table.foreachi(list, function(i, p) widths[i] = CompileParam(p) end)
    return widths
end

function Spawn(num)
    CreateParticles(num)
    Create()
end

function Value(x)
    return setmetatable({ x }, ValueMT)
end

function Vec2(x, y)
    return setmetatable({ x, y }, ValueMT)
end

function Vec3(x, y, z)
    return setmetatable({ x, y, z }, ValueMT)
end

function Color(r, g, b, a)
    return setmetatable({ r, g, b, a }, ValueMT)
end

function SetBlendMode(mode)
    SetRendererOption1(kBlendMode, mode)
end

-- Particles per second to whole particles per step; the remainder waits for the next step. A rate
-- of 0 or less (or not a number) gives none instead of a division by zero.
function NewParticleGenerator()
    local accumulated = 0.0
    local generator = function(rate, milliseconds)
        if not (rate > 0) then
            return 0
        end
        accumulated = accumulated + milliseconds
        local n = math.floor(accumulated / 1000 * rate)
        accumulated = accumulated - math.floor(n * 1000 / rate)
        return n
    end
    ParticlesPerSecond = generator
    return generator
end

function NewTimeout(seconds)
    local remaining = seconds
    return function(elapsed)
        if remaining < 0 then
            return true
        end
        remaining = remaining - elapsed
        return false
    end
end

function SetTexture(texture)
    _SetTexture(texture)
end

function RequireVelocity()
    if not pVelocity then
        pVelocity = Allocate(2)
    end
end

function SetUpGravity(accel)
    RequireVelocity()
    pVelocity:Anim(pVelocity + fTimeScale(Vec2(0, accel)))
end

function Update()
end

-- Editor controls: in the game each yields its default.
function GUI_Slider(default) return default end
function GUI_Texture(default) return default end
function GUI_Select(default) return default end
function GUI_PickTexture(default) return default end
function GUI_ColorPick(r, g, b, a) return r, g, b, a end
function GUI_Graph(t) return t end
