// A plate on the heavens lens: the glow read from its own table.
#include "game/minigames/puzzles/heavens/heavens_plate.h"

#include <cstdio>

bool HeavensPlate::Load(int32_t index, const TLuaTable& plates, const TDrawSpec* parentSpec)
{
    char key[16];
    std::snprintf(key, sizeof key, "plate%02d", static_cast<int>(index));
    return LoadEntry(plates, key, "ERROR: No plate index table for HeavensPlate!", "heavensplate",
                     parentSpec);
}
