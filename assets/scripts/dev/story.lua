-- A development screen for the cut-scene: "play" opens the strip as the route opens it between
-- the travel map and the Observatory, with the same traces ("story", then "story done" once its
-- end has run "ContinueForward();", which also ends this screen). Opened with
-- "options=start=scripts/dev/story.lua"; the program ends with the screen.
MakeDialog {
    Bitmap { name = "bg", image = "story/bg", x = 0, y = 0 },
    GameWindow {
        name = "gamewindow", x = 0, y = 0, w = 800, h = 600,
        Button(ButtonStyle {
            name = "play", x = 290, y = 278,
            command = function()
                OpenStory()
                -- Left otherwise, the program may be ending, its functions gone.
                if gRoute == "storydone" then
                    Trace("story done")
                    CloseWindow()
                end
            end,
            Text { name = "label", label = "menu_play", x = 0, y = 0, w = 220, h = 44,
                   flags = gStyles.centred, font = gStyles.fonts.button },
        }),
    },
}
