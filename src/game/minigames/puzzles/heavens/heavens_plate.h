// HeavensPlate: one of the five plates the heavens lens carries, lit as constellations are found.
// It is the scroll lens's glow read from the table "plate%02d".
#pragma once

#include "game/minigames/puzzles/scroll/scroll_glow.h"

class HeavensPlate : public ScrollGlow
{
public:
    // "plate%02d" (`index` 1 to 5) of `plates`: "x", "y" and "image", drawn under `parentSpec`.
    bool Load(int32_t index, const TLuaTable& plates, const TDrawSpec* parentSpec);
};
