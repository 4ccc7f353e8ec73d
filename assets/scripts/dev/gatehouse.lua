-- The Gatehouse opened directly, without the menu or a player's record: its gameplay window is
-- this screen. Opened with "options=start=scripts/dev/gatehouse.lua".
ReadFile("scripts/locations/gatehouse.lua")
