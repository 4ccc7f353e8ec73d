-- The keeper's portal cursor: the lantern hangs a little low and still, then rises while it turns
-- once about its upright axis.
modelinfo = {
    states = {
        state00 = { position = { 0, -0.2, 4 }, rotation = { 0, 0, 0 } },
        state01 = { position = { 0, 0.2, 4 }, rotation = { 0, 6.2832, 0 } },
    },
}
