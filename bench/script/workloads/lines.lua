-- A text of about 300 KB split into lines with string.find and string.gfind, fields cut with
-- captures and string.sub, numbers read with tonumber, and lines put together again with ..,
-- string.format and table.concat.
local places = {"gatehouse", "observatory", "crypt", "fen", "storeroom"}
local names = {"Lamp oil", "Gate key", "Star scroll", "Crystal", "Wax", "Medallion", "Rope"}
local rows = {}
for i = 1, 8000 do
    rows[i] = "item" .. i .. ";" .. names[math.mod(i, 7) + 1] .. ";" .. math.mod(i * 13, 97) ..
        ";" .. math.mod(i * 7, 50) .. "." .. math.mod(i, 10) .. "5;" .. places[math.mod(i, 5) + 1]
end
local text = table.concat(rows, "\n") .. "\n"

local count, length, checksum = 0, 0, 0
for pass = 1, 24 do
    -- Lines found with string.find and cut with string.sub; fields taken by captures.
    local out = {}
    local n = 0
    local pos = 1
    while true do
        local s = string.find(text, "\n", pos, true)
        if not s then
            break
        end
        local line = string.sub(text, pos, s - 1)
        pos = s + 1
        local _, _, id, name, qty, price, place = string.find(line,
            "^(%w+);([^;]*);(%d+);([%d%.]+);(%a+)$")
        local q = tonumber(qty)
        local p = tonumber(price)
        count = count + q
        n = n + 1
        out[n] = string.format("%-10s %s x%d @ %5.2f", id, name, q, p) .. " in " ..
            string.sub(place, 1, 3) .. "."
    end
    local joined = table.concat(out, "\n")
    length = length + string.len(joined)

    -- Lines found with string.gfind, each split at its separators by position.
    for line in string.gfind(text, "[^\n]+") do
        local a = string.find(line, ";", 1, true)
        local b = string.find(line, ";", a + 1, true)
        local c = string.find(line, ";", b + 1, true)
        checksum = checksum + tonumber(string.sub(line, b + 1, c - 1)) + string.len(string.sub(line, 1, a - 1))
    end
end
print(count, length, checksum)
