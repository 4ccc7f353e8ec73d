-- The pause dialog, opened when the game loses the focus during play: back to the game, the
-- options, or the main menu.
MakeDialog {
    name = "pause",
    GameWindow {
        name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
        scrim = true, scrimalpha = 0.5,
        DialogWindow {
            name = "pausedialog", image = "dialogs/small",
            x = kCenter, y = 130, w = 360, h = 200,
            transform = gStyles.dialogtransform,
            soundin = "whoosh", soundout = "whoosh",
            Text {
                name = "title", label = "pause_title",
                x = kCenter, y = 6, w = 320, h = 38, flags = gStyles.centred,
                font = gStyles.fonts.dialog,
            },
            Button(ButtonStyle {
                name = "resume", text = "pause_resume", x = kCenter, y = 46,
                command = function() WindowReturn("resume") end,
            }),
            Button(ButtonStyle {
                name = "options", text = "pause_options", x = kCenter, y = 98,
                command = function() DisplayDialog { "scripts/options.lua" } end,
            }),
            Button(ButtonStyle {
                name = "menu", text = "pause_menu", x = kCenter, y = 150,
                command = function() WindowReturn("menu") end,
            }),
        },
    },
}
