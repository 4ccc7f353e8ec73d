-- Method calls through a metatable.
local Point = {}
Point.__index = Point
function Point.new(x, y)
    return setmetatable({x = x, y = y}, Point)
end
function Point:add(o)
    self.x = self.x + o.x
    self.y = self.y + o.y
end
local p = Point.new(0, 0)
local d = Point.new(1, 2)
for i = 1, 4000000 do
    p:add(d)
end
print(p.x, p.y)
