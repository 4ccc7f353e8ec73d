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
        -- No movie player here: the card's picture shows for its time, or until a key or click.
        DisplaySplash("movies/intro.swf", "splash/card", 1500)
        start = "scripts/splash.lua"
    end
    DoModal(start)
    PostMessage(CreateNamedMessage(kQuitNow, "quit"))
end
