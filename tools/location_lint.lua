-- A location script's content lint, run in the engine's own script engine: the window makers and
-- MakeDialog are collectors, so the script builds plain tables; the walk below lists every name
-- the tables refer to ("need <kind> <name>" lines, checked against the files by the caller) and
-- every broken rule or cross-reference ("fault <text>" lines). _sources maps a script's path to
-- its text; _location names the script to run.
local lines = {}
local function Need(kind, name)
    table.insert(lines, "need " .. kind .. " " .. name)
end
local function Fault(text)
    table.insert(lines, "fault " .. text)
end

-- The string table's lookup: the label stands for its text.
function GetString(label)
    Need("label", label)
    return label
end

-- A script that does not compile, or stops as it runs, stops the lint with its own file and line
-- ("scripts/locations/well.lua:37: '}' expected ..."): the caller says it as the one fault.
function ReadFile(path)
    local text = _sources[path]
    if text == nil then
        Fault("ReadFile of a script not given: " .. path)
        return nil
    end
    local chunk, why = loadstring(text, "@" .. path)
    if chunk == nil then
        error({ fault = why })
    end
    local ran, result = pcall(chunk)
    if not ran then
        error(type(result) == "table" and result or { fault = tostring(result) })
    end
    return result
end

kHAlignCenter = 1
kVAlignCenter = 4
local function Maker(kind)
    return function(t)
        t._kind = kind
        return t
    end
end
for _, kind in ipairs({ "Gameplay", "GameplayHud", "GameplayJournal", "GameplayDialog", "Button",
                        "Text", "Bitmap", "GameplayHintLirae",
                        "GameplayHintThessalor" }) do
    _G[kind] = Maker(kind)
end
function MakeDialog(t)
    _dialog = t
end
-- Texts the content looks up as it builds its tables: the label stays, so the walk checks it.
function GetString(label)
    return label
end

gStyles = ReadFile("scripts/styles.lua")
ReadFile("scripts/tutorials.lua")
-- A name in lower case the location reads but nothing sets is a text left without its quotes
-- ({ lever } for { "lever" }): it is nil, and the list it stands in is shorter by it.
local unset = {}
setmetatable(_G, { __index = function(_, key)
    if type(key) == "string" and string.find(key, "^%l[%l%d_]*$") and not unset[key] then
        unset[key] = true
        Fault("the location reads " .. key .. ", a name nothing sets: it is nil (a name meant as "
            .. "text is written \"" .. key .. "\")")
    end
    return nil
end })
ReadFile(_location)
setmetatable(_G, nil)

local function Set(list)
    local s = {}
    for _, v in ipairs(list or {}) do
        s[v] = true
    end
    return s
end
-- A number as the engine reads one from a table: a number, or a text that reads as one ("3"); any
-- other value is nil here and 0 in the game.
local function AsNumber(value)
    if type(value) == "number" or type(value) == "string" then
        return tonumber(value)
    end
    return nil
end
-- A value as written: a text in quotes, so "3" is told from 3.
local function Shown(value)
    if type(value) == "string" then
        return string.format("%q", value)
    end
    return tostring(value)
end

-- The gameplay window and its two children.
local gameplay, hud, journal
for _, child in ipairs(_dialog or {}) do
    if child._kind == "Gameplay" then
        gameplay = child
    end
end
if gameplay == nil then
    Fault("no Gameplay window in the dialog")
    gameplay = {}
end
for i, child in ipairs(gameplay) do
    if child._kind == "GameplayHud" then
        hud = child
        if journal == nil then
            Fault("the journal comes after the HUD")
        end
    elseif child._kind == "GameplayJournal" then
        journal = child
    end
end
if hud == nil or journal == nil then
    Fault("the gameplay window lacks its HUD or its journal")
end

-- Names by key, anywhere in the window tables: pictures, sounds, labels, scripts and files.
local kImageKeys = Set({ "image", "scrim", "texture", "pulsetexture", "spriteliraehint",
    "frameleft", "framecenter", "frameright", "fillleft", "fillcenter", "fillright", "fillempty",
    "fillthessalor", "filllirae", "arrowimage", "leftimage",
    "background", "foreground", "timer", "timerbackground", "ghostmask", "mask" })
