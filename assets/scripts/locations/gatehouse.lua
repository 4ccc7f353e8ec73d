-- The Gatehouse, the first location: the hall with its locked door, the keeper Odo and the unlit
-- lamp; the storeroom behind the door with the cabinet; the close-up of the cabinet's lock. The
-- key's two halves open the door; the oil can, the glass and the wick light the lamp, which ends
-- the location.
gScreen = "gameplay"

-- A scene's backdrop: a full-screen picture about the screen's centre.
local function Backdrop(name, image)
    return { name = name, depth = 100, image = image, x = 400, y = 300, flags = 5 }
end

-- A way to another scene: a portal area, drawn, whose plain click runs `event`.
local function Way(name, depth, image, x, y, label, event)
    return {
        name = name, depth = depth, image = image, x = x, y = y, isportal = true,
        hasactiveframe = true,
        cursor = "hand", actualname = label, events = { default = { eventname = event } },
    }
end

-- One of the lamp's three parts: completed by the object it takes.
local function LampPart(part, y, object, event)
    return {
        name = "area_lamp_" .. part, depth = 30, image = "areas/lamp_" .. part, x = 330, y = y,
        groupid = "lamp", hascompletedframe = true, actualname = "area_lamp_name",
        events = { [object] = { eventname = event } },
    }
end

local function Item(name, depth, inventory, image, x, y, part)
    return {
        name = name, depth = depth, inventory = inventory, inventoryparts = { part or 1 },
        image = image, x = x, y = y,
    }
end

local LockHelpBand, LockHelp = gStyles.instruction("lock_help", "puzzle_lock")

