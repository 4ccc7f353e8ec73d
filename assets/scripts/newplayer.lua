-- The name of a new profile: a dialog with one entry field. "OK" returns the name as typed, and so
-- does Enter (the dialog's default button); "Cancel" an empty text. A name that shows nothing is
-- never returned: "OK" stands greyed on the dialog while the field holds none.
DimmedDialog("newplayer", {
    name = "namedialog", image = "dialogs/dialog",
    x = kCenter, y = 130,
    Text {
        name = "title", label = "newplayer_title",
        x = kCenter, y = 20, w = 380, h = 40, flags = gStyles.centred,
        font = gStyles.fonts.dialog,
    },
    -- The field's box, drawn before anything is typed so the player sees where a name goes.
    Bitmap { name = "namefield", image = "dialogs/field", x = 58, y = 74 },
    -- The body font: it draws the letters beyond Latin-1 that names may hold.
    TextEdit {
        -- Inside the box, the line at its middle.
        name = "name", x = 68, y = 76, w = 284, h = 32, flags = kVAlignCenter,
        length = 16, utf8 = true, clearinitial = true, enablewindow = "ok",
        sounds = { "click" }, font = gStyles.fonts.body,
    },
    -- "OK" while there is no name: a picture, not a button, so no click or key can press it. The
    -- field shows the pressable "OK" over it at the first letter, on the same spot.
    Bitmap { name = "okgreyed", image = "ui/button_d", x = kCenter, y = 124 },
    Text {
        name = "okgreyedlabel", label = "newplayer_ok",
        x = kCenter, y = 124, w = 220, h = 44, flags = gStyles.centred,
        font = gStyles.fonts.buttongreyed,
    },
    Button(ButtonStyle {
        name = "ok", text = "newplayer_ok", x = kCenter, y = 124, default = true,
        -- The field hides this button while it holds no name; a blank one is refused here as well,
        -- so that neither a click nor Enter can ever make a nameless profile.
        command = function()
            local name = GetLabel("name")
            if not IsBlankName(name) then
                WindowReturn(name)
            end
        end,
    }),
    Button(ButtonStyle {
        name = "cancel", text = "newplayer_cancel", x = kCenter, y = 180,
        command = function() WindowReturn("") end,
    }),
})
-- No name yet: the greyed "OK" stands until the field shows the pressable one at its first letter.
EnableWindow("ok", false)
-- The field has the keys from the start, so its caret blinks there before the first letter.
SetFocus("name")
