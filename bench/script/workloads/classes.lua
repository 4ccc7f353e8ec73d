-- Classes as metatables: a base, two subclasses and a sub-subclass (__index chains up to three
-- levels), constructors setting 7 to 14 string fields, and an update loop over a mixed list whose
-- receivers alternate between the classes, reading inherited fields and writing its own.
local Entity = {}
Entity.__index = Entity
Entity.kind = "entity"
Entity.speed = 1
Entity.weight = 3

function Entity.init(self, name, x, y)
    self.name = name
    self.x = x
    self.y = y
    self.vx = 1
    self.vy = 0
    self.age = 0
    self.state = "idle"
end

local Sprite = setmetatable({}, Entity)
Sprite.__index = Sprite
Sprite.kind = "sprite"

function Sprite.init(self, name, x, y, image)
    Entity.init(self, name, x, y)
    self.image = image
    self.frame = 0
    self.alpha = 255
    self.layer = 2
end

local Button = setmetatable({}, Sprite)
Button.__index = Button
Button.kind = "button"

function Button.init(self, name, x, y, image, caption)
    Sprite.init(self, name, x, y, image)
    self.caption = caption
    self.hover = false
    self.clicks = 0
    self.width = 96
    self.height = 32
end

local Particle = setmetatable({}, Entity)
Particle.__index = Particle
Particle.kind = "particle"
Particle.speed = 3

function Particle.init(self, name, x, y)
    Entity.init(self, name, x, y)
    self.life = 40
    self.vy = 2
end

local function make(i, serial)
    local m = math.mod(i, 4)
    local o
    if m == 0 then
        o = setmetatable({}, Entity)
        Entity.init(o, "entity", i, 0)
    elseif m == 1 then
        o = setmetatable({}, Sprite)
        Sprite.init(o, "sprite", i, 1, "lamp")
    elseif m == 2 then
        o = setmetatable({}, Button)
        Button.init(o, "button", i, 2, "plate", "Continue")
    else
        o = setmetatable({}, Particle)
        Particle.init(o, "spark", i, 3)
    end
    o.serial = serial
    return o
end

local count = 400
local objects = {}
local serial = 0
for i = 1, count do
    serial = serial + 1
    objects[i] = make(i, serial)
end

local clicks, weight, made = 0, 0, 0
for frame = 1, 2000 do
    for i = 1, count do
        local o = objects[i]
        local s = o.speed
        o.x = o.x + o.vx * s
        o.y = o.y + o.vy * s
        o.age = o.age + 1
        weight = weight + o.weight
        if o.kind == "button" then
            o.clicks = o.clicks + 1
            o.hover = not o.hover
        elseif o.kind == "sprite" then
            o.frame = math.mod(o.frame + 1, 8)
        end
        if o.state == "idle" and o.age > 5 then
            o.state = "moving"
        end
        if o.age > 20 + math.mod(i, 16) then
            if o.clicks then
                clicks = clicks + o.clicks
            end
            serial = serial + 1
            made = made + 1
            objects[i] = make(i, serial)
        end
    end
end

local sx, sy = 0, 0
for i = 1, count do
    sx = sx + objects[i].x
    sy = sy + objects[i].y
end
print(made, clicks, weight, sx, sy)
