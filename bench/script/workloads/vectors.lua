-- Vector math with small {x, y} tables made and read inside closures, 1.5 x 10^6 steps.
local function vec(x, y)
    return {x, y}
end
local function adder(d)
    return function(v)
        return vec(v[1] + d[1], v[2] + d[2])
    end
end
local step = adder(vec(1, 2))
local function scale(v, k)
    return vec(v[1] * k, v[2] * k)
end
local p = vec(0, 0)
local acc = 0
for i = 1, 1500000 do
    p = step(p)
    local q = scale(p, 0.5)
    acc = acc + q[1] - q[2]
end
print(string.format("%d %d %.1f", p[1], p[2], acc))
