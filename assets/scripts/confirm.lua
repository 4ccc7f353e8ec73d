-- A yes-or-no question: gDialogTable.text is the question's label and gDialogTable.arg fills its
-- first place. Returns "yes" or "no".
local question = GetString(gDialogTable.text or "", gDialogTable.arg)

DimmedDialog("confirm", {
    name = "confirmdialog", image = "dialogs/small",
    x = kCenter, y = 180,
    Text {
        name = "question", label = "#" .. question,
        x = kCenter, y = 14, w = 320, h = 60, flags = gStyles.centred,
        -- The body font: names may hold letters beyond Latin-1.
        font = gStyles.fonts.body,
    },
    Button(ButtonStyle {
        name = "yes", text = "confirm_yes", x = kCenter, y = 84,
        command = function() WindowReturn("yes") end,
    }),
    Button(ButtonStyle {
        name = "no", text = "confirm_no", x = kCenter, y = 140,
        command = function() WindowReturn("no") end,
    }),
})
