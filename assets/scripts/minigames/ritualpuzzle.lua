-- The altar's ritual: five crystals stand on the stone; each of five patterns is shown by the
-- crystals lighting one after another, and is answered by clicking them in the reverse order. A
-- wrong crystal puts them all out and the pattern is shown again. Each answered pattern lights a
-- beam over the altar; the fifth opens the vault. This script runs in a context of its own, so
-- the hand cursor is named here (it is among the location's "cursors"). The crystals stand on
-- the ones painted in scenes/altar/bg.
gs_cursorHandOpen = "handopen"

ritualpuzzle = {
    crystalinfo = { timeonfade = 200, timeofffade = 200 },
    patterninfo = { idletimermax = 600, sequencetimermax = 450 },
    crystals = {
        crystal00 = { x = 160, y = 265, image = "puzzles/crystal", sound = { sounds = { "crystal" } } },
        crystal01 = { x = 280, y = 265, image = "puzzles/crystal", sound = { sounds = { "crystal" } } },
        crystal02 = { x = 400, y = 265, image = "puzzles/crystal", sound = { sounds = { "crystal" } } },
        crystal03 = { x = 520, y = 265, image = "puzzles/crystal", sound = { sounds = { "crystal" } } },
        crystal04 = { x = 640, y = 265, image = "puzzles/crystal", sound = { sounds = { "crystal" } } },
    },
    -- Crystal numbers 1 to 5, left to right, in the order shown; the answer runs backwards.
    patterns = {
        pattern01 = { step01 = 3, step02 = 1, step03 = 4, step04 = 1, step05 = 5 },
        pattern02 = { step01 = 1, step02 = 2, step03 = 3, step04 = 4, step05 = 5 },
        pattern03 = { step01 = 5, step02 = 4, step03 = 3, step04 = 2, step05 = 1 },
        pattern04 = { step01 = 2, step02 = 2, step03 = 2, step04 = 2, step05 = 2 },
        pattern05 = { step01 = 1, step02 = 3, step03 = 5, step04 = 3, step05 = 1 },
    },
}
