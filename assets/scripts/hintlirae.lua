-- Lirae's hint minigame: returns a maker of the "GameplayHintLirae" window table a location's
-- gameplay window holds. The board covers the scene above the HUD (800 x 475) and zooms in from
-- Lirae's medallion; six glyphs drift across a circle about the scene's middle while three tokens
-- wait on the tray below it, and the timer's hand turns once in 20 s about the screen's centre,
-- where the board's pictures put it. The help and fail dialogs stand in the middle of the board,
-- each closed by its arrow button, their texts (and the finale's) looked up here: the windows show
-- the text they are given.
local Board = ReadFile("scripts/hintboard.lua")

return function()
    return GameplayHintLirae {
        name = "hintlirae", x = 0, y = 0, w = 800, h = 475,
        -- The frame: zooms in from Lirae's medallion at the HUD's right end.
        tutorialindex = 12, scrimfadetime = 200, scrimfademax = 0.7,
        basicfadetime = 300, basicscalemin = 0.2, basicpositionx = 660, basicpositiony = 400,
        finalefadetime = 200, finaletimetoshow = 1000, hidedelay = 100,
        finaletext = gStyles.textobject(250, 200, 300, 60, "", gStyles.fonts.title),
        finalestring = GetString("hint_done"),
        soundmusic = { sounds = { "music_puzzle" }, loop = true },
        soundintro = { sounds = { "whoosh" } }, soundoutro = { sounds = { "whoosh" } },
        soundshowhint = { sounds = { "hint" } },
        -- The board.
        clickablecount = 6, tokencount = 3,
        clickable = {
            image = "hint/glyphs", timemin = 2400, timemax = 3200, fademin = 600, fademax = 900,
            fadetime = 300, delaymin = 0, delaymax = 800, centerx = 400, centery = 240,
            maxdistance = 220, validanglediff = 0.2, alphamin = 0.8, alphamax = 1,
            minscale = 0.6, maxtransscale = 1.2, mintransscale = 0.9,
            foundparticles = "fx/glyphtrail.lua",
        },
        token = {
            image = "hint/glyphs", timetodestination = 300,
            originalpositionx = 400, originalpositiony = 440, scaletodestination = 0.5,
            destinations = { 340, 450, 400, 450, 460, 450 },
        },
        background = "hint/lirae_bg", foreground = "hint/lirae_fg",
        foregroundrect = { 0, 0, 800, 475 },
        timer = "hint/hand", timercentery = 40, timerbackground = "hint/dial",
        ghostmask = "hint/ghostmask",
        soundcorrect = { sounds = { "item_found" } }, soundplaced = { sounds = { "use" } },
        -- A negative turn runs the hand clockwise on the screen.
        minigamelength = 20000, timeghostfade = 300, timerrotation = -1,
        boundsx = 0, boundsy = 0, boundsw = 800, boundsh = 475,
        Board.HelpButton(),
        Board.ExitButton(),
        Board.Dialog("help", "hint_help_lirae", 250, -10, -8),
        Board.Dialog("fail", "hint_fail", 250, -10, -8),
    }
end