local kSoundKeys = Set({ "clickmiss", "inventoryappear", "inventoryhover", "inventoryunequip",
    "areaclick", "areahilight", "areacomplete", "crazyclick", "soundhintlirae",
    "soundhintthessalor",
    "soundenter", "soundexit", "soundclick", "sound" })
local function IsLabelKey(key)
    return key == "actualname" or key == "rightheaderstring" or key == "progressbaritemtooltip"
        or key == "journalnohint"
        or key == "finalestring" or key == "string"
        or string.find(key, "^tooltip") ~= nil
end

local function Walk(t, parent, seen)
    if seen[t] then
        return
    end
    seen[t] = true
    for key, value in pairs(t) do
        local k = type(key) == "string" and key or ""
        if type(value) == "table" then
            if k == "buttongraphics" or k == "sounds" then
                for _, v in ipairs(value) do
                    if type(v) == "table" then
                        Walk(v, k, seen)
                    else
                        Need(k == "sounds" and "sound" or "image", v)
                    end
                end
            elseif k == "font" and type(value[1]) == "string" then
                Need("file", value[1])
            else
                Walk(value, k, seen)
            end
        elseif type(value) == "string" and value ~= "" then
            if string.find(value, "%.lua$") or string.find(value, "%.mesh$")
                or string.find(value, "%.txt$") or string.find(value, "%.mvec$") then
                Need("file", value)
            elseif kImageKeys[k] or (k == "dialog" and parent == "info") then
                Need("image", value)
            elseif kSoundKeys[k] and parent ~= "info" then
                Need("sound", value)
            elseif IsLabelKey(k) then
                Need("label", value)
            end
        end
    end
end
Walk(gameplay, "", {})
for _, location in pairs(gameplay.playlist or {}) do
    for _, music in pairs(location) do
        for _, name in ipairs(music) do
            Need("sound", name)
        end
    end
end

-- The window's rules.
local function Positive(value, what)
    if type(value) ~= "number" or value <= 0 then
        Fault(what .. " is not positive")
    end
end
Positive((gameplay.tooltipinventory or {}).widthperline, "tooltipinventory.widthperline")
Positive(((hud or {}).hintinfo or {}).medallionspinduration, "hintinfo.medallionspinduration")
local scale = (gameplay.inventoryinfo or {}).scaleequip
if type(scale) ~= "number" or scale < 1 then
    Fault("inventoryinfo.scaleequip is below 1")
end
if type(gameplay.timehintminishow) ~= "number" or gameplay.timehintminishow < 10000 then
    Fault("timehintminishow is short")
end
for _, key in ipairs({ "characterinfo", "playlist", "sceneinfo", "entityinfo", "animatedcursorinfo",
                       "inventoryinfo", "tutorials", "playlistinfo" }) do
    if gameplay[key] == nil then
        Fault("the gameplay window has no " .. key)
    end
end
for _, entry in ipairs(gameplay.tutorials or {}) do
    Need("label", entry.name)
end
local cursors = {}
for _, c in ipairs(gameplay.cursors or {}) do
    cursors[c.main.name] = true
end
for _, key in ipairs({ "cursordefault", "cursorpickup", "cursorrollover", "cursorinfo",
                       "cursorhint",
                       "cursorloading" }) do
    if not cursors[gameplay[key] or ""] then
        Fault(key .. " names no cursor")
    end
end
if journal ~= nil then
    local found = false
    for _, child in ipairs(journal) do
        found = found or child.name == journal.closebutton
    end
    if not found then
        Fault("the journal has no close button")
    end
end

-- The location's tables.
local g = gameplayinstructions
if g == nil then
    Fault("no gameplayinstructions")
    g = {}
end
Walk(g, "", {})

