local t = { 1, 2, "three", x = 4.5, ["y z"] = { nested = true } }
for i, v in ipairs(t) do t[i] = tostring(v) .. i end
while table.getn(t) > 0 and t[1] ~= nil do table.remove(t, 1) end
repeat local n = (n or 0) + 1 until n >= 3
return t, -2 ^ 3 * 5, not nil and 1 or 2
