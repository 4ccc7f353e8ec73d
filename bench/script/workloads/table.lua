-- Insert then read 10^6 integer keys.
local t = {}
for i = 1, 1000000 do
    t[i] = i
end
local s = 0
for i = 1, 1000000 do
    s = s + t[i]
end
print(s)