local scenes = Set(g.scenes)
-- The screen, and the HUD's bar across its bottom.
local kScreenWidth, kScreenHeight, kHudTop = 800, 600, 500
-- The game's puzzle classes and the event each runs once solved (the three locks' is its script's
-- "eventoncomplete").
local kPuzzles = {
    electroniclockscene = "event_electroniclockcomplete",
    scrollpuzzlescene = "event_scrollcomplete",
    ritualpuzzlescene = "event_ritualcomplete",
    heavensscene = "event_heavenscomplete",
    threelocksscene = "event_threelockscomplete",
}
local events, layers, areas, items, particles, sounds, groups = {}, {}, {}, {}, {}, {}, {}
local inventory, conversations, animations = {}, g.conversations or {}, {}
for _, e in ipairs(g.events or {}) do
    events[e.name] = e
end
for _, o in ipairs(g.inventory or {}) do
    inventory[o.name] = o
    -- Only the strip answers for the type: an object only the hand holds needs none.
    if o.type ~= "lirae" and o.type ~= "thessalor" and o.canbeplacedinhud ~= false then
        Fault("inventory " .. o.name .. " has no type lirae or thessalor")
    end
    -- Any value but false (the word "false" too) lets the object go to the strip.
    if o.canbeplacedinhud ~= nil and type(o.canbeplacedinhud) ~= "boolean" then
        Fault("inventory " .. o.name .. " has canbeplacedinhud " .. string.format("%q",
            tostring(o.canbeplacedinhud)) .. ", no true or false: it is taken as true")
    end
    Need("label", o.actualname or "")
end
for _, a in ipairs(g.animations or {}) do
    animations[a.name] = a
end
for _, s in ipairs(g.soundeffects or {}) do
    sounds[s.name] = true
end
for _, name in ipairs(g.scenes or {}) do
    local scene = g[name]
    if scene == nil then
        Fault("scene " .. name .. " has no table")
        scene = {}
    end
    if scene.dialog ~= nil and conversations[scene.dialog] == nil then
        Fault("scene " .. name .. " opens an unknown conversation")
    end
    -- Events show and hide texts through the layers' lists.
    for _, list in ipairs({ scene.layers or {}, scene.text or {} }) do
        for _, l in ipairs(list) do
            layers[l.name] = true
            -- The picture's own registration point is taken only as a pair.
            if (l.xcenter == nil) ~= (l.ycenter == nil) then
                Fault("layer " .. tostring(l.name) .. " has "
                    .. (l.xcenter == nil and "ycenter without xcenter" or "xcenter without ycenter")
                    .. ": the one given is ignored")
            end
        end
    end
    for _, i in ipairs(scene.items or {}) do
        -- Entities are found by name: of two items of one name, one is never found.
        if items[i.name] then
            Fault("item " .. tostring(i.name) .. " is named twice (" .. items[i.name]
                .. " and " .. name .. ")")
        end
        items[i.name] = name
        -- Found by a click on the scene's picture above the HUD's bar.
        local x, y = AsNumber(i.x or 0), AsNumber(i.y or 0)
        if x == nil or y == nil or x < 0 or x >= kScreenWidth or y < 0 then
            Fault("item " .. tostring(i.name) .. " lies at x " .. Shown(i.x) .. ", y "
                .. Shown(i.y) .. ", off the picture (0 to " .. kScreenWidth .. ", 0 to "
                .. kHudTop .. ")")
        elseif y >= kHudTop then
            Fault("item " .. tostring(i.name) .. " lies at y " .. y .. ", under the HUD's bar (y "
                .. kHudTop .. " to " .. kScreenHeight .. ")")
        end
        if type(i.inventoryparts) ~= "table" then
            Fault("item " .. i.name .. " has no inventoryparts")
        end
        if inventory[i.inventory or ""] == nil then
            Fault("item " .. i.name .. " names an unknown inventory object")
        end
    end
    for _, a in ipairs(scene.areas or {}) do
        areas[a.name] = a
        if a.groupid ~= nil then
            groups[a.groupid] = true
        end
        if type(a.events) ~= "table" then
            Fault("area " .. a.name .. " has no events")
        end
        if a.clickdialog ~= nil and conversations[a.clickdialog] == nil then
            Fault("area " .. a.name .. " opens an unknown conversation")
        end
    end
    for _, p in ipairs(scene.particles or {}) do
        particles[p.name] = true
    end
    for _, s in ipairs(scene.sounds or {}) do
        sounds[s.name] = true
    end
