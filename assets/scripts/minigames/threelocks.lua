-- The vault's three stone locks. Once the slab's cover is lifted (its area completed), the eyes
-- above the locks light one after another; the locks must then be turned in that order. A right
-- lock turns a quarter; a wrong one turns this sequence's locks back and the eyes show it again.
-- With both sequences entered the vault gives up the hearthstone. This script runs in a context
-- of its own; the cursor over a lock is among the location's "cursors". Lock n and eye n are the
-- vault scene's layers "lockn" and "eyen"; the values below count the locks from 0.
areatocheckstatus = "area_vaultcover"
rotationlockamount = 0.25
rotationlocktime = 300
alphaeyeamount = 1
alphaeyetime = 250
cursoroverlock = "handopen"
eventoncomplete = "event_threelockscomplete"
locks = { "lock1", "lock2", "lock3" }
eyes = { "eye1", "eye2", "eye3" }
sequences = { { 0, 1 }, { 2, 0, 1 } }
soundrotate = { sounds = { "stone_turn" } }
