-- The journal page a location's gameplay window holds: returns a maker of its "GameplayJournal"
-- window table, given the picture of the location for the left leaf. Everything is in the
-- journal window's own coordinates: the page rests at the window's centre and flies in from, and
-- back to, the corner nearest the HUD's journal button. The book's leaves span x 14 to 298 and
-- 302 to 586: the picture stands in the middle of the left one, the header and the goals in the
-- right one inside its margins (a text's x and y are its box's centre), so nothing crosses the
-- fold. The goal lines read "Use Oil and Wick on the Lamp.": the separators are the style's plain
-- text.
return function(picture)
    local fonts = gStyles.fonts
    local textobject = gStyles.textobject
    -- The goals start at the top of their box.
    local goals = textobject(444, 246, 244, 320, "", fonts.body)
    goals.flags = kHAlignCenter
    return GameplayJournal {
        name = "journal", x = 100, y = 60, w = 600, h = 440,
        timeintro = 400, timeoutro = 300,
        disabledx = 300, disabledy = 220, enabledx = 516, enabledy = 420,
        closebutton = "closebutton",
        goalentrybeginning = "Use ", goalentrysep = ", ", goalentryseplast = " and ",
        goalentryprearea = " on the ", goalentrypostarea = ".", goalentrycolor = "#7a4a12",
        image = "journal/page", scrimmax = 0.5,
        leftimage = picture, leftimagex = 56, leftimagey = 70,
        textright = goals,
        textrightheader = textobject(444, 50, 244, 36, "", fonts.dialog),
        rightheaderstring = "journal_header",
        soundenter = { sounds = { "page" } },
        soundexit = { sounds = { "page" } },
        Button {
            name = "closebutton", x = 556, y = 12,
            buttongraphics = { "journal/close_n", "journal/close_p", "journal/close_h" },
            soundclick = "click",
            command = function()
                JournalCloseButtonPressed()
            end,
        },
    }
end
