-- The profile screen: five rows of names over the list of profiles, scrolled by the slider or the
-- arrows; new profiles are named in scripts/newplayer.lua, a deletion is asked first in
-- scripts/confirm.lua. "Select" makes the pressed row's profile the current one.
local fonts = gStyles.fonts
local kRowTop = 150
local kRowStep = 44

-- Read by the screen when it lays out its rows, so set before it is made.
kMaxProfileButtons = 5

local function ShowSelected()
    SetSelectedPlayer()
    SetPlayerChoices()
end

local function NewPlayer()
    local name = DisplayDialog { "scripts/newplayer.lua" }
    if name ~= nil and name ~= "" and not IsUserNameInUse(name) then
        CreateNewUser(name)
        -- A new profile starts from nothing, not from the record of the one before it.
        NewGame()
        ShowSelected()
    end
end

local function DeleteSelectedPlayer()
    local index = GetCurrentSelectedUser()
    if index < 0 or index >= GetNumUsers() then
        return
    end
    local answer = DisplayDialog {
        "scripts/confirm.lua", text = "players_confirmdelete", arg = GetSelectedPlayerName(),
    }
    if answer == "yes" then
        DeleteUser(index)
        ShowSelected()
    end
end

local function SelectPlayer()
    local index = GetCurrentSelectedUser()
    if index >= 0 and index < GetNumUsers() then
        SetCurrentUser(index)
        Trace("profile " .. GetCurrentUserName())
        CloseWindow("select")
    end
end

-- A radio row: the screen gives it its name, shows it and turns it on; its press selects. The
-- selected row is the one drawn opaque; the others only a little lighter, so that they still look
-- as ready to be pressed as it does.
local function Row(index)
    return Button {
        name = "button" .. index, type = kRadio, text = "#",
        x = 190, y = kRowTop + index * kRowStep, w = 300, h = 36,
        buttongraphics = { "ui/row_n", "ui/row_p", "ui/row_h" },
        onalpha = 1.0, offalpha = 0.8,
        font = fonts.light, soundclick = "click",
    }
end

local function Arrow(name, y, command)
    return Button {
        name = name, x = 508, y = y, w = 32, h = 32,
        buttongraphics = { "ui/" .. name .. "_n", "ui/" .. name .. "_p", "ui/" .. name .. "_h" },
        soundclick = "click", command = command,
    }
end

MakeDialog {
    name = "players",
    SelectPlayerWindow {
        name = "selectplayer",
        x = 0, y = 0, w = 800, h = 600,
        scrim = true, scrimalpha = 0.7,
        Bitmap { name = "panel", image = "dialogs/panel", x = kCenter, y = kCenter },
        Text {
            name = "title", label = "players_title",
            x = kCenter, y = 106, w = 480, h = 40, flags = gStyles.centred, font = fonts.dialog,
        },
        -- The rows and the slider are the screen's own children: their messages reach it.
        BeginGroup(),
        Row(0), Row(1), Row(2), Row(3), Row(4),
        Slider {
            name = "slider",
            x = 512, y = kRowTop + 36, w = 24, h = 4 * kRowStep - 36,
            railtop = "ui/vrail_t", railmiddle = "ui/vrail_m", railbottom = "ui/vrail_b",
            graphics = { "ui/thumb_n", "ui/thumb_p", "ui/thumb_h" },
            -- Half the thumb: it stays whole at either end.
            xoffset = 12,
        },
        -- The rows' radio group ends here.
        BeginGroup(),
        Arrow("up", kRowTop, function() MoveTopPlayerUp() end),
        Arrow("down", kRowTop + 4 * kRowStep + 4, function() MoveTopPlayerDown() end),
        Button(ButtonStyle {
            name = "new", text = "players_new", x = 170, y = 384, command = NewPlayer,
        }),
        Button(ButtonStyle {
            name = "delete", text = "players_delete", x = 410, y = 384,
            command = DeleteSelectedPlayer,
        }),
        Button(ButtonStyle {
            name = "select", text = "players_select", x = 170, y = 440, command = SelectPlayer,
        }),
        Button(ButtonStyle {
            name = "cancel", text = "players_cancel", x = 410, y = 440, close = true,
        }),
    },
}
