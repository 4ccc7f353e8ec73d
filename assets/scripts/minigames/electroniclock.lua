-- The Gatehouse cabinet's lock: a 3x3 keypad that starts all unlit. A press flips the key and its
-- orthogonal neighbours; the lock opens with all nine lit (the four corners, then the centre).
-- This script runs in a context of its own, so the hand cursors are named here; both are among
-- the location's "cursors". The keys sit on the sockets of scenes/lockpanel/bg.
gs_cursorHandOpen = "handopen"
gs_cursorHandClosed = "handclosed"

electroniclock = {
    soundtoggle = { sounds = { "lock_click" } },
    buttons = {
        button01 = { x = 320, y = 200, image = "puzzles/lockbtn" },
        button02 = { x = 400, y = 200, image = "puzzles/lockbtn" },
        button03 = { x = 480, y = 200, image = "puzzles/lockbtn" },
        button04 = { x = 320, y = 280, image = "puzzles/lockbtn" },
        button05 = { x = 400, y = 280, image = "puzzles/lockbtn" },
        button06 = { x = 480, y = 280, image = "puzzles/lockbtn" },
        button07 = { x = 320, y = 360, image = "puzzles/lockbtn" },
        button08 = { x = 400, y = 360, image = "puzzles/lockbtn" },
        button09 = { x = 480, y = 360, image = "puzzles/lockbtn" },
    },
}
