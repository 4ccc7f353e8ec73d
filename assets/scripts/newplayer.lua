-- The name of a new profile: a dialog with one entry field. "OK" (shown only while the field holds
-- a name) returns the name as typed, "Cancel" an empty text.
local fonts = gStyles.fonts
local kCentred = kHAlignCenter + kVAlignCenter

MakeDialog {
    name = "newplayer",
    DialogWindow {
        name = "namedialog", image = "dialogs/dialog",
        x = kCenter, y = 130,
        transform = gStyles.dialogtransform,
        Text {
            name = "title", label = "newplayer_title",
            x = 20, y = 20, w = 380, h = 40, flags = kCentred, font = fonts.title,
        },
        TextEdit {
            name = "name", x = 60, y = 76, w = 300, h = 32,
            length = 16, utf8 = true, clearinitial = true, enablewindow = "ok",
            font = fonts.body,
        },
        SetStyle(gStyles.button),
        Button {
            name = "ok", text = "newplayer_ok",
            x = kCenter, y = 124, w = 220, h = 44,
            command = function() WindowReturn(GetLabel("name")) end,
        },
        Button {
            name = "cancel", text = "newplayer_cancel",
            x = kCenter, y = 180, w = 220, h = 44,
            command = function() WindowReturn("") end,
        },
    },
}
-- No name yet: the field shows "OK" at the first letter.
EnableWindow("ok", false)