gameplayinstructions = {
    conversations = {
        odo_intro = {
            charactertospeak = "odo", text = "conv_odo_1", sound = "voice_odo_1?group=1102",
            characterstoshow = { "odo" }, nextconversation = "odo_intro2",
        },
        -- The last line: every character slides out after it.
        odo_intro2 = {
            charactertospeak = "odo", text = "conv_odo_2", sound = "voice_odo_2?group=1102",
        },
        odo_keeper = {
            charactertospeak = "odo", text = "conv_odo_keeper",
            sound = "voice_odo_keeper?group=1102", characterstoshow = { "odo" },
        },
        odo_thanks = {
            charactertospeak = "odo", text = "conv_odo_thanks",
            sound = "voice_odo_thanks?group=1102", characterstoshow = { "odo" },
        },
    },
    animations = {
        {
            name = "door_swing", layer = "gatehouse_door", callback = true,
            fade = { beginopacity = 1, endopacity = 0, duration = 500, smoothing = "introoutro" },
        },
    },
    scenes = { "gatehouse", "storeroom", "lockpanel" },
    -- While the lock's puzzle does not exist the runner makes an ordinary scene of it.
    minigames = { lockpanel = "electroniclockscene" },
    active_scene = "gatehouse",
    -- No "action" and nothing made invisible here: it runs as the location loads.
    initial_event = "start",
    inventory = {
        { name = "gatekey", actualname = "inv_gatekey", image = "inventory/gatekey",
          homescene = "gatehouse", partcount = 2, type = "thessalor" },
        { name = "oilcan", actualname = "inv_oilcan", image = "inventory/oilcan",
          homescene = "storeroom", partcount = 1, type = "lirae" },
        { name = "lampglass", actualname = "inv_lampglass", image = "inventory/lampglass",
          homescene = "storeroom", partcount = 1, type = "lirae" },
        { name = "wick", actualname = "inv_wick", image = "inventory/wick",
          homescene = "storeroom", partcount = 1, type = "thessalor" },
    },
    groupevents = { lamp = "lamp_lit" },
    events = {
        {
            name = "start",
            layerstoactivate = { "gatehouse_bg", "gatehouse_door", "storeroom_bg", "lockpanel_bg",
                                 "lock_help_band", "lock_help" },
            areastoactivate = {
                "area_door", "area_keeper", "area_lamp_oil", "area_lamp_glass", "area_lamp_wick",
                "area_cabinet", "area_backdoor", "area_lockback",
            },
            inventorytoactivate = { "gatekey" }, journaltoactivate = { "journal_key" },
            soundstoactivate = { "gate_wind" },
            -- Particle entities start active; the lamp glows only once it is lit.
            particlestodeactivate = { "lamp_glow" },
        },
        {
            name = "open_door", areastocomplete = { "area_door" }, animations = { "door_swing" },
            areastoactivate = { "area_storageroom" },
            inventorytoactivate = { "oilcan", "lampglass" },
            journaltodeactivate = { "journal_key" }, journaltoactivate = { "journal_lamp" },
        },
        { name = "goto_storeroom", action = "storeroom" },
        { name = "goto_gatehouse", action = "gatehouse" },
        { name = "goto_lockpanel", action = "lockpanel" },
        -- The lock's completion leaves its scene, so the puzzle stops asking for it.
        {
            name = "event_electroniclockcomplete", action = "storeroom",
            areastocomplete = { "area_cabinet" },
            layerstoactivate = { "cabinet_open" }, inventorytoactivate = { "wick" },
            layerstodeactivate = { "lock_help_band", "lock_help" },
            minigame = "complete(400,300,64)", journaltoactivate = { "journal_wick" },
        },
        { name = "fill_lamp", areastocomplete = { "area_lamp_oil" } },
        { name = "fit_glass", areastocomplete = { "area_lamp_glass" } },
        {
            name = "trim_wick", areastocomplete = { "area_lamp_wick" },
            journaltodeactivate = { "journal_wick" },
        },
        -- The whole lamp: lit, Odo's thanks, then the location is over.
        {
            name = "lamp_lit", layerstoactivate = { "gatehouse_lit" },
            particlestoactivate = { "lamp_glow" }, journaltodeactivate = { "journal_lamp" },
            dialog = "odo_thanks", nextevent = "gatehouse_done",
        },
        { name = "gatehouse_done", action = "scene_complete" },
        -- Leaving the lock puts its instruction line away: it shows the first time only.
        {
            name = "leave_lockpanel", action = "storeroom",
            layerstodeactivate = { "lock_help_band", "lock_help" },
        },
    },
    gatehouse = {
        -- Shown once, the first time the scene is entered.
        dialog = "odo_intro",
        -- The wind through the gate, which the first event starts: an event starts only a
        -- scene's sounds. One sound, as the hall's saved record has always had.
        sounds = {
            { name = "gate_wind", depth = 0, sounds = { "wind" }, loop = true, initialdelay = 500 },
        },
        layers = {
            Backdrop("gatehouse_bg", "scenes/gatehouse/bg"),
            { name = "gatehouse_door", depth = 60, image = "scenes/gatehouse/door",
              x = 550, y = 270, flags = 5 },
            { name = "gatehouse_lit", depth = 5, image = "scenes/gatehouse/lit", x = 400, y = 300,
              flags = 5 },
        },
        items = {
            Item("item_key_1", 10, "gatekey", "items/key_half1", 612, 410, 1),
            Item("item_key_2", 10, "gatekey", "items/key_half2", 150, 300, 2),
        },
        areas = {
            -- The door itself is the layer "gatehouse_door", faded by "door_swing".
            {
                name = "area_door", depth = 50, image = "areas/door", x = 550, y = 270,
                actualname = "area_door_name", hascompletedframe = false, hasactiveframe = false,
                events = { gatekey = { eventname = "open_door" } },
            },
            Way("area_storageroom", 55, "areas/doorway", 550, 270, "area_storeroom_name",
                "goto_storeroom"),
            -- No "default" event: a plain click starts Odo's line.
            {
                name = "area_keeper", depth = 40, image = "areas/keeper", x = 120, y = 310,
                actualname = "area_keeper_name", personification = 1,
                portalcursor = "scripts/portals/keeper.lua", clickdialog = "odo_keeper",
                events = {},
            },
            LampPart("oil", 330, "oilcan", "fill_lamp"),
            LampPart("glass", 282, "lampglass", "fit_glass"),
            LampPart("wick", 246, "wick", "trim_wick"),
        },
        particles = {
            { name = "lamp_glow", depth = 6, script = "fx/mist.lua", functions = { "fSin" },
              data = { dLocus = { 0, 0 }, dCenter = { 330, 240 } } },
        },
    },
    storeroom = {
        layers = {
            Backdrop("storeroom_bg", "scenes/storeroom/bg"),
            { name = "cabinet_open", depth = 40, image = "scenes/storeroom/cabinet_open",
              x = 640, y = 250, flags = 5 },
        },
        items = {
            Item("item_oilcan", 10, "oilcan", "items/oilcan", 210, 390),
            Item("item_lampglass", 10, "lampglass", "items/lampglass", 470, 180),
            Item("item_wick", 20, "wick", "items/wick", 640, 260),
        },
        areas = {
            Way("area_cabinet", 50, "areas/cabinet", 640, 250, "area_cabinet_name",
                "goto_lockpanel"),
            Way("area_backdoor", 60, "areas/back_left", 30, 300, "area_gatehouse_name",
                "goto_gatehouse"),
        },
    },
    lockpanel = {
        layers = { Backdrop("lockpanel_bg", "scenes/lockpanel/bg"), LockHelpBand },
        text = { LockHelp },
        areas = {
            Way("area_lockback", 60, "areas/back_bottom", 400, 480, "area_storeroom_name",
                "leave_lockpanel"),
        },
    },
}

local Location = ReadFile("scripts/locations/common.lua")
MakeDialog {
    name = "gameplay",
    Location {
        number = 1, journal = "journal/left",
        playlist = {
            location01 = {
                gatehouse = { "music_gatehouse" }, storeroom = { "music_gatehouse" },
                lockpanel = { "music_puzzle" },
            },
        },
        -- All twelve prompts.
        tutorials = TutorialTable(true),
    },
}
