// The heavens lens: the lens table "lens01", its picture at the mouse.
#include "game/minigames/puzzles/heavens/heavens_lens.h"

namespace
{
const PuzzleLensTraits kTraits{
    .tableKey = "lens01",
    .source = "heavenslens",
    .missingLens = "ERROR: No lens index table for HeavensLens!",
    .missingLensLine = 24,
    .missingRect = "ERROR: No collision index table for HeavensLens!",
    .missingRectLine = 33,
    .spriteDrop = 0,
    .missingRectStops = false,
};
} // namespace

HeavensLens::HeavensLens() : PuzzleLens(kTraits) {}
