-- "More stories": the page of our other games. The window fills itself from xsell/xsell.xml
-- ("SetupXSell"): one description per game with a coloured link that presses the game's button,
-- the site button and the two centre texts; slots without a game are hidden. Buttons and logos
-- are placed by their centres, which the page turns into their corners; the page sits at (0, 0),
-- where the screen's and the page's coordinates agree.
local kRowTop = 140
local kRowStep = 44

local children = {
    name = "xsell", config = "xsell/xsell.xml", x = 0, y = 0, w = 800, h = 600,
    Bitmap { name = "bg", image = "credits/bg", x = 0, y = 0 },
    Text {
        name = "centertext1", label = "#", x = kCenter, y = 24, w = 480, h = 44,
        flags = gStyles.centred, font = { "fonts/title.mvec", 32, { 0.95, 0.88, 0.6, 1 } },
    },
    Text {
        name = "centertext2", label = "#", x = kCenter, y = 70, w = 480, h = 30,
        flags = gStyles.centred, font = gStyles.fonts.light,
    },
    Bitmap { name = "sitelogo", image = "xsell/logo", x = 110, y = 66 },
    Bitmap { name = "quillmarklogo", image = "xsell/brand", x = 690, y = 66 },
}
for n = 1, 8 do
    table.insert(children, Text {
        name = "descrip" .. n, label = "#", x = 40, y = kRowTop + (n - 1) * kRowStep,
        w = 500, h = 40, flags = kVAlignCenter, font = gStyles.fonts.light,
    })
end
for n = 1, 3 do
    -- A fresh local for each button's command: the loop's own variable is one for all of them.
    local game = n
    table.insert(children, Button(ButtonStyle {
        name = "xsellbutton" .. n, text = "xsell_visit", w = 160, h = 40,
        x = 660, y = kRowTop + (n - 1) * kRowStep + 20,
        command = function() LaunchGameLink(game) end,
    }))
end
table.insert(children, Button(ButtonStyle {
    name = "gamesite", text = "xsell_site", x = 400, y = 502,
    command = function() LaunchGameLink(0) end,
}))
table.insert(children, Button(ButtonStyle {
    name = "back", text = "xsell_back", x = kCenter, y = 540, close = true,
}))
-- Shown by the page when a link's page could not be opened (no browser): the words, then the
-- address, which the player may open by hand. It sits above "All our stories", clear of every
-- button.
table.insert(children, Text {
    name = "linknote", label = "xsell_notopened", x = kCenter, y = 440, w = 760, h = 30,
    flags = gStyles.centred, font = gStyles.fonts.light,
})

MakeDialog { name = "more", XSellWindow(children) }
SetupXSell()
Trace("more")
