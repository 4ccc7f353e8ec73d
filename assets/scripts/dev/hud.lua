-- A development screen: the scene's HUD over the menu's backdrop, with nothing in its strip. Opened
-- with "options=start=scripts/dev/hud.lua"; Escape asks the quit question.
MakeDialog {
    Bitmap { name = "bg", image = "menu/bg", x = 0, y = 0 },
    GameWindow {
        name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
        ReadFile("scripts/hud.lua")(),
    },
}
