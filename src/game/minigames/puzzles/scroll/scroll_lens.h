// ScrollLens: the crystal lens that follows the mouse over the scroll. Its reference point is
// where the mouse was last followed; its sprite hangs 40 pixels below that point and carries the
// five glows; its collision rectangle, moved with the point, is what presses test.
#pragma once

#include "game/minigames/puzzles/puzzle_parts.h"
#include "game/minigames/puzzles/scroll/scroll_glow.h"

#include <cstddef>
#include <cstdint>

class ScrollLens : public PuzzleLens<ScrollGlow>
{
public:
    static constexpr size_t kGlows = kParts;
    // How far below the reference point the lens picture is placed.
    static constexpr int32_t kSpriteDrop = 40;

    // "crystallens01" of its table; a missing rectangle loads no glows.
    ScrollLens();

    // The first unlit glow in order lights; none when all are lit.
    void LightNextGlow();
    void UnlightGlows();
    size_t CountLitGlows() const;

    const ScrollGlow& GetGlow(size_t index) const { return mParts[index]; }
};
