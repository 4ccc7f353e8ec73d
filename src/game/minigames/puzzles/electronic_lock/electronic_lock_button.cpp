// One key of the electronic lock: its frames, its report and its hit test.
#include "game/minigames/puzzles/electronic_lock/electronic_lock_button.h"

#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"

namespace
{
const PuzzleButtonLooks kLooks{
    .litFrame = ElectronicLockButton::kLitFrame,
    .unlitFrame = ElectronicLockButton::kUnlitFrame,
    .source = "electroniclockbutton",
    .missing = "ERROR: No button index table for ElectronicLockButton!",
    .missingLine = 27,
};
} // namespace

ElectronicLockButton::ElectronicLockButton() : PuzzleButton(kLooks) {}

void ElectronicLockButton::Toggle()
{
    SetLit(!IsLit());
}

bool ElectronicLockButton::Contains(const TPoint& point) const
{
    return GetSprite()->HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                                TDrawSpec(), -1);
}
