-- Coroutines: a producer handing 3 x 10^6 values to its consumer, then 900 000 short-lived ones.
local producer = coroutine.create(function(n)
    for i = 1, n do
        coroutine.yield(i)
    end
end)
local sum = 0
local ok, v = coroutine.resume(producer, 3000000)
while v do
    sum = sum + v
    ok, v = coroutine.resume(producer)
end
local made = 0
for i = 1, 900000 do
    local co = coroutine.wrap(function(a)
        local b = coroutine.yield(a + 1)
        return a + b
    end)
    made = made + co(i) + co(1)
end
print(sum, made)
