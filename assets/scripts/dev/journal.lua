-- A development screen for the journal: a backdrop and the location's journal, closed (nothing of
-- it shows until a gameplay window opens it). "check" traces whether "JournalCloseButtonPressed"
-- is bound; "leave" closes the screen. Opened as the first screen with
-- "options=start=scripts/dev/journal.lua", it first opens itself again as an inner screen and,
-- once that is gone, traces the binding once more: the journal takes it with it.
local inner = gDialogTable ~= nil and gDialogTable.inner

local function Check(name, x)
    return Button(ButtonStyle {
        name = name, x = x, y = 540,
        command = function()
            if name == "leave" then
                CloseWindow()
            else
                Trace("journal " .. type(JournalCloseButtonPressed))
            end
        end,
        Text { name = "label", label = name == "leave" and "opt_ok" or "menu_play", x = 0, y = 0,
               w = 220, h = 44, flags = gStyles.centred, font = gStyles.fonts.button },
    })
end

if inner then
    MakeDialog {
        name = "journaldev",
        Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
        GameWindow {
            name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
            ReadFile("scripts/journal.lua")("journal/left"),
            Check("check", 80),
            Check("leave", 500),
        },
    }
else
    MakeDialog {
        Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
        GameWindow {
            name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
            Button(ButtonStyle {
                name = "open", x = 290, y = 540,
                command = function()
                    DisplayDialog { "scripts/dev/journal.lua", inner = true }
                    Trace("journal " .. type(JournalCloseButtonPressed))
                    CloseWindow()
                end,
                Text { name = "label", label = "menu_play", x = 0, y = 0, w = 220, h = 44,
                       flags = gStyles.centred, font = gStyles.fonts.button },
            }),
        },
    }
end
