-- An entity loop: 20 000 string-keyed tables moved and aged each of 100 frames, the expired ones
-- removed and replaced by new ones.
local count = 20000
local entities = {}
local nextId = 0
local function spawn(i)
    nextId = nextId + 1
    return {id = nextId, x = i, y = 0, vx = 1, vy = 2, age = 0, life = 20 + math.mod(nextId * 7, 100)}
end
for i = 1, count do
    entities[i] = spawn(i)
end
local replaced = 0
for frame = 1, 100 do
    for i = 1, count do
        local e = entities[i]
        e.x = e.x + e.vx
        e.y = e.y + e.vy
        e.age = e.age + 1
        if e.age > e.life then
            entities[i] = spawn(i)
            replaced = replaced + 1
        end
    end
end
local sum = 0
for i = 1, count do
    sum = sum + entities[i].x + entities[i].y
end
print(replaced, nextId, sum)
