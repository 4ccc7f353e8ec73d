-- The quit question, opened by Escape. While the top modal window is named "quitverify", a new
-- Escape presses its "no" (the program does that). Its buttons are no cancel buttons: the
-- character event of the Escape that opened the question would reach it and answer at once.
DimmedDialog("quitverify", {
    name = "question", image = "dialogs/small",
    x = kCenter, y = 200, w = 360, h = 200,
    -- Wax running down the face's left or right edge while the question is up: never across the
    -- question's words, whose first letter lies some 40 pixels in.
    timebloodmin = 900, timebloodmax = 1600,
    blood = {
        imagestreak = "dialogs/wax_streak", imagedrop = "dialogs/wax_drop",
        widthmin = 0, widthmax = 360, widthbuffer = 8, widthallowance = 10,
        heightmin = 10, heightallowance = 30, streakfadelength = 6, dropcentery = 4,
        timefadein = 200, timeslide = 600, timedropdelay = 150, timedrop = 400,
        distancedrop = 120, timefadeout = 500,
    },
    Text {
        name = "text", label = "quit_question",
        x = kCenter, y = 14, w = 320, h = 60, flags = gStyles.centred,
        font = gStyles.fonts.dialog,
    },
    Button(ButtonStyle {
        name = "yes", text = "quit_yes", x = kCenter, y = 84,
        command = function() PostMessage(CreateNamedMessage(kQuitNow, "quit")) end,
    }),
    Button(ButtonStyle {
        name = "no", text = "quit_no", x = kCenter, y = 140,
        command = function() WindowReturn("no") end,
    }),
})
