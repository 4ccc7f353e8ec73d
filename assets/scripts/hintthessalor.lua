-- Thessalor's hint minigame: returns a maker of the "GameplayHintThessalor" window table a
-- location's gameplay window holds. The board (600 x 380) stands in the middle of the screen and
-- zooms in from Thessalor's medallion at the HUD's left end. Eight letters, each one of six
-- letters in one of two inks, drift back and forth through the dark reading window at its top;
-- a letter can be caught only while it passes near the window's middle (400, 190). The three
-- goals wait in the tray at its foot, and the timer's hand turns once in 20 s on its seat between
-- them, about the screen's centre, where the board's pictures put it. The buttons stand where
-- Lirae's do; the help and fail dialogs over the reading window, their texts looked up here
-- (the dialog shows its "string" as given).
local Board = ReadFile("scripts/hintboard.lua")

-- The letters' look and motion; the goals take the same font and box.
local function Letters()
    local text = gStyles.textobject(0, 0, 60, 48, "", { "fonts/title.mvec", 34, { 1, 1, 1, 1 } })
    text.rotationmin = -0.1
    text.rotationmax = 0.1
    text.scaleamount = 0.2
    text.timemin = 3000
    text.timemax = 4000
    text.rotatetime = 300
    text.centerx = 400
    text.centery = 190
    text.validdistance = 40
    text.maxdistance = 260
    text.validanglediff = 0.3
    text.solvedcolor = { 0.45, 1, 0.45, 1 }
    text.foundparticles = "fx/glyphtrail.lua"
    return text
end

return function()
    return GameplayHintThessalor {
        name = "hintthessalor", x = 0, y = 0, w = 800, h = 500,
        -- The frame: zooms in from Thessalor's medallion at the HUD's left end.
        tutorialindex = 13, scrimfadetime = 200, scrimfademax = 0.7,
        basicfadetime = 300, basicscalemin = 0.2, basicpositionx = -30, basicpositiony = 460,
        finalefadetime = 200, finaletimetoshow = 1000, hidedelay = 100,
        finaletext = gStyles.textobject(400, 366, 460, 40, "", gStyles.fonts.title),
        finalestring = GetString("hint_done_thessalor"),
        soundmusic = { sounds = { "music_map" }, loop = true },
        soundintro = { sounds = { "whoosh" } }, soundoutro = { sounds = { "whoosh" } },
        soundshowhint = { sounds = { "hint" } },
        -- The board: more distinct letters than goals, so every run can fill them all.
        validstrings = { "A", "E", "K", "M", "R", "W" },
        colors = { { 0.9, 0.75, 0.3, 1 }, { 0.6, 0.8, 1, 1 } },
        textmax = 8,
        textinfo = Letters(),
        goaltext = { { x = 320, y = 420, rotation = 0 }, { x = 400, y = 420 }, { x = 480, y = 420 } },
        background = "hint/thessalor_bg", foreground = "",
        timer = "hint/hand", timercentery = 40, timerbackground = "hint/dial",
        mask = "hint/mask",
        soundcorrect = { sounds = { "item_found" } }, soundplaced = { sounds = { "use" } },
        -- A negative turn runs the hand clockwise on the screen.
        minigamelength = 20000, timerrotation = -1, textfadetime = 200, clickabledelaymax = 400,
        boundsx = 130, boundsy = 130, boundsw = 540, boundsh = 120,
        Board.HelpButton(),
        Board.ExitButton(),
        Board.Dialog("help", "hint_help_thessalor", 280, -15, -10),
        Board.Dialog("fail", "hint_fail_thessalor", 280, -15, -10),
    }
end
