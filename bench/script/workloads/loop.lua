-- A numeric loop of 10^7 additions.
local s = 0
for i = 1, 10000000 do
    s = s + i
end
print(s)