end
if not scenes[g.active_scene or ""] then
    Fault("active_scene is not a scene")
end
for name, class in pairs(g.minigames or {}) do
    if not scenes[name] then
        Fault("minigame scene " .. name .. " is not a scene")
    end
    if kPuzzles[class] == nil then
        Fault("minigame scene " .. name .. " has the puzzle class " .. tostring(class)
            .. " in minigames, which is none of the game's: it is a plain scene")
    elseif events[kPuzzles[class]] == nil then
        Fault("minigame scene " .. name .. " runs the event " .. kPuzzles[class]
            .. " when solved, which the location's events lack")
    end
end
for name, c in pairs(conversations) do
    Need("label", c.text or "")
    -- A line lasts as long as its voice: one without a voice is gone before it is read.
    if (c.sound or "") == "" then
        Fault("conversation " .. name .. " has no voice")
    else
        table.insert(lines, "voice " .. (c.text or "") .. " " .. c.sound)
    end
    if c.nextconversation ~= nil and conversations[c.nextconversation] == nil then
        Fault("conversation " .. name .. " goes on to an unknown one")
    end
    local characters = type(gameplay.characterinfo) == "table" and gameplay.characterinfo or {}
    for _, who in ipairs(c.characterstoshow or {}) do
        if characters[who] == nil then
            Fault("conversation " .. name .. " shows an unknown character")
        end
    end
    -- The speaker is found among the characters the lines show: one the window's characters lack
    -- never is, and its line is skipped.
    if c.charactertospeak ~= nil and characters[c.charactertospeak] == nil then
        Fault("conversation " .. name .. " is spoken by " .. Shown(c.charactertospeak)
            .. ", which the gameplay window's characterinfo lacks: the line is skipped")
    end
    for _, who in ipairs(c.characterstohide or {}) do
        if who == c.charactertospeak then
            Fault("conversation " .. name .. " hides its own speaker")
        end
    end
end
for _, a in ipairs(g.animations or {}) do
    if not layers[a.layer or ""] then
        Fault("animation " .. a.name .. " moves an unknown layer")
    end
end
for group, event in pairs(g.groupevents or {}) do
    if not groups[group] or events[event] == nil then
        Fault("group event " .. group .. " is broken")
    end
end
for _, a in pairs(areas) do
    for _, e in pairs(a.events or {}) do
        if events[e.eventname or ""] == nil then
            Fault("area " .. a.name .. " runs an unknown event")
        end
    end
    for object in pairs(a.events or {}) do
        if object ~= "default" and inventory[object] == nil then
            Fault("area " .. a.name .. " takes an unknown object")
        end
    end
end
local kLists = {
    layerstoactivate = layers, layerstodeactivate = layers, areastoactivate = areas,
    areastodeactivate = areas, areastocomplete = areas, areastoincomplete = areas,
    itemstoactivate = items, itemstodeactivate = items, inventorytoactivate = inventory,
    inventorytodeactivate = inventory, inventorytomakeinvisible = inventory,
    particlestoactivate = particles, particlestodeactivate = particles, soundstoactivate = sounds,
    soundstodeactivate = sounds, animations = animations,
}
-- An event's lists are read only as lists: a text in their place is no list, and nothing of it is
-- done (a name meant alone is written { "name" }).
local kListKeys = { "areastoactivate", "areastomakevisible", "areastocomplete",
    "areastoincomplete", "areastodeactivate", "inventorytoactivate", "inventorytoaddtoscene",
    "inventorytodeactivate", "inventorytomakeinvisible", "layerstoactivate", "layerstodeactivate",
    "particlestoactivate", "particlestodeactivate", "animations", "soundstoactivate",
    "soundstodeactivate", "journaltoactivate", "journaltodeactivate" }
local function List(e, key)
    return type(e[key]) == "table" and e[key] or {}
