-- The Crypt opened directly, without the menu or a player's record: its gameplay window is this
-- screen. Opened with "options=start=scripts/dev/crypt.lua".
ReadFile("scripts/locations/crypt.lua")
