-- Closure creation: one new closure per iteration, called once.
local function make(n)
    return function() return n end
end
local s = 0
for i = 1, 2500000 do
    local f = make(i)
    s = s + f()
end
print(s)
