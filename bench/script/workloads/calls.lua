-- Method calls with self and 0 to 3 arguments: overridden and inherited methods through __index
-- chains of one to three levels, and calls through a field holding a function.
local Base = {}
Base.__index = Base

function Base.new(class, v)
    local o = setmetatable({}, class)
    o.v = v
    o.n = 0
    o.onTick = Base.tick
    return o
end

function Base:get()
    return self.v
end

function Base:add(a)
    self.v = self.v + a
end

function Base:mix(a, b)
    return self.v * a + b
end

function Base:clamp(lo, hi, d)
    local v = self.v + d
    if v < lo then
        v = lo
    elseif v > hi then
        v = hi
    end
    self.v = v
    return v
end

function Base.tick(self, d)
    self.n = self.n + d
end

local Mid = setmetatable({}, Base)
Mid.__index = Mid

function Mid:get()
    return self.v + 1
end

local Leaf = setmetatable({}, Mid)
Leaf.__index = Leaf

function Leaf:mix(a, b)
    return self.v * a - b
end

local function double(self, d)
    self.n = self.n + 2 * d
end

local objects = {Base.new(Base, 1), Base.new(Mid, 2), Base.new(Leaf, 3), Base.new(Leaf, 4)}
objects[4].onTick = double
local total = 0
for i = 1, 300000 do
    for k = 1, 4 do
        local o = objects[k]
        o:add(1)
        total = total + o:get() + o:mix(2, k)
        o:clamp(0, 1000, -1)
        o.onTick(o, 1)
    end
end
local ns = 0
for k = 1, 4 do
    ns = ns + objects[k].n + objects[k].v
end
print(total, ns)
