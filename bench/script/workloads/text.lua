-- Text processing over about 3 MB: find, gsub and gfind with character classes and sets.
local words = {"alpha", "Beta", "gamma42", "Delta", "eps1lon", "zeta", "ETA", "theta99"}
local lines = {}
for i = 1, 70000 do
    local a = words[math.mod(i, 8) + 1]
    local b = words[math.mod(i * 3, 8) + 1]
    lines[i] = a .. " " .. b .. ", item" .. i .. "; x=" .. i * 7 .. " (Done)."
end
local text = table.concat(lines, "\n")
local _, wordCount = string.gsub(text, "%a+", "")
local total = 0
for d in string.gfind(text, "%d+") do
    total = total + d
end
local caps, init = 0, 1
while true do
    local s, e = string.find(text, "%u%l+", init)
    if not s then
        break
    end
    caps = caps + 1
    init = e + 1
end
local swapped, swaps = string.gsub(text, "(%a+)(%d+)", "%2%1")
local _, idents = string.gsub(text, "[%w_]+", "w")
local _, marks = string.gsub(text, "%p", "")
local _, spaces = string.gsub(text, "%s+", " ")
print(wordCount, total, caps, string.len(swapped), swaps, idents, marks, spaces)
