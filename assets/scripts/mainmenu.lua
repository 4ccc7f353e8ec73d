-- The main menu, swapped into the splash screen's modal window: the background, the logo with the
-- game's name, a flame and fireflies, the greeting of the current player, six buttons and the
-- smaller "More stories" in the corner. Escape needs no button here: the program asks the quit
-- question itself.
local function MenuButton(name, label, y, command)
    return Button(ButtonStyle {
        name = name, text = label, x = kCenter, y = y, command = command,
    })
end

MakeDialog {
    MainMenu {
        name = "mainmenu", x = 0, y = 0, w = 800, h = 600,
        fade = true, fadetime = 250,
        music = "music_menu?group=1001",
        Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
        Bitmap {
            name = "logo", image = "menu/logo", x = kCenter, y = 30, w = 480, h = 160, alpha = true,
        },
        Text {
            name = "title", label = "windowtitle",
            x = kCenter, y = 96, w = 360, h = 60, flags = gStyles.centred,
            font = { "fonts/title.mvec", 44, { 0.95, 0.88, 0.6, 1 } },
        },
        AnimatedBitmap {
            name = "flame", image = "menu/flame", x = 640, y = 300,
            framespeed = 90, animation = "wrap",
        },
        ParticleWindow {
            name = "fireflies", x = 0, y = 0, w = 800, h = 600,
            script = "fx/fireflies.lua", functions = { "fSin", "fRandom" },
            data = { dCenter = { 400, 300 } }, initialstarttime = 2000,
        },
        Text {
            name = "welcome", label = "welcome",
            x = kCenter, y = 196, w = 600, h = 36, flags = gStyles.centred,
            font = gStyles.fonts.light,
        },
        MenuButton("play", "menu_play", 250, function() StartPlaying() end),
        -- The current player's record starts again, after the question.
        MenuButton("newgame", "menu_newgame", 305, function()
            if DisplayDialog { "scripts/confirm.lua", text = "menu_confirmnew" } == "yes" then
                NewGame()
                StartPlaying()
            end
        end),
        MenuButton("options", "menu_options", 360,
                   function() DisplayDialog { "scripts/options.lua" } end),
        -- Another profile chosen brings its own record.
        MenuButton("players", "menu_players", 415, function()
            DisplayDialog { "scripts/selectplayer.lua" }
            LoadProfile()
            -- The game may have ended while the list was up (the quit question answered, the
            -- window closed): the menu and its greeting are gone then.
            if SetWelcomeName ~= nil then
                SetWelcomeName()
            end
        end),
        MenuButton("credits", "menu_credits", 470,
                   function() DisplayDialog { "scripts/credits.lua" } end),
        -- The other stories: a smaller button in the bottom-right corner, out of the column.
        Button(ButtonStyle {
            name = "more", text = "menu_more", x = 564, y = 544,
            font = gStyles.fonts.small,
            command = function()
                DisplayDialog { "scripts/moregames.lua" }
                Trace("menu")
            end,
        }),
        -- Closing the menu's modal window ends the start-up script's wait: the game ends.
        Button(ButtonStyle {
            name = "quit", text = "menu_quit", x = kCenter, y = 525, close = true,
        }),
    },
}
SetWelcomeName()
SetState("menu", 1)
-- Whom the menu greets, for the tests.
if GetCurrentUserName() == "" then
    Trace("menu")
else
    Trace("menu " .. GetCurrentUserName())
end
