-- The Gatehouse with a crowded hall, for measuring a busy location frame: forty entities in the
-- hall (its own twelve, then ten items, eleven layers and seven areas made of its pictures) and six
-- objects in the HUD's strip from the start (the location's four, and two of its own gathered
-- from five items each). Opened with "options=start=scripts/dev/crowded_hall.lua"; without a
-- player's record it comes without tutorial prompts, as the Gatehouse's own development entry.
TutorialTable = function()
    return nil
end

local function Crowd(instructions)
    local hall = instructions.gatehouse
    local start = instructions.events[1]
    local objects = { { "crowd_candles", "candle" }, { "crowd_flints", "flint" } }
    for k = 1, 2 do
        local name, picture = objects[k][1], objects[k][2]
        table.insert(instructions.inventory, {
            name = name, actualname = "inv_" .. picture, image = "inventory/" .. picture,
            homescene = "gatehouse", partcount = 5, type = "thessalor",
        })
        for part = 1, 5 do
            table.insert(hall.items, {
                name = name .. "_" .. part, depth = 12, inventory = name, inventoryparts = { part },
                image = "items/" .. picture, x = 70 * (5 * k + part - 5), y = 440 - 30 * k,
            })
        end
    end
    for _, name in ipairs({ "oilcan", "lampglass", "wick", "crowd_candles", "crowd_flints" }) do
        table.insert(start.inventorytoactivate, name)
    end
    local pictures = { "items/lens", "items/hearthstone", "items/oilcan", "items/wick", "items/candle" }
    for i = 1, 11 do
        local row = 0
        if i > 5 then
            row = 1
        end
        if i > 10 then
            row = 2
        end
        local name = "crowd_layer_" .. i
        table.insert(hall.layers, {
            name = name, depth = 8, image = pictures[i - 5 * row], x = 70 * i, y = 60 + 40 * row,
            flags = 5,
        })
        table.insert(start.layerstoactivate, name)
    end
    for i = 1, 7 do
        local name = "crowd_area_" .. i
        table.insert(hall.areas, {
            name = name, depth = 45, image = "areas/lamp_glass", x = 100 * i, y = 200,
            actualname = "area_lamp_name", hascompletedframe = false, hasactiveframe = false,
            events = {},
        })
        table.insert(start.areastoactivate, name)
    end
end

-- The location's own script builds its window through MakeDialog: the crowd joins its
-- instructions just before, and MakeDialog is itself again for every window after.
local makeDialog = MakeDialog
MakeDialog = function(t)
    MakeDialog = makeDialog
    Crowd(gameplayinstructions)
    return makeDialog(t)
end
ReadFile("scripts/locations/gatehouse.lua")
