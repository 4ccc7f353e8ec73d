-- The Observatory opened directly, without the menu or a player's record: its gameplay window is
-- this screen. Opened with "options=start=scripts/dev/observatory.lua".
ReadFile("scripts/locations/observatory.lua")
