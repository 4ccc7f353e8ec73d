-- The pause dialog, opened when the game loses the focus during play: back to the game, the
-- options, or the main menu.
DimmedDialog("pause", {
    name = "pausedialog", image = "dialogs/dialog",
    x = kCenter, y = 150, w = 420, h = 280,
    Text {
        name = "title", label = "pause_title",
        x = kCenter, y = 20, w = 380, h = 40, flags = gStyles.centred,
        font = gStyles.fonts.dialog,
    },
    Button(ButtonStyle {
        name = "resume", text = "pause_resume", x = kCenter, y = 74,
        command = function() WindowReturn("resume") end,
    }),
    Button(ButtonStyle {
        name = "options", text = "pause_options", x = kCenter, y = 130,
        command = function() DisplayDialog { "scripts/options.lua" } end,
    }),
    Button(ButtonStyle {
        name = "menu", text = "pause_menu", x = kCenter, y = 186,
        command = function() WindowReturn("menu") end,
    }),
})
