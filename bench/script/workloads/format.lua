-- 600 000 string.format results joined by table.concat, then scanned with string.gfind.
local n = 600000
local parts = {}
for i = 1, n do
    parts[i] = string.format("%d:%05.1f", i, i / 8)
end
local text = table.concat(parts, " ")
local count, sum = 0, 0
for a, b in string.gfind(text, "(%d+):(%d+)") do
    count = count + 1
    sum = sum + b
end
print(count, sum, string.len(text))
