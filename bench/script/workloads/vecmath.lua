-- 2-D vectors as small {x = , y = } tables made per operation (add, scale, dot, normalise,
-- rotate) inside closures, as particle and transform scripts use them.
local function vec(x, y)
    return {x = x, y = y}
end

local function add(a, b)
    return vec(a.x + b.x, a.y + b.y)
end

local function scale(a, k)
    return vec(a.x * k, a.y * k)
end

local function dot(a, b)
    return a.x * b.x + a.y * b.y
end

local function normalise(a)
    local len = math.sqrt(a.x * a.x + a.y * a.y)
    if len == 0 then
        return vec(0, 0)
    end
    return vec(a.x / len, a.y / len)
end

local function rotator(angle)
    local c, s = math.cos(angle), math.sin(angle)
    return function(a)
        return vec(a.x * c - a.y * s, a.x * s + a.y * c)
    end
end

local function mover(gravity, drag)
    return function(p, dt)
        p.vel = scale(add(p.vel, scale(gravity, dt)), drag)
        p.pos = add(p.pos, scale(p.vel, dt))
    end
end

local turn = rotator(0.01)
local move = mover(vec(0, 9.8), 0.999)
local particles = {}
for i = 1, 100 do
    particles[i] = {pos = vec(i, 0), vel = vec(math.mod(i, 7) - 3, -10)}
end
local facing = vec(1, 0)
local align = 0
for frame = 1, 4000 do
    facing = normalise(turn(facing))
    for i = 1, 100 do
        local p = particles[i]
        move(p, 0.016)
        align = align + dot(normalise(p.vel), facing)
    end
end
local sx, sy = 0, 0
for i = 1, 100 do
    sx = sx + particles[i].pos.x
    sy = sy + particles[i].pos.y
end
print(string.format("%.6f %.6f %.6f %.6f", sx, sy, align, facing.x))
