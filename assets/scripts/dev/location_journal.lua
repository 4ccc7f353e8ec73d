-- The development location with the location's journal: the same location as
-- "scripts/dev/location.lua", its gameplay window holding the journal page as its first child
-- (listed before the HUD, so the HUD's "journal" button lies above it) and its start event opening
-- the goal "journal_key". The chest takes no object here, so the location never ends and the page
-- lists only that goal. Opened with "options=start=scripts/dev/location_journal.lua".
local make = Gameplay

Gameplay = function(window)
    Gameplay = make
    table.insert(window, 1, ReadFile("scripts/journal.lua")("journal/left"))
    for _, event in ipairs(gameplayinstructions.events) do
        if event.name == gameplayinstructions.initial_event then
            event.journaltoactivate = { "journal_key" }
        end
    end
    for _, area in ipairs(gameplayinstructions.dev_a.areas) do
        area.events = area.name == "dev_chest" and {} or area.events
    end
    return make(window)
end

ReadFile("scripts/dev/location.lua")
