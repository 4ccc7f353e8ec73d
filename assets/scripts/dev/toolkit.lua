-- The smoke screen of the window toolkit: the menu background, the title, and a push button (the
-- framework's, which the game registers as "Button") that closes the screen (and so the program,
-- when this is the first screen). Nothing here waits: only button commands may.
local titleFont = { "__DEFAULT", 40, { 0.95, 0.88, 0.6, 1 } }
local buttonFont = { "__DEFAULT", 20, { 0.95, 0.9, 0.75, 1 } }
local kCentred = kHAlignCenter + kVAlignCenter

MakeDialog {
    -- Opaque and full-size: it covers the root screen, which then is not drawn.
    Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
    Text {
        name = "title", label = "windowtitle",
        x = kCenter, y = 60, w = 600, h = 60, flags = kCentred, font = titleFont,
    },
    Button {
        name = "quit", close = true,
        x = kCenter, y = 440,
        buttongraphics = { "ui/button_n", "ui/button_p", "ui/button_h" },
        Text {
            name = "label", label = "menu_quit",
            x = 0, y = 0, w = 220, h = 44, flags = kCentred, font = buttonFont,
        },
    },
}
