-- What every location's gameplay window shares: returns a builder, `function(opts)`, of the
-- "Gameplay" window table, with the location's own number (its playlist entry "location%02d"),
-- playlist, tutorial prompts and journal picture from `opts`. The journal comes before the HUD:
-- both hold a child named "journal", and the journal's own must be the one found first.
local fonts = gStyles.fonts

local function Cursor(name, image, extra)
    local main = { name = name, image = image, flags = 5 }
    for key, value in pairs(extra or {}) do
        main[key] = value
    end
    return { main = main }
end

-- A tooltip's look; the basic and the hint tooltips differ only in where they are kept: the basic
-- one stands above and to the right of the pointer, which would cover its first letter below, the
-- hint one below its fixed point. The runner gives each its background ("tooltipcolor" or a
-- character's light colour): dark text.
local function Tooltip(position)
    return {
        font = fonts.body, w = 260, h = 40, position = position, borderwidth = 8,
        borderheight = 6,
        timeinitialwait = 300, timevisible = 3000, timefade = 200,
        minx = 0, miny = 0, maxx = 800, maxy = 600,
        backgroundcolor = { 0, 0, 0, 0.6 }, alphascrimmax = 0.6,
    }
end

local characterinfo = {
    -- No scrim: the scene stays as bright behind Odo as in play (his bubble carries its own
    -- parchment). Its picture covers the whole screen should one be wanted.
    scrim = { maxalpha = 0, fadetime = 300, scrim = "conversation/scrim" },
    conversation_info = { groupid = 1102 },
    characterspacing = 40, soundenter = "whoosh", soundexit = "whoosh",
    info = {
        image = "conversation/bubble", alphabubblefade = 1,
        bounds = { x = 0, y = 0, w = 330, h = 100 }, flags = 5,
        -- The text box's centre lies "textx", "texty" from the bubble picture's top left: the
        -- middle of the bubble's body, right of its tail.
        timeslide = 400, timebubblefade = 250, textx = 189, texty = 60,
    },
    odo = {
        name = "odo", image = "conversation/odo", left = true, groupid = 1102,
        xhome = 170, xcenter = 130, y = 520,
        font = { "fonts/default.mvec", 17, { 0.1, 0.08, 0.05, 1 } },
        bubblex = 300, bubbley = 80,
    },
}

local audio = {
    itemclickhit = { sounds = { "item_found" } }, hintshowitem = { sounds = { "hint" } },
    soundinventoryequip = { sounds = { "equip" } }, soundinventoryhint = { sounds = { "hint" } },
    clickmiss = "miss", inventoryappear = "appear", inventoryhover = "hover",
    inventoryunequip = "equip", areaclick = "click", areahilight = "hover",
    areacomplete = "use", crazyclick = "miss",
    -- The game's: every sound-effect table names its sounds.
    showhintselect = { sounds = { "hint" } }, itemclicklirae = { sounds = { "item_found" } },
    itemclickthessalor = { sounds = { "item_found" } }, hintshowlirae = { sounds = { "hint" } },
    hintshowthessalor = { sounds = { "hint" } }, soundhintlirae = "hint",
    soundhintthessalor = "hint",
}

local entityinfo = {
    iteminfo = {
        imagemask = "", particles = "fx/burst.lua", particlesplash = "fx/burst.lua",
        rotatefound = 1, distancearc = 120, timefound = 600, timevisible = 300,
        timetoinventory = 700, timefadeaway = 300,
        particlelirae = "fx/burst.lua", particlethessalor = "fx/burst.lua",
        particleliraesecondary = "fx/mist.lua", particlethessalorsecondary = "fx/mist.lua",
        timehintfade = 500, timehintappear = 400, scalehint = 1.5, alphahint = 0.8,
    },
    areainfo = {
        imagemask = "", particlecomplete1 = "fx/burst.lua", particlecomplete2 = "fx/mist.lua",
        hilightparticles = "fx/mist.lua", timehilightfade = 400, timehilightfadefast = 150,
        timevisible = 300, timecompletefade = 500, alphahilightmin = 0.3,
        particlelirae = "fx/burst.lua", particlethessalor = "fx/burst.lua",
        particleliraesecondary = "fx/mist.lua", particlethessalorsecondary = "fx/mist.lua",
        timehintfade = 500, timehintappear = 400, scalehint = 1.5, alphahint = 0.8,
    },
    layerinfo = { fadetime = 300 },
    textinfo = { fadetime = 300 },
}

local animatedcursorinfo = {
    startalpha = 0, endalpha = 1, timeanimation = 1600,
    model = {
        model = "models/lantern.mesh", texture = "models/lantern",
        nearplane = 0.1, farplane = 100, fov = 0.8, aspect = 0, localmatrix = { 0, 0, 4 },
        material = {
            diffuse = { 1, 1, 1, 1 }, ambient = { 0.4, 0.4, 0.4, 1 },
            specular = { 0.2, 0.2, 0.2, 1 }, emit = { 0.2, 0.15, 0.05, 1 }, reflectance = 8,
        },
        light = { type = 0, diffuse = { 1, 0.9, 0.7, 1 }, direction = { 0, -0.5, 1 },
                  lightFollows = true },
    },
}

local inventoryinfo = {
    imagemask = "", particles = "fx/burst.lua", timetouse = 500, timeunequip = 300,
    timeequip = 250, timevisible = 300, timefadepart = 400, timetomove = 600,
    timerolloverglow = 250, timerolloveroffset = 150, hilighttime = 200, hilightcount = 3,
    filltime = 400, rotatetouse = 0.05,
    -- At least 1: a held object is drawn this much larger.
    scaleequip = 1.1,
    silhouettealpha = 0.5, offsetalpha = 1, hilightalpha = 0.8,
    barwidth = 56, bary = 28, barfilly = 28,
    offsetrollovery = -6, offsetrolloverx = 0, offsetrolloverstarty = 0, offsetrolloverstartx = 0,
    progressbaritemtooltip = "tt_parts", progressbaralpha = 1,
    frameleft = "hud/frame_l", framecenter = "hud/frame_c", frameright = "hud/frame_r",
    fillleft = "hud/fill_l", fillcenter = "hud/fill_c", fillright = "hud/fill_r",
    barfillgapx = 2, barendgapx = 2, framealpha = 1, fillempty = "hud/fill_empty",
    fillthessalor = "hud/fill_thessalor", filllirae = "hud/fill_lirae",
    particlesystemlirae = "fx/mist.lua", particlesystemliraesecondary = "fx/mist.lua",
    particlesystemthessalor = "fx/mist.lua", particlesystemthessalorsecondary = "fx/mist.lua",
}

return function(opts)
    return Gameplay {
        name = "gameplay", x = 0, y = 0, w = 800, h = 600, fade = true,
        locationnumber = opts.number,
        characterinfo = characterinfo,
        tooltiphintvalidtarget = "tt_hint_valid", tooltiphintnovalidtarget = "tt_hint_none",
        tooltiphintselect = "tt_hint_select", tooltipprogressbar = "tt_progress",
        cursordefault = "arrow", cursorpickup = "grab", cursorrollover = "hand",
        cursorinfo = "look", cursorhint = "hint", cursorloading = "wait",
        hinttooltippositionx = 400, hinttooltippositiony = 470,
        tooltipcolor = { 1, 0.95, 0.8, 1 },
        timescenetransition = 500, timeplaylistduringdialogfade = 400,
        volumeplaylistduringdialogfade = 0.4, loadingcursortimetoshow = 500,
        tooltipbasic = Tooltip(2), tooltiphint = Tooltip(10),
        tooltipinventory = gStyles.tooltipinventory,
        playlistinfo = { timefadeout = 800, timecrossfade = 1500, groupid = { 1001 } },
        playlist = opts.playlist,
        tutorials = opts.tutorials,
        cursors = {
            Cursor("arrow", "cursor/arrow", { flags = 0, xcenter = 2, ycenter = 2 }),
            Cursor("grab", "cursor/grab"),
            Cursor("hand", "cursor/hand", { flags = 0, xcenter = 10, ycenter = 2 }),
            Cursor("look", "cursor/look"),
            Cursor("hint", "cursor/hint"),
            Cursor("wait", "cursor/wait", { framespeed = 120, animation = "wrap" }),
            Cursor("handopen", "cursor/handopen"),
            Cursor("handclosed", "cursor/handclosed"),
        },
        crazyclick = Cursor("crazy", "cursor/crazy"),
        crazyclickpathduration = 900, crazyclickcounttoactivate = 3,
        crazyclicktimetoremoveclick = 1000, crazyclickpath = "cursor/crazy_path.txt",
        audio = audio,
        soundeffectsgroupid = 1100,
        sceneinfo = { showareadelay = 150, showareapredelay = 300, groupid = 1100 },
        entityinfo = entityinfo,
        animatedcursorinfo = animatedcursorinfo,
        inventoryinfo = inventoryinfo,
        -- The game's hint keys.
        timehinttodestination = 700, distancetoinventoryarc = 80, distancetoitemarc = 80,
        hintrotatetoinventory = 1, hintrotatetoitem = 1,
        pulsedelay = 200, pulseduration = 600, pulsescale = 1.6,
        puzzlecompletefade = 600, puzzlecompletetotal = 1600,
        tooltiphintliraenovalidtarget = "tt_lirae_none",
        tooltiphintthessalornovalidtarget = "tt_thessalor_none",
        -- Above the journal's goals when a lit tracker is clicked with nothing left to hint at.
        journalnohint = "journal_nohint",
        -- Over a medallion: "notavailable" when its game can earn no more (every tracker lit),
        -- "available" while a tracker is still dark.
        tooltipmedallionliraenotavailable = "tt_lirae_full",
        tooltipmedallionliraeavailable = "tt_lirae_earn",
        tooltipmedallionthessalornotavailable = "tt_thessalor_full",
        tooltipmedallionthessaloravailable = "tt_thessalor_earn",
        -- Long: the mini hint comes only after this long without a click.
        timehintshowdestination = 2500, timehintminishow = 45000,
        timehinttoaddappear = 400, timehinttoaddmove = 700, scalehinttoadd = 1.5,
        rotationhinttoadd = 1, archinttoadd = 60, timehintfade = 500,
        alphathessalorhintcolor = 0.5, alphaliraehintcolor = 0.7,
        colorthessalorhint = { 0.2, 0.3, 0.6, 1 }, colorthessalortooltip = { 0.8, 0.9, 1, 1 },
        colorliraehint = { 0, 0, 0, 1 }, colorliraetooltip = { 1, 0.9, 0.7, 1 },
        spriteliraehint = "hint/lirae_spot", spriteliraecenterx = 128, spriteliraecentery = 128,
        spriteliraehintwidth = 200, spriteliraehintheight = 200,
        pulsecount = 2, pulsetexture = "hud/pulse",
        godray = {
            -- World units of the rays' pass, 10 in front of the eye: one is about 72 pixels.
            texture = "fx/ray", raydistancemin = 0.3, raydistancemax = 0.8,
            rayalphamin = 60, rayalphamax = 140, raylengthmin = 2.8, raylengthmax = 4.4,
            raywidthmin = 0.2, raywidthmax = 0.4, rayanglemin = -0.4, rayanglemax = 0.4,
            rayrotatespeedmin = 8000, rayrotatespeedmax = 14000,
        },
        godraycount = 3,
        particlehintshowdestinationmini = "fx/glint.lua",
        liraeparticlesystempath = "{0,0,120,40,240,0,",
        particleliraehintmist = "fx/mist.lua", particleliraehintmistsecondary = "fx/mist.lua",
        particleliraehintsmall = "fx/burst.lua", particlepuzzlecompletelirae = "fx/complete.lua",
        particlepuzzlecompletethessalor = "fx/complete.lua", particlehintlirae = "fx/burst.lua",
        particlehintthessalor = "fx/burst.lua", particlehintliraesecondary = "fx/glint.lua",
        particlehintthessalorsecondary = "fx/glint.lua",
        particlepuzzlecompletepositionx = 400, particlepuzzlecompletepositiony = 300,
        particlepuzzlecompletesize = 64,
        ReadFile("scripts/journal.lua")(opts.journal),
        ReadFile("scripts/hud.lua")(),
        ReadFile("scripts/hintthessalor.lua")(),
        ReadFile("scripts/hintlirae.lua")(),
    }
end
