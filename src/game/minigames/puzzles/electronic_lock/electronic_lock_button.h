// ElectronicLockButton: one key of the electronic lock: where it sits, the animated picture it
// shows (frame 0 unlit, frame 2 lit) and whether it is lit.
#pragma once

#include "game/minigames/puzzles/puzzle_parts.h"
#include "ui/window.h"

#include <cstdint>

class ElectronicLockButton : public PuzzleButton
{
public:
    static constexpr int32_t kUnlitFrame = 0;
    static constexpr int32_t kLitFrame = 2;

    // Its table is "button%02d" (`index` 1 to 9).
    ElectronicLockButton();

    // Lit becomes unlit and the other way round, with the frame to match.
    void Toggle();
    // The sprite's drawn rectangle alone decides.
    bool Contains(const TPoint& point) const;
};
