// The scroll's crystal lens: the lens table "crystallens01", its picture hung below the mouse,
// and its glows lit in order.
#include "game/minigames/puzzles/scroll/scroll_lens.h"

namespace
{
const PuzzleLensTraits kTraits{
    .tableKey = "crystallens01",
    .source = "scrolllens",
    .missingLens = "ERROR: No lens index table for ScrollLens!",
    .missingLensLine = 24,
    .missingRect = "ERROR: No collision index table for ScrollLens!",
    .missingRectLine = 34,
    .spriteDrop = ScrollLens::kSpriteDrop,
    .missingRectStops = true,
};
} // namespace

ScrollLens::ScrollLens() : PuzzleLens(kTraits) {}

void ScrollLens::LightNextGlow()
{
    for (ScrollGlow& glow : mParts)
        if (!glow.IsLit())
        {
            glow.SetLit(true);
            return;
        }
}

void ScrollLens::UnlightGlows()
{
    for (ScrollGlow& glow : mParts)
        glow.SetLit(false);
}

size_t ScrollLens::CountLitGlows() const
{
    size_t lit = 0;
    for (const ScrollGlow& glow : mParts)
        lit += glow.IsLit() ? 1 : 0;
    return lit;
}
