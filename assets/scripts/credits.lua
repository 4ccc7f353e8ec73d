-- The credits: an ornament, the title and eight lines, each with a spark before it, scrolling up
-- over the background; when the last line has left the screen the credits close by themselves.
-- Centred text objects are placed by their middle.
local kLineX = 400
local kLineW = 600
local title = gStyles.textobject(kLineX, 0, kLineW, 44, "", gStyles.fonts.title)
title.font = { "fonts/title.mvec", 32, { 0.95, 0.88, 0.6, 1 } }
local line = gStyles.textobject(kLineX, 0, kLineW, 28, "", gStyles.fonts.light)

local objects = {
    { type = "image", yoffset = 0, bitmap = { image = "credits/ornament", x = 272 } },
    { type = "title", text = "credits_title", yoffset = 20 },
}
for i = 1, 8 do
    -- A side image is placed from the top-left of the line's box, whose text is centred on
    -- (kLineX, its place): this puts the spark just before the text's left edge, on its middle.
    table.insert(objects, {
        type = "line", text = "credits_" .. i, yoffset = 14,
        leftimage = { image = "fx/spark", x = kLineX - kLineW / 2 - 24, y = -32 },
    })
end
table.insert(objects, {
    type = "image", yoffset = 30, bitmap = { image = "credits/ornament", x = 272 },
})

MakeDialog {
    name = "credits",
    Bitmap { name = "bg", image = "credits/bg", x = 0, y = 0 },
    TextScroll {
        name = "scroll", x = 0, y = 0, w = 800, h = 600,
        fade = true, music = "music_menu?group=1001",
        textscrim = false, scrollspeed = 70,
        completestring = "CloseWindow( 'done' );",
        texttypes = { title = title, line = line },
        objects = objects,
    },
}
