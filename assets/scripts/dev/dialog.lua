-- A development screen for the in-scene dialog: "show" asks the program to show the dialog "help"
-- (the function exists only with "options=dev=1"), whose "ok" button closes it; the program then
-- traces the value the dialog called back with. Opened with "options=start=scripts/dev/dialog.lua".
local font = gStyles.fonts.body
local kCentred = gStyles.centred

MakeDialog {
    Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
    GameWindow {
        name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
        Button(ButtonStyle {
            name = "show", x = 290, y = 500,
            command = function()
                DevShowDialog("help", "Trace('dialog closed %d')")
            end,
            Text { name = "label", label = "menu_play", x = 0, y = 0, w = 220, h = 44,
                   flags = kCentred, font = gStyles.fonts.button },
        }),
        GameplayDialog {
            name = "help", x = 220, y = 150, image = "dialogs/small", imagex = 0, imagey = 0,
            timefade = 250,
            text = { font = font, x = 0, y = -30, w = 300, h = 80, flags = kCentred },
            string = "Press OK to close this box.",
            Button(ButtonStyle {
                name = "ok", x = 70, y = 130,
                command = function()
                    HideDialog("ok")
                end,
                Text { name = "label", label = "opt_ok", x = 0, y = 0, w = 220, h = 44,
                       flags = kCentred, font = gStyles.fonts.button },
            }),
        },
    },
}
