-- A yes-or-no question: gDialogTable.text is the question's label and gDialogTable.arg fills its
-- first place. Returns "yes" or "no".
local fonts = gStyles.fonts
local question = gDialogTable.text or ""
local kCentred = kHAlignCenter + kVAlignCenter

MakeDialog {
    name = "confirm",
    DialogWindow {
        name = "confirmdialog", image = "dialogs/small",
        x = kCenter, y = 180,
        transform = gStyles.dialogtransform,
        Text {
            name = "question", label = "#" .. GetString(question, gDialogTable.arg),
            x = 20, y = 16, w = 320, h = 70, flags = kCentred, font = fonts.body,
        },
        SetStyle(gStyles.button),
        Button {
            name = "yes", text = "confirm_yes",
            x = kCenter, y = 92, w = 220, h = 44,
            command = function() WindowReturn("yes") end,
        },
        Button {
            name = "no", text = "confirm_no",
            x = kCenter, y = 146, w = 220, h = 44,
            command = function() WindowReturn("no") end,
        },
    },
}
