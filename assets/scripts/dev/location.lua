-- A development location: two scenes, each one full-screen backdrop, a door in each leading to the
-- other, a key to find in the first and a chest there that the key opens (its completion lights a
-- glow over it, and the location is done), a guide who greets the player the first time the second
-- scene shows, tool tips naming what lies under the mouse, the scene HUD and a "leave" button at
-- the top right that closes the location (and so the program, when it is the first screen).
-- Opened with "options=start=scripts/dev/location.lua".
gScreen = "gameplay"

local function Cursor(name)
    return { main = { name = name, image = "dev/cursor" } }
end

local function Backdrop(name, image)
    return { name = name, image = image, x = 0, y = 0, depth = 100 }
end

-- A door: a portal whose plain click runs `event`; `label` names it in the tool tip.
local function Door(name, x, event, label)
    return {
        name = name, image = "dev/door", x = x, y = 150, depth = 50, isportal = true,
        hasactiveframe = true, actualname = label,
        events = { default = { eventname = event } },
    }
end

-- A tool tip's look: the default font, short waits and fades; above and to the right of the
-- pointer, which would cover its first letter below.
local function Tooltip()
    return {
        font = { "fonts/default.mvec", 16, { 1, 1, 1, 1 } }, w = 200, h = 30, position = 2,
        borderwidth = 6, borderheight = 4, timeinitialwait = 100, timevisible = 2000,
        timefade = 100, minx = 0, miny = 0, maxx = 800, maxy = 600,
        backgroundcolor = { 0, 0, 0, 0.7 },
    }
end

gameplayinstructions = {
    conversations = {
        dev_hello = {
            charactertospeak = "guide", text = "dev_hello", characterstoshow = { "guide" },
        },
    },
    events = {
        {
            name = "dev_start", layerstoactivate = { "dev_a_bg", "dev_b_bg" },
            areastoactivate = { "dev_door", "dev_chest", "dev_back" },
            inventorytoactivate = { "dev_key" },
        },
        { name = "dev_go_b", action = "dev_b" },
        { name = "dev_go_a", action = "dev_a" },
        -- The chest opened: the glow, then the location is done (the game's runner ends it on
        -- "scene_complete"; the base's, which has no scene of that name, once nothing is left).
        {
            name = "dev_open", areastocomplete = { "dev_chest" }, animations = { "dev_chest_glow" },
            nextevent = "dev_done",
        },
        { name = "dev_done", action = "scene_complete" },
    },
    animations = {
        {
            name = "dev_chest_glow", layer = "dev_a_glow", callback = true,
            fade = { beginopacity = 0, endopacity = 1, duration = 400 },
        },
    },
    inventory = {
        -- Marked for the game's HUD, which places only marked objects.
        { name = "dev_key", image = "dev/key", homescene = "dev_a", partcount = 1,
          actualname = "dev_key_name", type = "thessalor" },
    },
    scenes = { "dev_a", "dev_b" },
    dev_a = {
        items = {
            { name = "dev_item_key", image = "dev/item_key", x = 200, y = 330, depth = 30,
              inventory = "dev_key", inventoryparts = { 1 } },
        },
        layers = {
            Backdrop("dev_a_bg", "dev/bg_a"),
            { name = "dev_a_glow", image = "dev/glow", x = 350, y = 240, depth = 10 },
        },
        areas = {
            Door("dev_door", 600, "dev_go_b", "dev_door_name"),
            {
                name = "dev_chest", image = "dev/chest", x = 350, y = 250, depth = 40,
                hasactiveframe = true, hascompletedframe = true, actualname = "dev_chest_name",
                events = { dev_key = { eventname = "dev_open" } },
            },
        },
    },
    dev_b = {
        -- Shown once, the first time the scene is entered.
        dialog = "dev_hello",
        layers = { Backdrop("dev_b_bg", "dev/bg_b") },
        areas = { Door("dev_back", 20, "dev_go_a", "dev_back_name") },
    },
    initial_event = "dev_start",
    active_scene = "dev_a",
}

MakeDialog {
    name = "gameplay",
    Gameplay {
        name = "gameplay", x = 0, y = 0, w = 800, h = 600,
        locationnumber = 1, timescenetransition = 300,
        -- Three misses within a second shake the cursor along the path for 900 ms.
        crazyclick = { main = { name = "dev_crazy", image = "dev/cursor" } },
        crazyclickcounttoactivate = 3, crazyclicktimetoremoveclick = 1000,
        crazyclickpathduration = 900, crazyclickpath = "dev/crazy_path.txt",
        characterinfo = {
            scrim = { maxalpha = 0.4, fadetime = 200 },
            conversation_info = {},
            info = {
                image = "dev/bubble", alphabubblefade = 1, bounds = { x = 0, y = 0, w = 270, h = 80 },
                flags = 5, timeslide = 300, timebubblefade = 200, textx = 166, texty = 48,
            },
            guide = {
                name = "guide", image = "dev/guide", left = true, xhome = 120, xcenter = 80,
                y = 500, font = { "fonts/default.mvec", 16, { 0.1, 0.1, 0.1, 1 } },
                bubblex = 150, bubbley = 60,
            },
        },
        -- The music drops while the guide speaks.
        volumeplaylistduringdialogfade = 0.4, timeplaylistduringdialogfade = 300,
        tooltipbasic = Tooltip(), tooltiphint = Tooltip(),
        tooltipinventory = {
            font = { "fonts/default.mvec", 16, { 1, 1, 1, 1 } }, x = 400, y = 470, w = 260,
            h = 40, widthperline = 200, timeintro = 100, timeoutro = 100, timevisible = 2000,
            timeinitialwait = 100, borderwidth = 6, borderheight = 4, distancebetweenitems = 6,
            backgroundcolor = { 0, 0, 0, 0.7 }, textmask = "%s",
        },
        cursordefault = "dev_default", cursorpickup = "dev_pickup",
        cursorrollover = "dev_rollover", cursorinfo = "dev_info", cursorhint = "dev_hint",
        cursorloading = "dev_loading",
        cursors = {
            Cursor("dev_default"), Cursor("dev_pickup"), Cursor("dev_rollover"),
            Cursor("dev_info"), Cursor("dev_hint"), Cursor("dev_loading"),
        },
        playlistinfo = { timefadeout = 500, timecrossfade = 500 },
        playlist = { location01 = { dev_a = {}, dev_b = {} } },
        sceneinfo = {},
        entityinfo = {
            iteminfo = {
                imagemask = "_mask", timefound = 300, timetoinventory = 500, timefadeaway = 200,
                timevisible = 300, distancearc = 60, rotatefound = 0.25,
            },
            areainfo = {
                imagemask = "_mask", timehilightfade = 300, timehilightfadefast = 150,
                alphahilightmin = 0.4, timevisible = 300, timecompletefade = 400,
            },
            layerinfo = { fadetime = 300 },
            textinfo = { fadetime = 300 },
        },
        inventoryinfo = {
            imagemask = "_mask", scaleequip = 1, timeequip = 200, timeunequip = 300,
            timetouse = 300, timevisible = 300, timetomove = 300, timefadepart = 300,
            rotatetouse = 0.25,
        },
        animatedcursorinfo = {},
        ReadFile("scripts/hud.lua")(),
        Button {
            name = "leave", close = true, x = 750, y = 10,
            buttongraphics = { "hud/pause_n", "hud/pause_p", "hud/pause_h" },
        },
    },
}
