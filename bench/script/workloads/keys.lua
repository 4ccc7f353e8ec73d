-- String-keyed table: 600 000 built keys "k1".."k600000" inserted, then read back.
local n = 600000
local t = {}
for i = 1, n do
    t["k" .. i] = i
end
local s = 0
for i = 1, n do
    s = s + t["k" .. i]
end
print(s)
