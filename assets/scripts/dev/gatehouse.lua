-- The Gatehouse opened directly, without the menu or a player's record: its gameplay window is
-- this screen. Opened with "options=start=scripts/dev/gatehouse.lua". With no player to keep which
-- tutorial prompts were seen, it comes without them (the menu's way in shows them).
TutorialTable = function()
    return nil
end
ReadFile("scripts/locations/gatehouse.lua")
