-- The night sky through the telescope: the lens, moved over the sky (the mouse at y 400 or
-- higher), magnifies it and shows five constellations that are not seen otherwise. A click with
-- the lens over a constellation's middle finds it, in any order. This script runs in a context
-- of its own.
--
-- The sky (1024 x 512) is centred on (400, 256), so the lens at its starting place (400, 237)
-- sits over the sky's pixel (512, 237). Each quad reaches 56 pixels each way from the lens; the
-- sky's corners are multiplied by 1.1 or 0.9 when drawn, so they are given here divided by them
-- to show 44.8 of the sky's pixels each way: magnified 1.25 times at the starting place.
-- The constellations' frames (128 x 96, on a 512 x 480 sheet) sit on the screen around their
-- centres; a quad's corners are the sheet's coordinates of the screen point under them with the
-- lens at its starting place, and each is clipped to its own frame's place.
searchingtheheavens = {
    soundfound = { sounds = { "item_found" } },
    plates = {
        plate01 = { x = -60, y = 96, image = "puzzles/plate" },
        plate02 = { x = -30, y = 96, image = "puzzles/plate" },
        plate03 = { x = 0, y = 96, image = "puzzles/plate" },
        plate04 = { x = 30, y = 96, image = "puzzles/plate" },
        plate05 = { x = 60, y = 96, image = "puzzles/plate" },
    },
    lens = {
        lens01 = {
            x = 400, y = 237, image = "puzzles/heavens_lens",
            collisionrect = { x1 = 360, y1 = 197, x2 = 440, y2 = 277 },
        },
    },
    background = {
        background01 = { x = 400, y = 256, image = "puzzles/sky" },
        backgroundvertices = {
            vert00 = { x = -56, y = -56, u = 467.2 / 1024 / 1.1, v = 192.2 / 512 / 1.1 },
            vert01 = { x = 56, y = -56, u = 556.8 / 1024 / 0.9, v = 192.2 / 512 / 1.1 },
            vert02 = { x = 56, y = 56, u = 556.8 / 1024 / 0.9, v = 281.8 / 512 / 0.9 },
            vert03 = { x = -56, y = 56, u = 467.2 / 1024 / 1.1, v = 281.8 / 512 / 0.9 },
        },
        -- Each constellation's middle, in the order of the layers they light.
        backgroundanswers = {
            rect01 = { x1 = 225, y1 = 85, x2 = 275, y2 = 135 },  -- pisces
            rect02 = { x1 = 495, y1 = 75, x2 = 545, y2 = 125 },  -- gemini
            rect03 = { x1 = 375, y1 = 205, x2 = 425, y2 = 255 },  -- leo
            rect04 = { x1 = 235, y1 = 305, x2 = 285, y2 = 355 },  -- scorpio
            rect05 = { x1 = 535, y1 = 295, x2 = 585, y2 = 345 },  -- draco
        },
    },
    constalations = {
        constalation01 = {  -- pisces
            animationtable = { image = "puzzles/const_1", framespeed = 300, animation = "wrap" },
            cliprect = { x1 = 186, y1 = 62, x2 = 314, y2 = 158 },
            vertices = {
                vert00 = { x = -56, y = -56, u = 158 / 512, v = 119 / 480 },
                vert01 = { x = 56, y = -56, u = 270 / 512, v = 119 / 480 },
                vert02 = { x = 56, y = 56, u = 270 / 512, v = 231 / 480 },
                vert03 = { x = -56, y = 56, u = 158 / 512, v = 231 / 480 },
            },
        },
        constalation02 = {  -- gemini
            animationtable = { image = "puzzles/const_2", framespeed = 300, animation = "wrap" },
            cliprect = { x1 = 456, y1 = 52, x2 = 584, y2 = 148 },
            vertices = {
                vert00 = { x = -56, y = -56, u = -112 / 512, v = 129 / 480 },
                vert01 = { x = 56, y = -56, u = 0 / 512, v = 129 / 480 },
                vert02 = { x = 56, y = 56, u = 0 / 512, v = 241 / 480 },
                vert03 = { x = -56, y = 56, u = -112 / 512, v = 241 / 480 },
            },
        },
        constalation03 = {  -- leo
            animationtable = { image = "puzzles/const_3", framespeed = 300, animation = "wrap" },
            cliprect = { x1 = 336, y1 = 182, x2 = 464, y2 = 278 },
            vertices = {
                vert00 = { x = -56, y = -56, u = 8 / 512, v = -1 / 480 },
                vert01 = { x = 56, y = -56, u = 120 / 512, v = -1 / 480 },
                vert02 = { x = 56, y = 56, u = 120 / 512, v = 111 / 480 },
                vert03 = { x = -56, y = 56, u = 8 / 512, v = 111 / 480 },
            },
        },
        constalation04 = {  -- scorpio
            animationtable = { image = "puzzles/const_4", framespeed = 300, animation = "wrap" },
            cliprect = { x1 = 196, y1 = 282, x2 = 324, y2 = 378 },
            vertices = {
                vert00 = { x = -56, y = -56, u = 148 / 512, v = -101 / 480 },
                vert01 = { x = 56, y = -56, u = 260 / 512, v = -101 / 480 },
                vert02 = { x = 56, y = 56, u = 260 / 512, v = 11 / 480 },
                vert03 = { x = -56, y = 56, u = 148 / 512, v = 11 / 480 },
            },
        },
        constalation05 = {  -- draco
            animationtable = { image = "puzzles/const_5", framespeed = 300, animation = "wrap" },
            cliprect = { x1 = 496, y1 = 272, x2 = 624, y2 = 368 },
            vertices = {
                vert00 = { x = -56, y = -56, u = -152 / 512, v = -91 / 480 },
                vert01 = { x = 56, y = -56, u = -40 / 512, v = -91 / 480 },
                vert02 = { x = 56, y = 56, u = -40 / 512, v = 21 / 480 },
                vert03 = { x = -56, y = 56, u = -152 / 512, v = 21 / 480 },
            },
        },
    },
}
