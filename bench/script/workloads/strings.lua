-- String concatenation and formatting in a loop.
local parts = {}
for i = 1, 900000 do
    local s = "item" .. i
    parts[i] = string.format("%s=%d;%5.2f", s, i, i / 3)
end
print(table.getn(parts), string.len(table.concat(parts)))
