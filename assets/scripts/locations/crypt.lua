-- The Crypt, the third and last location: the vaulted room with its cold brazier, the altar, the
-- sealed vault and the old hearth; the altar's crystals close up; the vault under its slab. The
-- flint lights the brazier, whose light wakes the altar; the altar's crystals open the vault,
-- whose cover lifted lets its locks be turned; they give up the hearthstone, which set in the
-- hearth relights it and ends the game's last location.
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

-- The vault's stone locks and the eyes above them. A lock's picture is centred on its own origin
-- and carried to its seat (a layer with no picture), so the puzzle's turns spin it about its
-- middle.
local function Seat(n, x)
    return { name = "lock" .. n .. "_seat", depth = 55, x = x, y = 170 }
end

local function StoneLock(n)
    return {
        name = "lock" .. n, depth = 50, image = "puzzles/stonelock", flags = 5,
        parentlayer = "lock" .. n .. "_seat", parentposition = true,
    }
end

local function Eye(n, x)
    return { name = "eye" .. n, depth = 50, image = "puzzles/eye", x = x, y = 90, flags = 5 }
end

local function Item(name, inventory, image, x, y)
    return {
        name = name, depth = 10, inventory = inventory, inventoryparts = { 1 }, image = image,
        x = x, y = y,
    }
end

-- A beam of the ritual, hidden until the puzzle shows it as pattern `n` is answered.
local function Beam(name, n)
    return { name = name, depth = 50, image = "puzzles/beam_" .. n, x = 400, y = 100, flags = 5 }
end

-- A fire that burns once lit: four frames going round.
local function Fire(name, x, y)
    return {
        name = name, depth = 20, image = "scenes/crypt/" .. name, x = x, y = y,
        framespeed = 110, animation = "wrap", flags = 5,
    }
end

local AltarHelpBand, AltarHelp = gStyles.instruction("altar_help", "puzzle_ritual")
local VaultHelpBand, VaultHelp = gStyles.instruction("vault_help", "puzzle_locks")

