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

-- Until a puzzle of its own is played here: an opaque panel whose click completes the puzzle.
local function StandIn(name, x, y, label, event)
    return {
        name = name, depth = 50, image = "areas/puzzle_standin", x = x, y = y,
        hasactiveframe = true, actualname = label, events = { default = { eventname = event } },
    }
end

local function Item(name, inventory, image, x, y)
    return {
        name = name, depth = 10, inventory = inventory, inventoryparts = { 1 }, image = image,
        x = x, y = y,
    }
end

-- A fire that burns once lit: four frames going round.
local function Fire(name, x, y)
    return {
        name = name, depth = 20, image = "scenes/crypt/" .. name, x = x, y = y,
        framespeed = 110, animation = "wrap", flags = 5,
    }
end

gameplayinstructions = {
    conversations = {},
    scenes = { "crypt", "altar", "vault" },
    -- Ordinary scenes while their puzzles do not exist.
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
            layerstoactivate = { "crypt_bg", "altar_bg", "vault_bg", "vault_slab" },
            areastoactivate = {
                "area_brazier", "area_hearth", "area_altarback", "area_vaultback",
                "area_vaultcover", "area_ritual_standin",
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
            areastocomplete = { "area_altar", "area_ritual_standin" },
            areastoactivate = { "area_vault" }, minigame = "complete(400,300,64)",
        },
        -- The locks' puzzle waits for the cover's done mark: completed, not switched off.
        {
            name = "lift_cover", areastocomplete = { "area_vaultcover" },
            layerstodeactivate = { "vault_slab" }, areastoactivate = { "area_threelocks_standin" },
        },
        {
            name = "event_threelockscomplete", action = "crypt",
            areastocomplete = { "area_vault", "area_threelocks_standin" },
            inventorytoactivate = { "hearthstone" }, minigame = "complete(400,300,64)",
            journaltodeactivate = { "journal_crypt" }, journaltoactivate = { "journal_hearth" },
        },
        {
            name = "relight", areastocomplete = { "area_hearth" },
            layerstoactivate = { "hearth_fire" }, journaltodeactivate = { "journal_hearth" },
            action = "scene_complete",
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
    altar = {
        layers = { Backdrop("altar_bg", "scenes/altar/bg") },
        areas = {
            Way("area_altarback", 60, "areas/back_bottom", 400, 480, "area_back_name",
                "goto_crypt"),
            StandIn("area_ritual_standin", 400, 280, "area_altar_name", "event_ritualcomplete"),
        },
    },
    vault = {
        layers = {
            Backdrop("vault_bg", "scenes/vault/bg"),
            { name = "vault_slab", depth = 60, image = "scenes/vault/slab", x = 400, y = 360,
              flags = 5 },
        },
        areas = {
            Way("area_vaultback", 40, "areas/back_bottom", 400, 480, "area_back_name",
                "goto_crypt"),
            -- Lit up over the slab; lifted, the slab fades and the cover counts as done.
            {
                name = "area_vaultcover", depth = 50, image = "areas/vaultcover", x = 400,
                y = 360, actualname = "area_vaultcover_name",
                events = { default = { eventname = "lift_cover" } },
            },
            StandIn("area_threelocks_standin", 400, 180, "area_vault_name",
                    "event_threelockscomplete"),
        },
    },
}

local Location = ReadFile("scripts/locations/common.lua")
MakeDialog {
    name = "gameplay",
    Location {
        number = 3,
        playlist = {
            location03 = {
                crypt = { "music_crypt" }, altar = { "music_puzzle" }, vault = { "music_puzzle" },
            },
        },
        -- The two medallions' prompts only.
        tutorials = TutorialTable(false),
    },
}
