-- A development location: two scenes, each one full-screen backdrop, a door in each leading to the
-- other, a key to find in the first and a chest there that the key opens (its completion lights a
-- glow over it), the scene HUD and a "leave" button at the top right that closes the location (and
-- so the program, when it is the first screen). Opened with "options=start=scripts/dev/location.lua".
gScreen = "gameplay"

local function Cursor(name)
    return { main = { name = name, image = "dev/cursor" } }
end

local function Backdrop(name, image)
    return { name = name, image = image, x = 0, y = 0, depth = 100 }
end

-- A door: a portal whose plain click runs `event`.
local function Door(name, x, event)
    return {
        name = name, image = "dev/door", x = x, y = 150, depth = 50, isportal = true,
        hasactiveframe = true, actualname = "Door",
        events = { default = { eventname = event } },
    }
end

gameplayinstructions = {
    conversations = {},
    events = {
        {
            name = "dev_start", layerstoactivate = { "dev_a_bg", "dev_b_bg" },
            areastoactivate = { "dev_door", "dev_chest", "dev_back" },
            inventorytoactivate = { "dev_key" },
        },
        { name = "dev_go_b", action = "dev_b" },
        { name = "dev_go_a", action = "dev_a" },
        { name = "dev_open", areastocomplete = { "dev_chest" }, animations = { "dev_chest_glow" } },
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
          actualname = "Key", type = "thessalor" },
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
            Door("dev_door", 600, "dev_go_b"),
            {
                name = "dev_chest", image = "dev/chest", x = 350, y = 250, depth = 40,
                hasactiveframe = true, hascompletedframe = true, actualname = "Chest",
                events = { dev_key = { eventname = "dev_open" } },
            },
        },
    },
    dev_b = {
        layers = { Backdrop("dev_b_bg", "dev/bg_b") },
        areas = { Door("dev_back", 20, "dev_go_a") },
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
        characterinfo = { scrim = {}, conversation_info = {}, info = {} },
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
