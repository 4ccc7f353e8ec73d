-- The game's globals, run once by the start-up script: the shared look, the trace lines the tests
-- read, how "Play" starts the game, and the functions the program runs by name (the quit question
-- on Escape, the pause dialog on a lost focus, the ends of a location, the map and the cut-scene).
gStyles = ReadFile("scripts/styles.lua")
-- TutorialTable(first): the tutorial prompts a location's gameplay style carries.
ReadFile("scripts/tutorials.lua")

-- What the game does, one line on standard output, when started with "options=trace=1".
function Trace(text)
    if GetConfig("trace", "") == "1" then
        print("trace: " .. text)
    end
end

-- Fields of the window tables that copy the shared push-button look, with their own added.
function ButtonStyle(t)
    for key, value in pairs(gStyles.button) do
        if t[key] == nil then
            t[key] = value
        end
    end
    return t
end

-- A dialog of the game over the screen it covers, dimmed: the named modal window holding a dimming
-- layer and the dialog, which enters and leaves as every dialog of the game does.
function DimmedDialog(name, dialog)
    dialog.transform = dialog.transform or gStyles.dialogtransform
    dialog.soundin = dialog.soundin or "whoosh"
    dialog.soundout = dialog.soundout or "whoosh"
    MakeDialog {
        name = name,
        GameWindow {
            name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
            scrim = true, scrimalpha = 0.5,
            DialogWindow(dialog),
        },
    }
end

-- The metrics words: one session record for the whole run (the game's version, the time spent on
-- the menu and the time spent playing), written when the game ends. Without a metrics handler
-- (the settings "glintview" and "postmetrics") these only store values.
SetState("begin-session", "session")
SetState("add-value", GetGameVersion())
SetState("add-timer", "menu")
SetState("add-timer", "playing")
SetState("end-session", "")

-- Where the game is and where it goes next: the name of the screen modal the pause dialog leaves
-- for the menu, and the outcome of the statements the program runs by name, whose return values
-- do not reach the dialog that waits for them.
gScreen = nil
gRoute = nil
-- Platform time when "Play" started the game: the player's score is the play time, host pauses
-- left out.
gPlayStart = 0

-- "Play": a player first (a new one when there is none), then the game.
function StartPlaying()
    if GetNumUsers() == 0 then
        local name = DisplayDialog { "scripts/newplayer.lua" }
        if name == nil or name == "" or IsUserNameInUse(name) then
            return
        end
        CreateNewUser(name)
        NewGame()
    elseif GetCurrentUserName() == "" then
        DisplayDialog { "scripts/selectplayer.lua" }
    end
    if SetWelcomeName ~= nil then
        SetWelcomeName()
    end
    if GetCurrentUserName() == "" then
        return
    end
    Trace("profile " .. GetCurrentUserName())
    LoadProfile()
    SetState("menu", 0)
    PlayGame()
    SetState("menu", 1)
end

-- The location scripts by location byte.
kLocationScripts = {
    [0] = "scripts/locations/gatehouse.lua",
    "scripts/locations/observatory.lua",
    "scripts/locations/crypt.lua",
}
kLocationCount = 3