gameplayinstructions = {
    conversations = {},
    scenes = { "crypt", "altar", "vault" },
    minigames = { altar = "ritualpuzzlescene", vault = "threelocksscene" },
    active_scene = "crypt",
    initial_event = "start_crypt",
    inventory = {
        { name = "flint", actualname = "inv_flint", image = "inventory/flint",
          homescene = "crypt", partcount = 1, type = "thessalor" },
        -- Joins the strip, and its item can be found, once the vault's locks are turned.
        { name = "hearthstone", actualname = "inv_hearthstone", image = "inventory/hearthstone",
          homescene = "crypt", partcount = 1, type = "lirae" },
    },
    events = {
        {
            name = "start_crypt",
            layerstoactivate = {
                "crypt_bg", "altar_bg", "vault_bg", "vault_slab", "altar_help_band", "altar_help",
                "vault_help_band", "vault_help",
            },
            areastoactivate = {
                "area_brazier", "area_hearth", "area_altarback", "area_vaultback",
                "area_vaultcover",
            },
            inventorytoactivate = { "flint" }, journaltoactivate = { "journal_crypt" },
            -- Particle entities start active; the embers fly only once the brazier burns.
            particlestodeactivate = { "brazier_embers" },
        },
        {
            name = "light_brazier", areastocomplete = { "area_brazier" },
            layerstoactivate = { "brazier_fire" }, particlestoactivate = { "brazier_embers" },
            areastoactivate = { "area_altar" },
        },
        { name = "goto_altar", action = "altar" },
        { name = "goto_vault", action = "vault" },
        { name = "goto_crypt", action = "crypt" },
        -- A puzzle's completion leaves its scene, so the puzzle stops asking for it.
        {
            name = "event_ritualcomplete", action = "crypt",
            areastocomplete = { "area_altar" },
            areastoactivate = { "area_vault" }, minigame = "complete(400,300,64)",
            layerstodeactivate = { "altar_help_band", "altar_help" },
        },
        -- The locks' puzzle waits for the cover's done mark: completed, not switched off.
        {
            name = "lift_cover", areastocomplete = { "area_vaultcover" },
            layerstodeactivate = { "vault_slab" },
            -- The puzzle puts the eyes out again until it shows them.
            layerstoactivate = { "lock1", "lock2", "lock3", "eye1", "eye2", "eye3" },
        },
        {
            name = "event_threelockscomplete", action = "crypt",
            areastocomplete = { "area_vault" },
            inventorytoactivate = { "hearthstone" }, minigame = "complete(400,300,64)",
            layerstodeactivate = { "vault_help_band", "vault_help" },
            journaltodeactivate = { "journal_crypt" }, journaltoactivate = { "journal_hearth" },
        },
        {
            name = "relight", areastocomplete = { "area_hearth" },
            layerstoactivate = { "hearth_fire" }, journaltodeactivate = { "journal_hearth" },
            action = "scene_complete",
        },
        -- Leaving a puzzle puts its instruction line away: it shows the first time only.
        {
            name = "leave_altar", action = "crypt",
            layerstodeactivate = { "altar_help_band", "altar_help" },
        },
        {
            name = "leave_vault", action = "crypt",
            layerstodeactivate = { "vault_help_band", "vault_help" },
        },
    },
    crypt = {
        layers = {
            Backdrop("crypt_bg", "scenes/crypt/bg"),
            Fire("brazier_fire", 620, 300),
            Fire("hearth_fire", 300, 386),
        },
        items = {
            Item("item_flint", "flint", "items/flint", 160, 430),
            Item("item_hearthstone", "hearthstone", "items/hearthstone", 520, 440),
        },
        areas = {
            {
                name = "area_brazier", depth = 50, image = "areas/brazier", x = 620, y = 360,
                actualname = "area_brazier_name",
                events = { flint = { eventname = "light_brazier" } },
            },
            Way("area_altar", 50, "areas/altar", 400, 240, "area_altar_name", "goto_altar"),
            Way("area_vault", 50, "areas/vault", 160, 260, "area_vault_name", "goto_vault"),
            {
                name = "area_hearth", depth = 50, image = "areas/hearth", x = 300, y = 420,
                actualname = "area_hearth_name",
                events = { hearthstone = { eventname = "relight" } },
            },
        },
        particles = {
            { name = "brazier_embers", depth = 15, script = "fx/embers.lua",
              data = { dLocus = { 0, 0 }, dCenter = { 620, 270 } } },
        },
    },
    -- The ritual's close-up: its crystals are the puzzle's own; each answered pattern fades in
    -- one beam, fanning up from the middle crystal.
    altar = {
        layers = {
            Backdrop("altar_bg", "scenes/altar/bg"),
            Beam("ritual_whitegreen", 1), Beam("ritual_blueyellow", 2), Beam("ritual_bluegreen", 3),
            Beam("ritual_whitered", 4), Beam("ritual_yellowred", 5), AltarHelpBand,
        },
        text = { AltarHelp },
        areas = {
            Way("area_altarback", 60, "areas/back_bottom", 400, 480, "area_back_name",
                "leave_altar"),
        },
    },
    vault = {
        layers = {
            Backdrop("vault_bg", "scenes/vault/bg"),
            { name = "vault_slab", depth = 60, image = "scenes/vault/slab", x = 400, y = 360,
              flags = 5 },
            Seat(1, 250), Seat(2, 400), Seat(3, 550),
            StoneLock(1), StoneLock(2), StoneLock(3),
            Eye(1, 250), Eye(2, 400), Eye(3, 550), VaultHelpBand,
        },
        text = { VaultHelp },
        areas = {
            Way("area_vaultback", 40, "areas/back_bottom", 400, 480, "area_back_name",
                "leave_vault"),
            -- Lit up over the slab; lifted, the slab fades and the cover counts as done.
            {
                name = "area_vaultcover", depth = 50, image = "areas/vaultcover", x = 400,
                y = 360, actualname = "area_vaultcover_name",
                events = { default = { eventname = "lift_cover" } },
            },
        },
    },
}

local Location = ReadFile("scripts/locations/common.lua")
MakeDialog {
    name = "gameplay",
    Location {
        number = 3, journal = "journal/left_crypt",
        playlist = {
            location03 = {
                crypt = { "music_crypt" }, altar = { "music_puzzle" }, vault = { "music_puzzle" },
            },
        },
        -- The two medallions' prompts only.
        tutorials = TutorialTable(false),
    },
}
