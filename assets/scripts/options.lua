-- The options screen over the menu: the two volume sliders (the screen applies their moves at
-- once), the full-screen switch (applied and stored at once, its caption the other mode), the
-- system-cursor choice and the full character dialogs. "OK" stores the volumes and the two choices
-- and closes.
local fonts = gStyles.fonts
-- The two choices as the screen opens: "OK" stores one only when the player changed it.
local kCursorAtOpen = IsUsingCursorOS()
local kDialogsAtOpen = GetFullCharacterDialogState()
local kLeftCentred = kHAlignLeft + kVAlignCenter

local function Caption(name, label, y)
    return Text {
        name = name, label = label,
        x = 170, y = y, w = 150, h = 30, flags = kLeftCentred, font = fonts.body,
    }
end

local function VolumeSlider(name, y)
    return Slider {
        name = name,
        x = 330, y = y, w = 280, h = 24,
        railtop = "ui/rail_l", railmiddle = "ui/rail_m", railbottom = "ui/rail_r",
        graphics = { "ui/thumb_n", "ui/thumb_p", "ui/thumb_h" },
        -- Half the thumb: it stays whole at either end.
        xoffset = 12,
        soundtick = "click",
    }
end

-- A box ticked when `on`; its caption beside it.
local function CheckBox(name, on, y)
    return Button {
        name = name, type = kToggle, on = on,
        x = 170, y = y, w = 32, h = 32,
        buttongraphics = {
            "ui/check_n", "ui/check_p", "ui/check_h",
            "ui/check_on_n", "ui/check_on_p", "ui/check_on_h",
        },
        soundclick = "click",
    }
end

local function CheckCaption(name, label, y)
    return Text {
        name = name, label = label,
        x = 214, y = y + 1, w = 400, h = 30, flags = kLeftCentred, font = fonts.body,
    }
end

MakeDialog {
    name = "options",
    OptionsWindow {
        name = "optionswindow",
        x = 0, y = 0, w = 800, h = 600,
        scrim = true, scrimalpha = 0.7,
        fullscreen = "opt_fullscreen", window = "opt_window",
        Bitmap { name = "panel", image = "dialogs/panel", x = kCenter, y = kCenter },
        Text {
            name = "title", label = "opt_title",
            x = kCenter, y = 110, w = 480, h = 44, flags = gStyles.centred, font = fonts.dialog,
        },
        Caption("soundcaption", "opt_sound", 190),
        VolumeSlider("sfxlevelslider", 193),
        Caption("musiccaption", "opt_music", 240),
        VolumeSlider("musiclevelslider", 243),
        -- Read when "OK" is pressed: a toggle's command runs before the button turns over.
        CheckBox("cursor", kCursorAtOpen, 284),
        CheckCaption("cursorcaption", "opt_cursor", 284),
        CheckBox("dialogs", kDialogsAtOpen, 324),
        CheckCaption("dialogscaption", "opt_dialogs", 324),
        Button(ButtonStyle {
            name = "fullscreentoggle", text = "opt_fullscreen", x = kCenter, y = 376,
            command = function()
                ToggleFullScreen()
                SetFullScreenToggleText()
            end,
        }),
        Button(ButtonStyle {
            name = "ok", text = "opt_ok", x = kCenter, y = 440,
            command = function()
                SaveVolumes()
                -- Only what the player changed here: another copy of the game may have saved
                -- the others since this screen opened.
                if GetButtonToggleState("cursor") ~= kCursorAtOpen then
                    SetCursorOSuse(GetButtonToggleState("cursor"))
                end
                if GetButtonToggleState("dialogs") ~= kDialogsAtOpen then
                    SetFullCharacterDialogState(GetButtonToggleState("dialogs"))
                end
                CloseWindow("ok")
            end,
        }),
    },
}
