-- A development location: two scenes, each one full-screen backdrop, the scene HUD and a "leave"
-- button at the top right that closes the location (and so the program, when it is the first
-- screen). Opened with "options=start=scripts/dev/location.lua".
gScreen = "gameplay"

local function Cursor(name)
    return { main = { name = name, image = "dev/cursor" } }
end

local function Backdrop(name, image)
    return { name = name, image = image, x = 0, y = 0, depth = 100 }
end

gameplayinstructions = {
    conversations = {},
    events = {
        { name = "dev_start", layerstoactivate = { "dev_a_bg", "dev_b_bg" } },
    },
    scenes = { "dev_a", "dev_b" },
    dev_a = { layers = { Backdrop("dev_a_bg", "dev/bg_a") } },
    dev_b = { layers = { Backdrop("dev_b_bg", "dev/bg_b") } },
    initial_event = "dev_start",
    active_scene = "dev_a",
}

MakeDialog {
    name = "gameplay",
    Gameplay {
        name = "gameplay", x = 0, y = 0, w = 800, h = 600,
        locationnumber = 1,
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
            iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 300 },
            textinfo = { fadetime = 300 },
        },
        animatedcursorinfo = {},
        ReadFile("scripts/hud.lua")(),
        Button {
            name = "leave", close = true, x = 750, y = 10,
            buttongraphics = { "hud/pause_n", "hud/pause_p", "hud/pause_h" },
        },
    },
}
