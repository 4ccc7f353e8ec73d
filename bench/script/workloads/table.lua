-- Insert then read 2 x 10^6 integer keys.
local t = {}
for i = 1, 2000000 do
    t[i] = i
end
local s = 0
for i = 1, 2000000 do
    s = s + t[i]
end
print(s)
