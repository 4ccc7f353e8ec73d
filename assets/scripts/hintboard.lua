-- What both hint boards build alike: returns the helpers Lirae's and Thessalor's board scripts
-- make their window tables with. The help and exit buttons stand at the board's top right and
-- call the frame's functions only while one is there to bind them; the help and fail dialogs
-- stand in the middle of the board, each closed by its arrow button, their texts looked up here
-- (the dialog shows its "string" as given).
local Board = {}

function Board.Call(name)
    return function()
        local f = _G[name]
        if f ~= nil then
            f()
        end
    end
end

function Board.States(stem)
    return { stem .. "_n", stem .. "_p", stem .. "_h" }
end

-- The text box is `w` wide, its text moved by (textx, texty) inside it: light ink with its dark
-- shadow, which reads on the dark stone face of the dialog (the parchment's brown ink does not).
function Board.Dialog(name, label, w, textx, texty)
    local ink = { "fonts/title.mvec", 22, { 0.97, 0.93, 0.82, 1 } }
    return GameplayDialog {
        name = name, x = 240, y = 160, image = "tutorial/dialog", imagex = 0, imagey = 0,
        text = gStyles.textobject(0, 0, w, 70, "", ink), string = GetString(label),
        timefade = 250, textx = textx, texty = texty,
        Button {
            name = name .. "ok", x = 274, y = 74, buttongraphics = Board.States("hint/ok"),
            soundclick = "click",
            command = function()
                HideDialog("ok")
            end,
        },
    }
end

function Board.HelpButton()
    return Button {
        name = "tutorialbutton", x = 706, y = 12, buttongraphics = Board.States("hint/help"),
        soundclick = "click", command = Board.Call("ShowHintMinigameTutorial"),
    }
end

function Board.ExitButton()
    return Button {
        name = "exitbutton", x = 754, y = 16, buttongraphics = Board.States("hint/exit"),
        soundclick = "click", command = Board.Call("EndHintMinigame"),
    }
end

return Board
