-- The Observatory, the second location: the domed room with its desk, its shelves and the
-- telescope; the star scroll spread on the desk; the sky through the telescope. The candle lights
-- the desk so the scroll can be read; the scroll gives the lens, which fitted to the telescope
-- shows the sky, whose reading ends the location.
gScreen = "gameplay"

local function Backdrop(name, image)
    return { name = name, depth = 100, image = image, x = 400, y = 300, flags = 5 }
end

-- A way to another scene: a portal area, drawn (done, as it was), whose plain click runs `event`.
local function Way(name, depth, image, x, y, label, event)
    return {
        name = name, depth = depth, image = image, x = x, y = y, isportal = true,
        hasactiveframe = true, hascompletedframe = true, cursor = "hand", actualname = label,
        events = { default = { eventname = event } },
    }
end

-- A constellation of the sky, hidden until the heavens puzzle finds it.
local function Constellation(name, image, x, y)
    return { name = name, depth = 40, image = image, x = x, y = y }
end

local function Item(name, inventory, image, x, y)
    return {
        name = name, depth = 10, inventory = inventory, inventoryparts = { 1 }, image = image,
        x = x, y = y,
    }
end

-- The scroll's line stands above its progress buttons.
local ScrollHelpBand, ScrollHelp = gStyles.instruction("scroll_help", "puzzle_scroll", 21)
local SkyHelpBand, SkyHelp = gStyles.instruction("sky_help", "puzzle_sky")
-- Under the buttons, for a moment after a miss has put the found signs out (the puzzle shows it).
local ScrollResetBand, ScrollReset = gStyles.instruction("scroll_reset", "puzzle_scroll_reset", 104)

gameplayinstructions = {
    conversations = {},
    scenes = { "observatory", "scrolldesk", "telescope" },
    -- The desk's scroll and the telescope's sky are puzzles of their own.
    minigames = { scrolldesk = "scrollpuzzlescene", telescope = "heavensscene" },
    active_scene = "observatory",
    initial_event = "start_obs",
    inventory = {
        { name = "candle", actualname = "inv_candle", image = "inventory/candle",
          homescene = "observatory", partcount = 1, type = "lirae" },
        -- Joins the strip, and its item can be found, once the scroll is read.
        { name = "lens", actualname = "inv_lens", image = "inventory/lens",
          homescene = "observatory", partcount = 1, type = "thessalor" },
    },
    events = {
        {
            name = "start_obs",
            layerstoactivate = {
                "observatory_bg", "scrolldesk_bg", "telescope_bg", "scroll_help_band",
                "scroll_help", "sky_help_band", "sky_help",
            },
            areastoactivate = {
                "area_desk", "area_telescope", "area_scrollback", "area_skyback",
            },
            inventorytoactivate = { "candle" }, journaltoactivate = { "journal_desk" },
        },
        {
            name = "light_desk", areastocomplete = { "area_desk" },
            areastoactivate = { "area_scroll" }, layerstoactivate = { "desk_candle" },
            journaltodeactivate = { "journal_desk" }, journaltoactivate = { "journal_scroll" },
        },
        { name = "goto_scroll", action = "scrolldesk" },
        { name = "goto_observatory", action = "observatory" },
        { name = "goto_telescope", action = "telescope" },
        -- A puzzle's completion leaves its scene, so the puzzle stops asking for it.
        {
            name = "event_scrollcomplete", action = "observatory",
            areastocomplete = { "area_scroll" },
            inventorytoactivate = { "lens" }, minigame = "complete(400,260,64)",
            layerstodeactivate = { "scroll_help_band", "scroll_help" },
            journaltodeactivate = { "journal_scroll" }, journaltoactivate = { "journal_lens" },
        },
        {
            name = "fit_lens", areastocomplete = { "area_telescope" },
            areastoactivate = { "area_eyepiece" }, journaltodeactivate = { "journal_lens" },
        },
        {
            name = "event_heavenscomplete", action = "observatory",
            areastocomplete = { "area_eyepiece" },
            minigame = "complete(400,200,80)", nextevent = "obs_done",
            layerstodeactivate = { "sky_help_band", "sky_help" },
        },
        { name = "obs_done", action = "scene_complete" },
        -- Leaving a puzzle puts its instruction line away: it shows the first time only.
        {
            name = "leave_scroll", action = "observatory",
            layerstodeactivate = { "scroll_help_band", "scroll_help" },
        },
        {
            name = "leave_sky", action = "observatory",
            layerstodeactivate = { "sky_help_band", "sky_help" },
        },
    },
    observatory = {
        layers = {
            Backdrop("observatory_bg", "scenes/observatory/bg"),
            { name = "desk_candle", depth = 40, image = "scenes/observatory/candle",
              x = 300, y = 316, flags = 5 },
        },
        items = {
            Item("item_candle", "candle", "items/candle", 640, 430),
            Item("item_lens", "lens", "items/lens", 150, 200),
        },
        areas = {
            {
                name = "area_desk", depth = 50, image = "areas/desk", x = 300, y = 400,
                actualname = "area_desk_name", events = { candle = { eventname = "light_desk" } },
            },
            Way("area_scroll", 50, "areas/scroll", 160, 320, "area_scroll_name", "goto_scroll"),
            -- Drawn as it is, then with the lens in its mount.
            {
                name = "area_telescope", depth = 50, image = "areas/telescope", x = 560, y = 300,
                hasactiveframe = true, hascompletedframe = true,
                actualname = "area_telescope_name", events = { lens = { eventname = "fit_lens" } },
            },
            Way("area_eyepiece", 45, "areas/eyepiece", 620, 180, "area_eyepiece_name",
                "goto_telescope"),
        },
    },
    scrolldesk = {
        layers = { Backdrop("scrolldesk_bg", "scenes/scrolldesk/bg"), ScrollHelpBand,
                   ScrollResetBand },
        text = { ScrollHelp, ScrollReset },
        areas = {
            Way("area_scrollback", 60, "areas/back_bottom", 400, 480, "area_back_name",
                "leave_scroll"),
        },
    },
    telescope = {
        -- The frame with its sky cut out: the puzzle draws the sky under the scene. Each
        -- constellation found fades in at its place.
        layers = {
            Backdrop("telescope_bg", "scenes/telescope/frame"),
            Constellation("heavens_pisces", "puzzles/pisces", 250, 110),
            Constellation("heavens_gemini", "puzzles/gemini", 520, 100),
            Constellation("heavens_leo", "puzzles/leo", 400, 230),
            Constellation("heavens_scorpio", "puzzles/scorpio", 260, 330),
            Constellation("heavens_draco", "puzzles/draco", 560, 320),
            SkyHelpBand,
        },
        text = { SkyHelp },
        areas = {
            -- Below y 400, where the lens shows nothing of the sky.
            Way("area_skyback", 60, "areas/back_bottom", 400, 480, "area_back_name",
                "leave_sky"),
        },
    },
}

local Location = ReadFile("scripts/locations/common.lua")
MakeDialog {
    name = "gameplay",
    Location {
        number = 2, journal = "journal/left_observatory",
        playlist = {
            location02 = {
                observatory = { "music_observatory" }, scrolldesk = { "music_puzzle" },
                telescope = { "music_puzzle" },
            },
        },
        -- The two medallions' prompts only.
        tutorials = TutorialTable(false),
    },
}
