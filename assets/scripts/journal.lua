-- The journal page a location's gameplay window holds: returns a maker of its "GameplayJournal"
-- window table. Everything is in the journal window's own coordinates: the page rests at the
-- window's centre and flies in from, and back to, the corner nearest the HUD's journal button.
-- The goal lines read "Use Oil and Wick on the Lamp.": the separators are the style's plain text.
return function()
    local fonts = gStyles.fonts
    local textobject = gStyles.textobject
    return GameplayJournal {
        name = "journal", x = 100, y = 60, w = 600, h = 440,
        timeintro = 400, timeoutro = 300,
        disabledx = 300, disabledy = 220, enabledx = 516, enabledy = 420,
        closebutton = "closebutton",
        goalentrybeginning = "Use ", goalentrysep = ", ", goalentryseplast = " and ",
        goalentryprearea = " on the ", goalentrypostarea = ".", goalentrycolor = "#7a4a12",
        image = "journal/page", scrimmax = 0.5,
        leftimage = "journal/left", leftimagex = 50, leftimagey = 70,
        textright = textobject(310, 70, 270, 340, "", fonts.body),
        textrightheader = textobject(310, 24, 270, 36, "", fonts.dialog),
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
