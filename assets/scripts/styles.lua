-- The shared look of the game's screens, returned as one table (game.lua keeps it as gStyles):
-- fonts, the push-button look, the dialogs' drop-in motion and a maker of text-object tables.
local fonts = {
    body = { "fonts/default.mvec", 16, { 0.1, 0.08, 0.05, 1 } },
    light = { "fonts/default.mvec", 18, { 0.92, 0.88, 0.78, 1 } },
    title = { "fonts/title.mvec", 26, { 0.95, 0.88, 0.6, 1 } },
    -- Dark ink on the dialogs' parchment faces.
    dialog = { "fonts/title.mvec", 22, { 0.3, 0.18, 0.08, 1 } },
    button = { "fonts/title.mvec", 20, { 0.95, 0.9, 0.75, 1 } },
    -- The caption of a button that cannot be pressed yet, faded as its face is.
    buttongreyed = { "fonts/title.mvec", 20, { 0.85, 0.82, 0.76, 0.6 } },
    small = { "fonts/default.mvec", 14, { 0.85, 0.8, 0.7, 1 } },
}

local kCentred = kHAlignCenter + kVAlignCenter

-- A TextObject table: centred text of `label` in the box at x, y of w by h.
local function textobject(x, y, w, h, label, font)
    return {
        text = label, font = font or fonts.body,
        x = x, y = y, w = w, h = h, flags = kCentred, alpha = 1,
        dropshadowcolor = { 0, 0, 0, 0.6 }, dropshadowoffset = 2,
        allowlinebreaks = true, drawtotexture = false, maxtexturescale = 1,
    }
end

return {
    fonts = fonts,
    centred = kCentred,
    -- The keys of a framework push button; a button adds name, place, text and command.
    button = {
        buttongraphics = { "ui/button_n", "ui/button_p", "ui/button_h" },
        soundclick = "click", soundenter = "hover",
        font = fonts.button, textwidth = 1.0,
        w = 220, h = 44,
    },
    -- How a dialog drops in from above, overshoots and settles, and flies out again.
    dialogtransform = {
        timeenter = 350, timeenterbounce = 150, timeexit = 250, moveenterbounce = 18,
    },
    textobject = textobject,
    -- A puzzle scene's instruction line: light text on a dark band across the screen's top (its
    -- middle at `y`, 26 unless given), both hidden until an event shows them. Returns the band's
    -- layer and the text, `name` .. "_band" and `name`.
    instruction = function(name, label, y)
        y = y or 26
        local line = textobject(400, y, 700, 30, "", fonts.light)
        line.string = GetString(label)
        line.allowlinebreaks = false
        return { name = name .. "_band", depth = 6, image = "puzzles/band", x = 400, y = y,
                 flags = 5 },
               { name = name, depth = 5, text = line }
    end,
    -- The inventory tooltip of the gameplay window: the name of the object under the mouse, with
    -- the pictures of the items still missing for it, flown out to just above the HUD.
    tooltipinventory = {
        font = fonts.light, x = 400, y = 470, w = 300, h = 40, widthperline = 240,
        timeintro = 150, timeoutro = 150, timevisible = 2500, timeinitialwait = 300,
        borderwidth = 8, borderheight = 6, distancebetweenitems = 6,
        itemdropshadowcolor = { 0, 0, 0, 0.5 }, itemdropshadowoffsetx = 2, itemdropshadowoffsety = 2,
        backgroundcolor = { 0, 0, 0, 0.6 }, textmask = "%s", sound = "hover",
    },
}
