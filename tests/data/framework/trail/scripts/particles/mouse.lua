-- A trail for the mouse overlay tests: it counts its loads, sees the mouse vector's width and
-- records the steps it is given.
gLoads = (gLoads or 0) + 1
gMouseWidth = ({GetParticleMemberParts(dMouse)})[2]
gUpdates = 0
gLastStep = -1
SetNumParticles(4)
function Update(s)
    gUpdates = gUpdates + 1
    gLastStep = s
end
