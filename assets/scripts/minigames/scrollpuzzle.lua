-- The star scroll on the Observatory desk: the crystal lens, moved over the scroll, shows the
-- hidden symbols; they must be touched with the lens, one click each, in their order.
-- This script runs in a context of its own. The symbols' picture (512 x 256) is centred on
-- (400, 277): its texture coordinates below are the scroll's own under the lens at its starting
-- place, (x + 256) / 512 and (y + 88) / 256, so the symbols stay where they are on the
-- scroll while the lens travels. The answers lie far enough apart that the lens on one answer's
-- centre touches no other.
scrollpuzzle = {
    soundclick = { sounds = { "click" } },
    -- A miss that puts found signs out says so: a sound and the desk's note for a moment.
    soundreset = { sounds = { "miss" } },
    resetnote = { "scroll_reset_band", "scroll_reset" }, resetnotetime = 2500,
    -- The progress row: each button shows the symbol wanted at its place, so the row reads the
    -- order; a found symbol lights its button.
    buttons = {
        button01 = { x = 240, y = 60, image = "puzzles/scrollbtn1" },
        button02 = { x = 320, y = 60, image = "puzzles/scrollbtn2" },
        button03 = { x = 400, y = 60, image = "puzzles/scrollbtn3" },
        button04 = { x = 480, y = 60, image = "puzzles/scrollbtn4" },
        button05 = { x = 560, y = 60, image = "puzzles/scrollbtn5" },
    },
    -- A row above the lens's ring (the lens picture's middle is 40 below the followed point).
    glows = {
        glow01 = { x = -48, y = -92, image = "puzzles/glow" },
        glow02 = { x = -24, y = -92, image = "puzzles/glow" },
        glow03 = { x = 0, y = -92, image = "puzzles/glow" },
        glow04 = { x = 24, y = -92, image = "puzzles/glow" },
        glow05 = { x = 48, y = -92, image = "puzzles/glow" },
    },
    crystallens = {
        crystallens01 = {
            x = 400, y = 277, image = "puzzles/lens",
            collisionrect = { x1 = 370, y1 = 247, x2 = 430, y2 = 307 },
        },
    },
    symbols = {
        symbol01 = { x = 400, y = 277, image = "puzzles/symbols" },
        -- Five bands across the lens's glass, top to bottom.
        scrollvertices = {
            vert00 = { x = -22, y = -30, u = 234 / 512, v = 58 / 256 },
            vert01 = { x = 22, y = -30, u = 278 / 512, v = 58 / 256 },
            vert02 = { x = 22, y = -18, u = 278 / 512, v = 70 / 256 },
            vert03 = { x = -22, y = -18, u = 234 / 512, v = 70 / 256 },
            vert04 = { x = -28, y = -18, u = 228 / 512, v = 70 / 256 },
            vert05 = { x = 28, y = -18, u = 284 / 512, v = 70 / 256 },
            vert06 = { x = 28, y = -6, u = 284 / 512, v = 82 / 256 },
            vert07 = { x = -28, y = -6, u = 228 / 512, v = 82 / 256 },
            vert08 = { x = -30, y = -6, u = 226 / 512, v = 82 / 256 },
            vert09 = { x = 30, y = -6, u = 286 / 512, v = 82 / 256 },
            vert10 = { x = 30, y = 6, u = 286 / 512, v = 94 / 256 },
            vert11 = { x = -30, y = 6, u = 226 / 512, v = 94 / 256 },
            vert12 = { x = -28, y = 6, u = 228 / 512, v = 94 / 256 },
            vert13 = { x = 28, y = 6, u = 284 / 512, v = 94 / 256 },
            vert14 = { x = 28, y = 18, u = 284 / 512, v = 106 / 256 },
            vert15 = { x = -28, y = 18, u = 228 / 512, v = 106 / 256 },
            vert16 = { x = -22, y = 18, u = 234 / 512, v = 106 / 256 },
            vert17 = { x = 22, y = 18, u = 278 / 512, v = 106 / 256 },
            vert18 = { x = 22, y = 30, u = 278 / 512, v = 118 / 256 },
            vert19 = { x = -22, y = 30, u = 234 / 512, v = 118 / 256 },
        },
        symbolanswers = {
            rect01 = { x1 = 175, y1 = 175, x2 = 225, y2 = 225 },
            rect02 = { x1 = 535, y1 = 335, x2 = 585, y2 = 385 },
            rect03 = { x1 = 295, y1 = 275, x2 = 345, y2 = 325 },
            rect04 = { x1 = 575, y1 = 165, x2 = 625, y2 = 215 },
            rect05 = { x1 = 415, y1 = 205, x2 = 465, y2 = 255 },
        },
    },
}
