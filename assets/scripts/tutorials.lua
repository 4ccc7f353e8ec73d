-- The tutorial prompts of a location, as the "tutorials" table of the gameplay window's style:
-- TutorialTable(first) gives all twelve prompts for the first location and only the two hint
-- medallion prompts for the others. Each prompt's text is the string-table text of its name; its
-- index is the bit it takes in the player's tutorial flags.
local info = {
    fadetime = 250, arrowtime = 600, arrowdist = 14,
    arrowimage = "tutorial/arrow", arrowcenterx = 24, arrowcentery = 24,
    dialog = "tutorial/dialog",
    bounds = { x = 0, y = 0, w = 280, h = 92 },
    font = { "fonts/default.mvec", 16, { 0.95, 0.9, 0.78, 1 } },
}

-- name, index, arrow turns (0 points right, 0.25 down), arrow tip, dialog centre. Every dialog
-- stands in the band along the top, above all the objects to find (a prompt takes only the click
-- it asks for, so one over an object would hide it and take its click), as near its arrow as
-- the screen allows; the location lint faults one that covers an object.
local prompts = {
    { "tutorial_item", 0, 0.5, 190, 300, 190, 80 },
    { "tutorial_hint", 1, 0.25, 110, 490, 170, 80 },
    { "tutorial_hintselect", 2, 0.25, 376, 510, 376, 80 },
    { "tutorial_itemtwo", 3, 0, 570, 410, 570, 80 },
    { "tutorial_inventory", 4, 0.25, 376, 510, 376, 80 },
    -- Down at the keyhole from above: the key carried there stays clear of the arrow.
    { "tutorial_solve", 5, 0.25, 590, 222, 590, 80 },
    { "tutorial_portal", 6, 0, 510, 270, 510, 80 },
    { "tutorial_hintlirae", 7, 0.25, 690, 490, 630, 80 },
    { "tutorial_hintselectlirae", 8, 0.25, 305, 510, 305, 80 },
    { "tutorial_openjournal", 9, 0.25, 616, 480, 616, 80 },
    { "tutorial_lirae", 10, 0.25, 750, 500, 630, 80 },
    { "tutorial_thessalor", 11, 0.25, 50, 500, 170, 80 },
}

function TutorialTable(first)
    local t = { info = info }
    local count = table.getn(prompts)
    for i, p in ipairs(prompts) do
        if first or i > count - 2 then
            table.insert(t, {
                name = p[1], index = p[2], arrowrotation = p[3],
                arrowx = p[4], arrowy = p[5], dialogx = p[6], dialogy = p[7],
            })
        end
    end
    return t
end
