-- A location whose own script is not written yet: the gameplay window with one backdrop, the
-- scene HUD, the location's name from the map and a "Continue" button that ends it as every
-- location ends, by an event whose action is "scene_complete": the runner's completion counts it,
-- hands the record over to the next screen and removes the location's record in one save, then
-- runs "LocationComplete();". Opened by game.lua with the location byte as `number`.
gScreen = "gameplay"
local t = gDialogTable or {}
local number = t.number or 0
local kNames = { [0] = "map_gatehouse", "map_observatory", "map_crypt" }
local kBackdrops = { [0] = "dev/bg_a", "dev/bg_b", "dev/bg_a" }

local function Cursor(name)
    return { main = { name = name, image = "dev/cursor" } }
end

gameplayinstructions = {
    conversations = {},
    events = {
        { name = "standin_start", layerstoactivate = { "standin_bg" } },
        { name = "standin_done", action = "scene_complete" },
    },
    scenes = { "standin" },
    standin = {
        layers = {
            { name = "standin_bg", image = kBackdrops[number] or "dev/bg_a", x = 0, y = 0,
              depth = 100 },
        },
    },
    initial_event = "standin_start",
    active_scene = "standin",
}

local playlist = {}
playlist[string.format("location%02d", number + 1)] = { standin = {} }

-- Once: a second press before the map covers the location asks for nothing more. The script does
-- not count the location itself: the location byte moved and the profile saved here would reach
-- the file in the game state "in a location" beside the location's record, which only the close
-- removes, and a start between the two would go straight into the next location, past the map.
local completed = false
local function Complete()
    if completed then
        return
    end
    completed = true
    GameplayActivateEvent("standin_done")
end

MakeDialog {
    name = "gameplay",
    Gameplay {
        name = "gameplay", x = 0, y = 0, w = 800, h = 600,
        locationnumber = number + 1,
        characterinfo = { scrim = {}, conversation_info = {}, info = {} },
        cursordefault = "standin_default", cursorpickup = "standin_pickup",
        cursorrollover = "standin_rollover", cursorinfo = "standin_info",
        cursorhint = "standin_hint", cursorloading = "standin_loading",
        cursors = {
            Cursor("standin_default"), Cursor("standin_pickup"), Cursor("standin_rollover"),
            Cursor("standin_info"), Cursor("standin_hint"), Cursor("standin_loading"),
        },
        playlistinfo = { timefadeout = 500, timecrossfade = 500 },
        playlist = playlist,
        sceneinfo = {},
        entityinfo = {
            iteminfo = {}, areainfo = {}, layerinfo = { fadetime = 300 },
            textinfo = { fadetime = 300 },
        },
        animatedcursorinfo = {},
        -- Drawn by the window itself, whatever the runner draws of its scene so far.
        Bitmap { name = "backdrop", image = kBackdrops[number] or "dev/bg_a", x = 0, y = 0 },
        ReadFile("scripts/hud.lua")(),
        Text {
            name = "title", label = kNames[number] or "map_continue",
            x = kCenter, y = 200, w = 500, h = 60, flags = gStyles.centred,
            font = { "fonts/title.mvec", 40, { 0.95, 0.88, 0.6, 1 } },
        },
        Button(ButtonStyle {
            name = "continue", text = "map_continue", x = kCenter, y = 300,
            command = Complete,
        }),
    },
}
