-- The scene's HUD: returns a maker of the "GameplayHud" window table a location's gameplay window
-- holds (window coordinates for its pictures, screen coordinates for the strip's bounds). The
-- "hint..." tables are the game HUD's medallions; the base HUD does not read them. The buttons
-- call the gameplay window's functions only while one is there to bind them.
local function Call(name)
    return function()
        local f = _G[name]
        if f ~= nil then
            f()
        end
    end
end

local function Graphics(stem)
    return { "hud/" .. stem .. "_n", "hud/" .. stem .. "_p", "hud/" .. stem .. "_h" }
end

local function Medallion(image, tracker, x, trackerx)
    return {
        medallion = { image = image, x = x, y = 50 },
        tracker = {
            hint_0 = { image = tracker, x = trackerx, y = 28 },
            hint_1 = { image = tracker, x = trackerx, y = 72 },
        },
        scrimx = x - 50, scrimy = 0, scrimw = 150, scrimh = 100,
        click = { sounds = { "click" } }, over = { sounds = { "hover" } },
    }
end

return function()
    return GameplayHud {
        name = "hud", x = 0, y = 500, w = 800, h = 100,
        background = { image = "hud/bar", x = 0, y = 0 },
        foreground = { image = "hud/bar_fg", x = 0, y = 0 },
        progressbar = { image = "hud/progress", x = 300, y = 4 },
        hintbackground = { image = "hud/hintbg", x = 0, y = 0 },
        inventorybounds = { x = 196, y = 515, w = 360, h = 70 },
        progressbarcollisionextension = 6, hintbackgroundfadetime = 300,
        inventoryminhorzgap = 20, inventoryvertplacement = 550, inventoryhidedelay = 300,
        colorhintbackground = { 0, 0, 0, 0.5 },
        hintinfo = {
            medallionspinduration = 800, timepulse = 900, alphapulse = 0.6,
            timemedallionpulse = 1200, alphamedallionpulse = 0.5, timepulsedelay = 400,
        },
        hintthessalor = Medallion("hud/medallion_t", "hud/tracker_t", 50, 110),
        hintlirae = Medallion("hud/medallion_l", "hud/tracker_l", 750, 690),
        hintliraecolor = { 1, 0.85, 0.5, 1 }, hintthessalorcolor = { 0.6, 0.75, 1, 1 },
        hintminicolor = { 1, 1, 1, 1 },
        Button { name = "inventoryleft", x = 166, y = 26, buttongraphics = Graphics("arrow_l"),
                 soundclick = "click", command = Call("HudLeftClick") },
        Button { name = "inventoryright", x = 562, y = 26, buttongraphics = Graphics("arrow_r"),
                 soundclick = "click", command = Call("HudRightClick") },
        Button { name = "journal", x = 596, y = 4, buttongraphics = Graphics("journal"),
                 soundclick = "click", command = Call("HudJournalPressed") },
        Button { name = "pause", x = 596, y = 54, buttongraphics = Graphics("pause"),
                 soundclick = "click", command = Call("ShowPauseDialog") },
    }
end
