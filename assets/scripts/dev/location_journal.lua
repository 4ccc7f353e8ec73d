-- The development location with the location's journal: the same location as
-- "scripts/dev/location.lua", its gameplay window holding the journal page (listed before the HUD,
-- so the HUD's "journal" button lies above it) and its start event opening the goal "journal_key".
-- Opened with "options=start=scripts/dev/location_journal.lua".
local make = MakeDialog

MakeDialog = function(dialog)
    MakeDialog = make
    local gameplay = dialog[1]
    for index, child in ipairs(gameplay) do
        if child.name == "hud" then
            table.insert(gameplay, index, ReadFile("scripts/journal.lua")())
            break
        end
    end
    for _, event in ipairs(gameplayinstructions.events) do
        if event.name == gameplayinstructions.initial_event then
            event.journaltoactivate = { "journal_key" }
        end
    end
    return make(dialog)
end

ReadFile("scripts/dev/location.lua")()
