-- The comic-strip cut-scene between the travel map and the Observatory: the night the Gatehouse
-- lamp went out (cell 1) and the thief running for the Observatory (cell 2). Its end runs
-- "ContinueForward();" (game.lua). Cell 2's walk starts from its own "introevent": an animation
-- runs on a layer of the cell that is showing, and "c2_thief" is not in cell 1. Layers are placed
-- by their top-left corners, texts by their centres, both in the cell's own pixels.
gScreen = "story"
local fonts = gStyles.fonts

panelinstructions = {
    events = {
        -- The caption's text shows once an event switches it on.
        { name = "ev_lamp", activate_layers = { "c1_flicker", "cap1" },
          activate_sounds = { "c1_wind" },
          animations = { "lamp_dim" } },
        { name = "ev_thief", animations = { "thief_walk" } },
    },
    animations = {
        { name = "lamp_dim", layer = "c1_lamp", callback = true,
          fade = { beginopacity = 1, endopacity = 0.3, duration = 900, smoothing = "introoutro" },
          nextanimations = { "flicker_out" } },
        { name = "flicker_out", layer = "c1_flicker",
          fade = { beginopacity = 0.5, endopacity = 0, duration = 600, smoothing = "introoutro" } },
        { name = "thief_walk", layer = "c2_thief",
          move = { beginx = 120, beginy = 260, endx = 320, endy = 260, duration = 1200 } },
    },
    cell_1 = {
        introevent = "ev_lamp",
        sounds = { { name = "c1_wind", sounds = { "wind" }, loop = true } },
        colorlayers = {
            { name = "c1_bg", depth = 0, image = "story/c1_bg", x = 0, y = 0 },
            { name = "c1_lamp", depth = 1, image = "story/c1_lamp", x = 380, y = 100 },
            { name = "c1_flicker", depth = 2, image = "story/c1_lamp", x = 380, y = 100,
              initialalpha = 0.5 },
        },
        text = {
            { name = "cap1", depth = 3, x = 300, y = 370,
              text = { string = "story_cap1", w = 560, h = 30, font = fonts.light, flags = 5 } },
        },
        particles = {
            { name = "dust", depth = 4, script = "fx/filmline.lua", functions = { "fSin" },
              data = { dCenter = { 300, 200 } } },
        },
        speechbubbles = {
            speech_1 = { sound = "voice_story_1?group=1102", image = "story/bubble",
                         x = 160, y = 60,
                         text = { text = "story_line1", x = 270, y = 92, w = 196, h = 50 } },
        },
    },
    cell_2 = {
        introevent = "ev_thief",
        sounds = {},
        colorlayers = {
            { name = "c2_bg", depth = 0, image = "story/c2_bg", x = 0, y = 0 },
            { name = "c2_thief", depth = 1, image = "story/c2_thief", x = 120, y = 260 },
        },
        particles = {},
        speechbubbles = {
            speech_1 = { sound = "voice_story_2?group=1102", image = "story/bubble",
                         x = 380, y = 60,
                         postevent = "",
                         text = { text = "story_line2", x = 490, y = 92, w = 196, h = 50 } },
        },
    },
}

local blood = {
    imagestreak = "story/drip", imagedrop = "story/drop",
    widthmin = 0, widthmax = 800, widthbuffer = 12, widthallowance = 60,
    heightmin = 20, heightallowance = 60, streakfadelength = 6, dropcentery = 5,
    timefadein = 200, timeslide = 700, timedropdelay = 150, timedrop = 500,
    distancedrop = 160, timefadeout = 600,
}

MakeDialog {
    name = "story",
    Storyboard {
        name = "panel", x = 0, y = 0, w = 800, h = 600, fade = true,
        currentlocation = 1,
        background = "story/bg", filmdot = "story/filmdot",
        timebloodmin = 2500, timebloodmax = 5000,
        filmdotdist = 48, cellscrolldistance = 420, cellscrolltime = 900,
        -- A cell stays until its caption and bubbles are read (65 ms a character): cell 1's.
        celltimeminimum = 4600,
        particleline = "fx/filmline.lua", particlelinedist = 300,
        cellx = 100, celly = 100, cellw = 600, cellh = 400,
        bloodinfo = blood,
        filmsound = "film", filmsoundfade = 400,
        cellfiller = "story/filler",
        cellinfo = {
            blotchbuffer = 10, timeswaptoactive = 500, timebubbledelay = 0,
            staticmin = 0.1, staticmax = 0.3,
            skipcolor = { 1, 1, 1, 0.7 }, skipcolorhilight = { 1, 0.9, 0.5, 1 },
            soundgroupid = 1100,
            speechinfo = { timeintro = 200, timeoutro = 200, alphaintro = 1, alphaoutro = 0,
                           font = fonts.body, flags = 5 },
            static = "story/static%d", staticcount = 2, gradient = "story/gradient",
            trim = "story/trim", overlay = "story/overlay", blotches = "story/blotches",
            skiptext = { text = GetString("story_skip"), w = 80, h = 24, font = fonts.light,
                         flags = 10 },
            skipscrimspace = 6, width = 600, height = 400,
            skipscrimcolor = { 0, 0, 0, 0.5 },
        },
        -- Pressed by the program when the game loses the focus: the strip waits under the
        -- pause dialog.
        Button {
            name = "menu", x = 748, y = 8,
            buttongraphics = { "hud/pause_n", "hud/pause_p", "hud/pause_h" },
            soundclick = "click",
            command = function()
                PausePanel()
                ShowPauseDialog()
                if ResumePanel ~= nil then
                    ResumePanel()
                end
            end,
        },
    },
}
