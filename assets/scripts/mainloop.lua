-- The start-up script. Its top level only defines: the function it returns becomes the window
-- script's coroutine, the one place (with button commands) where the game may wait. It opens the
-- first screen as a modal window and, once that closes, asks the program to end.
-- "options=start=<screen script>" opens another screen first (developers, tests).
return function()
    local start = GetConfig("start")
    if start == nil or start == "" then
        -- Until the splash screen exists: the toolkit's own screen.
        start = "scripts/dev/toolkit.lua"
    end
    DoModal(start)
    PostMessage(CreateNamedMessage(kQuitNow, "quit"))
end
