// ScrollButton: one of the scroll puzzle's five progress lamps: where it sits, its animated
// picture (frame 0 lit, frame 1 unlit) and whether it is lit.
#pragma once

#include "game/minigames/puzzles/puzzle_parts.h"

#include <cstdint>

class ScrollButton : public PuzzleButton
{
public:
    static constexpr int32_t kLitFrame = 0;
    static constexpr int32_t kUnlitFrame = 1;

    // Its table is "button%02d" (`index` 1 to 5).
    ScrollButton();
};
