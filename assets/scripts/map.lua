-- The travel map between two locations. Over the gameplay screen it shows briefly and opens itself
-- again as the full map (body 'startfull'); the full map zooms to the current location, shows the
-- boat's leg while the route is drawn, and runs "ContinueMap();" when the journey is over.
-- "Menu" pauses it for the pause dialog; "Continue" ends the journey early.
gScreen = "map"
local t = gDialogTable or {}
local textobject = gStyles.textobject
local labelFont = { "fonts/title.mvec", 22, { 0.95, 0.9, 0.75, 1 } }

-- A location of the large map: its dot, the centre and scale of the zoom, where its route lies
-- and the corner the route is drawn from, and its caption.
local function Location(x, y, pathx, pathy, direction, label)
    return {
        x = x, y = y, travel = "boat",
        largecenterx = x, largecentery = y, scalemaplarge = 1.4,
        pathx = pathx, pathy = pathy, direction = direction,
        text = { textobject(400, 40, 300, 40, GetString(label), labelFont) },
    }
end

MakeDialog {
    name = "map",
    Map {
        name = "travelmap", x = 0, y = 0, w = 800, h = 600,
        fade = true, fadetime = 300,
        music = "music_map?group=1001",
        fadeout = t.fadeout or "",
        dot = "map/dot", dots = {},
        largemap = "map/large",
        path = "map/route%d",
        modifiers = { timeshowlargemap = 1500, timemapcrossfade = 1200, timescreenfade = 600 },
        particles = { xoffset = 0, yoffset = 0, script = "fx/mist.lua" },
        lightningscrim = "map/flash", timestayflashed = 120, maxlightningalpha = 0.6,
        mintimebetweenstrikes = 4000, maxtimebetweenstrikes = 9000,
        scrimcolor = { 200, 220, 255 },
        lightningsound = "thunder",
        locations = {
            -- The routes lie where the leg's picture (the map zoomed about the place travelled
            -- to) shows the two places, and are drawn from the left.
            location01 = Location(230, 420, 0, 0, 6, "map_gatehouse"),
            location02 = Location(520, 300, 106, 292, 6, "map_observatory"),
            location03 = Location(720, 180, 432, 172, 6, "map_crypt"),
        },
        travel = {
            boat = {
                traveltime = 3000, traveldelaytime = 800, layerfadetime = 500,
                spacetravelx = 40, soundfade = 800, soundgroupid = 1101,
                map = "map/leg%d", sound = "travel",
                -- The boat's own bitmap and its crossing both take "y": it crosses at twice
                -- this height (330), while its wake is placed by the crossing's alone.
                travel = {
                    image = "map/boat", x = 0, flags = 5,
                    framespeed = 200, animation = "wrap",
                    midpointx = 400, y = 165,
                    timesecondary = 1400, oscillateamount = 6, rotateamount = 0.01,
                },
                background = { image = "map/fen_back", x = 400, y = 300, flags = 5 },
                foreground = { image = "map/fen_front", x = 400, y = 520, flags = 5 },
                particles = { xoffset = -40, yoffset = 185, script = "fx/follow.lua" },
            },
        },
        Button(ButtonStyle {
            name = "menu", text = "map_menu", x = 20, y = 540, w = 160, h = 44,
            -- A game closed under the pause dialog takes the map with it: nothing to resume then.
            command = function()
                PauseMap()
                ShowPauseDialog()
                if gRoute ~= "menu" and ResumeMap ~= nil then
                    ResumeMap()
                end
            end,
        }),
        Button(ButtonStyle {
            name = "continue", text = "map_continue", x = 560, y = 540,
            command = function() MapButtonPress() end,
        }),
    },
}