-- The game from where the player's record stands: the credits once every location is done, the
-- map when the record is on it (a run closed during a journey), the cut-scene after the first
-- journey (or a run closed during it), otherwise the record's location. Each screen leaves its
-- outcome in gRoute: a finished location, journey or cut-scene goes on to the next screen,
-- anything else (the pause dialog's "Menu") goes back to the menu.
function PlayGame()
    gRoute = nil
    Trace("record " .. GetGameState() .. " " .. GetCurrentLocation(true))
    gPlayStart = GetTimer()
    -- The game's one mode: its name names the score table the credits' score goes to.
    SetGameMode(1, "Adventure")
    SetState("gamemode", "adventure")
    while true do
        local location = GetCurrentLocation(true)
        local route = gRoute
        gRoute = nil
        if location >= kLocationCount then
            ShowCredits()
            return
        elseif GetGameState() == 1 and route ~= "mapdone" then
            OpenMap()
        elseif location == 1 and route ~= "storydone" and (GetGameState() == 2 or route == "mapdone") then
            -- The first journey's end, or a run closed during the cut-scene.
            OpenStory()
        else
            OpenLocation(location)
        end
        if gRoute ~= "mapdone" and gRoute ~= "storydone" and gRoute ~= "end" then
            return
        end
    end
end

-- A location by its byte: its level and playing time for the metrics, then its script.
function OpenLocation(location)
    gScreen = "gameplay"
    SetState("level", location + 1)
    SetState("playing", 1)
    SetState("begin-status", "location")
    SetState("add-state", "level")
    SetState("add-timer", "playing")
    SetState("end-status", "")
    Trace("location " .. location)
    -- Opened as DisplayDialog opens a dialog, but a script that fails as it runs (a screen script
    -- never waits at its top level, so it runs protected) takes its empty modal away again, and
    -- the route goes back to the menu instead of opening it again.
    local script = kLocationScripts[location]
    local id = PushModal(script)
    gDialogTable = { script, number = location }
    local ran, fault = pcall(ReadFile, script)
    if ran then
        WaitForCloseMessage(id)
        gReturnValue = nil
    else
        DoPopModal(id)
        _ALERT("location " .. location .. " did not open, back to the menu: " .. tostring(fault))
        gRoute = "menu"
    end
    SetState("playing", 0)
end

-- The travel map: over a location it opens itself again as the full map.
function OpenMap()
    gScreen = "map"
    Trace("map")
    DisplayDialog { "scripts/map.lua" }
end

-- The end of the game: the credits and the player's time among the scores.
function ShowCredits()
    gScreen = "credits"
    SetState("gameover", 1)
    Trace("credits")
    DisplayDialog { "scripts/credits.lua" }
    SaveHighScore()
end

-- Escape anywhere but over the question itself (the program checks the top modal's name).
function DisplayQuitVerify()
    Trace("quitverify")
    DisplayDialog { "scripts/quitverify.lua" }
end

-- A lost focus in a location, on the map or in the cut-scene.
function ShowPauseDialog()
    Trace("pause")
    SetState("pause", 1)
    local choice = DisplayDialog { "scripts/pause.lua" }
    SetState("pause", 0)
    if choice == "menu" then
        gRoute = "menu"
        -- The map over a location goes with it (no "gameplay" modal: nothing is popped).
        DoPopModal("gameplay")
        if gScreen ~= nil then
            DoPopModal(gScreen)
        end
    end
end

-- A location is done (its runner has counted it in the record): the map follows it, or, after
-- the last one, the credits.
function LocationComplete()
    local location = GetCurrentLocation(true)
    Trace("complete " .. (location - 1))
    SetState("playing", 0)
    -- Whole seconds: the window script has no math library, and "%d" truncates.
    SetState("score", string.format("%d", (GetTimer() - gPlayStart) / 1000))
    SetState("breaknow", 1)
    if location >= kLocationCount then
        gRoute = "end"
        DoPopModal("gameplay")
    else
        OpenMap()
    end
end

-- A location completed as it closed (its end was under way when the window closed or the pause
-- dialog's "Main menu" was chosen): the runner has counted it in the record, and the next "Play"
-- goes on from the map.
function LocationCompletedAtClose()
    Trace("complete " .. (GetCurrentLocation(true) - 1))
    SetState("playing", 0)
end

-- The map's travel is over.
function ContinueMap()
    gRoute = "mapdone"
    CloseWindow()
end

-- The cut-scene's last panel is over.
function ContinueForward()
    gRoute = "storydone"
    CloseWindow()
end

-- The comic-strip cut-scene between the travel map and the Observatory; it ends in
-- "ContinueForward();" (the route reads gRoute = "storydone"), or leaves for the menu from the
-- pause dialog.
function OpenStory()
    gScreen = "story"
    Trace("story")
    DisplayDialog { "scripts/storyboard.lua" }
end