end
for _, e in ipairs(g.events or {}) do
    for _, key in ipairs(kListKeys) do
        if e[key] ~= nil and type(e[key]) ~= "table" then
            Fault("event " .. tostring(e.name) .. " has " .. key .. " = " .. Shown(e[key])
                .. ", no list: it is never read (a list of one is { " .. Shown(e[key]) .. " })")
        end
    end
    if type(e.inventorytoequip) == "table" or type(e.inventorytoequip) == "boolean" then
        Fault("event " .. tostring(e.name) .. " has inventorytoequip = " .. Shown(e.inventorytoequip)
            .. ", no name: it is never read")
    end
end
for name, e in pairs(events) do
    for key, known in pairs(kLists) do
        for _, v in ipairs(List(e, key)) do
            if not known[v] then
                Fault("event " .. name .. " lists an unknown " .. key .. " " .. tostring(v))
            end
        end
    end
    for _, key in ipairs({ "journaltoactivate", "journaltodeactivate" }) do
        for _, v in ipairs(List(e, key)) do
            Need("label", v)
        end
    end
    if e.nextevent ~= nil and events[e.nextevent] == nil then
        Fault("event " .. name .. " goes on to an unknown event")
    end
    if e.action ~= nil and e.action ~= "scene_complete" and not scenes[e.action] then
        Fault("event " .. name .. " switches to an unknown scene")
    end
    if e.dialog ~= nil and conversations[e.dialog] == nil then
        Fault("event " .. name .. " opens an unknown conversation")
    end
end
-- A puzzle's completion event leaves the puzzle's scene (the puzzle would ask for it again); the
-- location's own end comes from an inventory use or a follow-up event.
for name, e in pairs(events) do
    if string.find(name, "^event_.*complete$") and not scenes[e.action or ""] then
        Fault("puzzle completion " .. name .. " does not switch scene")
    end
end
local initial = events[g.initial_event or ""]
if initial == nil then
    Fault("initial_event is not an event")
elseif initial.action ~= nil or initial.inventorytomakeinvisible ~= nil then
    Fault("initial_event has an action or makes objects invisible")
end
for _, o in ipairs(g.inventory or {}) do
    if not scenes[o.homescene or ""] then
        Fault("inventory " .. o.name .. " has an unknown home scene")
    end
end
-- Where the prompts and the objects to find are drawn ("place <picture> <x> <y> <what>" lines):
-- the caller measures the pictures and faults a prompt whose box covers an object. A prompt may
-- show in any scene that is no puzzle, so each is checked against every such scene's items.
local info = (gameplay.tutorials or {}).info or {}
for _, entry in ipairs(gameplay.tutorials or {}) do
    table.insert(lines, string.format("place %s %d %d prompt %s", info.dialog or "",
        AsNumber(entry.dialogx) or 0, AsNumber(entry.dialogy) or 0, entry.name or ""))
end
for name in pairs(scenes) do
    if (g.minigames or {})[name] == nil then
        for _, i in ipairs((g[name] or {}).items or {}) do
            table.insert(lines, string.format("place %s %d %d item %s", i.image or "",
                AsNumber(i.x) or 0, AsNumber(i.y) or 0, tostring(i.name)))
        end
    end
end
-- The pieces to find, in every scene ("piece <picture> <item>" lines): the caller looks at each
-- picture, which must show something to be seen and clicked.
for name in pairs(scenes) do
    for _, i in ipairs((g[name] or {}).items or {}) do
        if type(i.image) == "string" and i.image ~= "" then
            table.insert(lines, "piece " .. i.image .. " " .. tostring(i.name))
        end
    end
end

-- An object reaches the player only through an event that hands it to the strip, places it in
-- its scene or puts it in the hand: its items show only with it.
local handed, asText = {}, {}
for _, e in ipairs(g.events or {}) do
    for _, key in ipairs({ "inventorytoactivate", "inventorytoaddtoscene" }) do
        for _, v in ipairs(List(e, key)) do
            handed[v] = true
        end
        if type(e[key]) == "string" then
            asText[e[key]] = "event " .. tostring(e.name) .. "'s " .. key
        end
    end
    if type(e.inventorytoequip) == "string" then
        handed[e.inventorytoequip] = true
    end
