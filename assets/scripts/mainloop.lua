-- The start-up script. Its top level only defines: the function it returns becomes the window
-- script's coroutine, the one place (with button commands) where the game may wait. It shows the
-- title card, opens the first screen as a modal window and, once that closes, asks the program to
-- end. "options=start=<screen script>" opens that screen instead of the card and the splash
-- (developers, tests).
ReadFile("scripts/game.lua")

return function()
    Trace("start")
    local start = GetConfig("start", "")
    if start == nil or start == "" then
        -- The card's film, with the game's name as its caption; without the film the card's
        -- picture shows for the same time. A key or a click ends either.
        local style = gCurrentDefaultStyle
        SetDefaultStyle({ translate = true, parent = style })
        DisplaySplash("movies/intro.ogv", "splash/card", 1500)
        SetDefaultStyle(style)
        start = "scripts/splash.lua"
    end
    DoModal(start)
    PostMessage(CreateNamedMessage(kQuitNow, "quit"))
end
