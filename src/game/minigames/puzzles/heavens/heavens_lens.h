// HeavensLens: the lens that searches the sky. It follows the mouse over the sky, its picture
// placed at the mouse itself, and carries the five plates; its collision rectangle, moved with
// the reference point, is what presses test.
#pragma once

#include "game/minigames/puzzles/heavens/heavens_plate.h"
#include "game/minigames/puzzles/puzzle_parts.h"

#include <cstddef>

class HeavensLens : public PuzzleLens<HeavensPlate>
{
public:
    static constexpr size_t kPlates = kParts;

    // "lens01" of its table; a missing rectangle is reported and stays zero, the plates still
    // load.
    HeavensLens();

    void SetPlateLit(size_t index, bool lit) { mParts[index].SetLit(lit); }
    const HeavensPlate& GetPlate(size_t index) const { return mParts[index]; }
};