end
for _, o in ipairs(g.inventory or {}) do
    if not handed[o.name] and asText[o.name] ~= nil then
        Fault("inventory " .. o.name .. " is handed out by no event: " .. asText[o.name]
            .. " names it as a text, which is no list and never read")
    elseif not handed[o.name] then
        Fault("inventory " .. o.name .. " is handed out by no event's inventorytoactivate, "
            .. "inventorytoaddtoscene or inventorytoequip")
    end
end
-- A scene's deepest layer is its backdrop: smaller than the screen, it leaves black bands.
for name in pairs(scenes) do
    local deepest
    for _, l in ipairs((g[name] or {}).layers or {}) do
        if type(l.image) == "string" and l.image ~= ""
            and (deepest == nil or (AsNumber(l.depth) or 0) > (AsNumber(deepest.depth) or 0)) then
            deepest = l
        end
    end
    if deepest ~= nil then
        table.insert(lines, string.format("place %s %d %d backdrop %s:%s", deepest.image,
            AsNumber(deepest.x) or 0, AsNumber(deepest.y) or 0, name, tostring(deepest.name)))
    end
end

-- The shapes the engine says at load (see the guide's load-time lines) that the tables show.
local function Count(list)
    local n = 0
    for _ in pairs(list or {}) do
        n = n + 1
    end
    return n
end
local givers = {}
-- Part counts and parts are read as the engine reads numbers: a text that reads as one counts.
local function PartCount(o)
    return AsNumber(o.partcount) or 0
end
for _, o in ipairs(g.inventory or {}) do
    local parts = PartCount(o)
    if parts < 1 or parts > 255 then
        Fault("inventory " .. o.name .. " has partcount " .. Shown(o.partcount)
            .. "; it needs 1 to 255")
    end
    if string.len(o.name or "") > 255 then
        Fault("inventory " .. string.sub(o.name, 1, 16) .. "... has a name past 255 bytes")
    end
    givers[o.name] = {}
end
for name in pairs(scenes) do
    local scene = g[name] or {}
    if Count(scene.areas) > 255 then
        Fault("scene " .. name .. " has more than 255 areas")
    end
    for _, i in ipairs(scene.items or {}) do
        local o = inventory[i.inventory or ""]
        if type(i.inventoryparts) == "table" and o ~= nil then
            if Count(i.inventoryparts) == 0 then
                Fault("item " .. i.name .. " gives its object no part")
            end
            for _, written in ipairs(i.inventoryparts) do
                local part = AsNumber(written)
                if part == nil then
                    Fault("item " .. i.name .. " has " .. Shown(written) .. " in its "
                        .. "inventoryparts, which is no part number: the game takes it as 0, "
                        .. "no part of " .. o.name)
                elseif part < 1 or part > PartCount(o) then
                    Fault("item " .. i.name .. " gives part " .. Shown(written) .. " of "
                        .. o.name .. ", which has " .. PartCount(o) .. " parts")
                elseif PartCount(o) > 1 then
                    local by = givers[o.name]
                    if by[part] ~= nil then
                        Fault("part " .. part .. " of inventory " .. o.name
                            .. " is given by both " .. by[part] .. " and " .. i.name)
                    end
                    by[part] = i.name
                end
            end
        end
    end
end
-- Each find counts a part: an object whose items give fewer parts than its count is never whole
-- as drawn.
local given = {}
for name in pairs(scenes) do
    for _, i in ipairs((g[name] or {}).items or {}) do
        if type(i.inventoryparts) == "table" and inventory[i.inventory or ""] ~= nil then
            given[i.inventory] = given[i.inventory] or {}
            for _, part in ipairs(i.inventoryparts) do
                local number = AsNumber(part)
                if number ~= nil then
                    given[i.inventory][number] = true
                end
            end
        end
    end
end
for _, o in ipairs(g.inventory or {}) do
    local parts = given[o.name]
    if parts ~= nil and Count(parts) < PartCount(o) then
        Fault("inventory " .. o.name .. " has partcount " .. Shown(o.partcount) .. "; its items' "
            .. "inventoryparts give " .. Count(parts))
    end
end
for kind, count in pairs({ scenes = Count(scenes), events = Count(events),
                           animations = Count(animations) }) do
    if count > 255 then
        Fault("the location has more than 255 " .. kind)
    end
end
for name in pairs(conversations) do
    if string.len(name) > 255 then
        Fault("conversation " .. string.sub(name, 1, 16) .. "... has a name past 255 bytes")
    end
end
-- A chain of next events, or of next conversations, that comes round again never ends (a chain
-- through an event that ends the location is left alone).
local function Round(start, nextOf, ends)
    local seen, at = {}, start
    while at ~= nil and not seen[at] do
        if ends(at) then
            return false
        end
        seen[at] = true
        at = nextOf(at)
    end
    return at == start
end
for name in pairs(events) do
    if Round(name, function(e) return events[e] and events[e].nextevent end,
            function(e) return events[e] == nil or events[e].action == "scene_complete" end) then
        Fault("event " .. name .. " leads back to itself through its next events")
    end
end
for name in pairs(conversations) do
    if Round(name, function(c) return conversations[c] and conversations[c].nextconversation end,
            function() return false end) then
        Fault("conversation " .. name .. " leads back to itself through its next conversations")
    end
end
-- A time that is no number counts as 0; one past the clock's count is a wait nothing ends.
local kTimeKeys = { "duration", "initialdelay", "delay", "mindelay", "maxdelay", "forwarddelay",
    "backwarddelay" }
for _, a in ipairs(g.animations or {}) do
    for _, motion in ipairs({ "move", "rotate", "alpha", "fade", "path", "scale" }) do
        for _, key in ipairs(kTimeKeys) do
            local written = (type(a[motion]) == "table" and a[motion] or {})[key]
            local ms = AsNumber(written)
            if written ~= nil and (ms == nil or ms ~= ms) then
                Fault("animation " .. a.name .. " has a " .. motion .. " " .. key .. " of "
                    .. Shown(written) .. ", no number: it is taken as 0")
            elseif written ~= nil and ms >= 2147483647 then
                Fault("animation " .. a.name .. " has a " .. motion .. " " .. key .. " of "
                    .. Shown(written) .. ", past the longest wait")
            end
        end
    end
end

-- The keys each kind of entity is read for: any other (a misspelt "nextevent") is never read, and
-- what it meant silently never happens.
local kKnownKeys = {
    event = Set({ "name", "areastoactivate", "areastomakevisible", "areastocomplete",
        "areastoincomplete", "areastodeactivate", "inventorytoactivate", "inventorytoaddtoscene",
        "inventorytodeactivate", "inventorytomakeinvisible", "layerstoactivate",
        "layerstodeactivate", "particlestoactivate", "particlestodeactivate", "animations",
        "soundstoactivate", "soundstodeactivate", "inventorytoequip", "action", "dialog",
        "minigame", "nextevent", "eventtoactivateonclick", "journaltoactivate",
        "journaltodeactivate" }),
    inventory = Set({ "name", "actualname", "event", "image", "homescene", "x", "y", "partcount",
        "canbeplacedinhud", "type" }),
    item = Set({ "name", "depth", "inventory", "image", "inventoryparts", "x", "y" }),
}
local function UnknownKeys(kind, t)
    local names = {}
    for key in pairs(type(t) == "table" and t or {}) do
        if type(key) == "string" and not kKnownKeys[kind][key] then
            table.insert(names, key)
        end
    end
    table.sort(names)
    for _, key in ipairs(names) do
        Fault(kind .. " " .. tostring(t.name) .. " has the key " .. key .. ", which no " .. kind
            .. " has: it is never read")
    end
end
for _, e in ipairs(g.events or {}) do
    UnknownKeys("event", e)
end
for _, o in ipairs(g.inventory or {}) do
    UnknownKeys("inventory", o)
end
for name in pairs(scenes) do
    for _, i in ipairs((g[name] or {}).items or {}) do
        UnknownKeys("item", i)
    end
end

-- The game's own scripts that the location meets outside its tables, each run apart from the
-- location's globals; a name of the program's (SetState) does nothing there.
local function Apart()
    local env = {}
    setmetatable(env, { __index = function(_, key)
        local value = _G[key]
        if value == nil and type(key) == "string" and string.find(key, "^%u") then
            return function() end
        end
        return value
    end })
    return env
end
local function RunApart(path, env)
    local text = _sources[path]
    if text == nil or text == "" then
        return false
    end
    local chunk, why = loadstring(text, "@" .. path)
    if chunk == nil then
        Fault(tostring(why))
        return false
    end
    setfenv(chunk, env)
    local ran, fault = pcall(chunk)
    if not ran then
        Fault(path .. " stopped as the check ran it: "
            .. tostring(type(fault) == "table" and fault.fault or fault))
    end
    return ran
end
-- The journey to a location the game lists (past the first) opens the travel map at that
-- location's stop, "location%02d" of its place in the list plus 1; a stop the map lacks ends the
-- game there, and every later "Play" of that player.
local game = Apart()
if RunApart("scripts/game.lua", game) then
    local records = {}
    for at, path in pairs(type(game.kLocationScripts) == "table" and game.kLocationScripts or {}) do
        if path == _location and type(at) == "number" and at >= 1 then
            table.insert(records, at)
        end
    end
    table.sort(records)
    game.Map = Maker("Map")
    game.MakeDialog = function(t)
        game.mapdialog = t
    end
    if table.getn(records) > 0 and RunApart("scripts/map.lua", game) then
        local map = {}
        for _, child in ipairs(game.mapdialog or {}) do
            if type(child) == "table" and child._kind == "Map" then
                map = child
            end
        end
        for _, record in ipairs(records) do
            local stop = string.format("location%02d", record + 1)
            local here = (type(map.locations) == "table" and map.locations or {})[stop]
            if type(here) ~= "table" then
                Fault("scripts/map.lua has no stop " .. stop .. " in the map's locations for this "
                    .. "location, kLocationScripts[" .. record .. "] of scripts/game.lua: the "
                    .. "journey to it ends the game")
            elseif (type(map.travel) == "table" and map.travel or {})[here.travel or ""] == nil then
                Fault("scripts/map.lua's stop " .. stop .. " names the travel "
                    .. Shown(here.travel) .. ", which the map's travel table lacks: the journey "
                    .. "to this location ends the game")
            end
        end
    end
end
-- The ritual's patterns are the shared puzzle script's: a step that names no crystal ends the
-- game as the puzzle's scene loads, in every location that has one.
local ritualPath = "scripts/minigames/ritualpuzzle.lua"
local hasRitual = false
for _, class in pairs(g.minigames or {}) do
    hasRitual = hasRitual or class == "ritualpuzzlescene"
end
local ritual = Apart()
if hasRitual and RunApart(ritualPath, ritual) then
    local patterns = type(ritual.ritualpuzzle) == "table" and ritual.ritualpuzzle.patterns or nil
    for n = 1, 5 do
        local key = string.format("pattern%02d", n)
        local pattern = type(patterns) == "table" and patterns[key] or nil
        if type(pattern) ~= "table" then
            Fault(ritualPath .. " has no ritualpuzzle.patterns." .. key
                .. ": the ritual's scene ends the game as it loads")
        else
            for k = 1, 5 do
                local step = string.format("step%02d", k)
                local crystal = AsNumber(pattern[step]) or 0
                if crystal ~= crystal or crystal < 1 or crystal >= 6 then
                    Fault(ritualPath .. "'s ritualpuzzle.patterns." .. key .. " has " .. step
                        .. " = " .. Shown(pattern[step]) .. ", no crystal of the five (1 to 5): "
                        .. "the ritual's scene ends the game as it loads")
                end
            end
        end
    end
end

local entry = string.format("location%02d", gameplay.locationnumber or 0)
if (gameplay.playlist or {})[entry] == nil then
    Fault("the playlist has no entry for the location's number")
end

_result = table.concat(lines, "\n")
