// A progress lamp of the scroll puzzle: its frames and its report.
#include "game/minigames/puzzles/scroll/scroll_button.h"

namespace
{
const PuzzleButtonLooks kLooks{
    .litFrame = ScrollButton::kLitFrame,
    .unlitFrame = ScrollButton::kUnlitFrame,
    .source = "scrollbutton",
    .missing = "ERROR: No button index table for ScrollButton!",
    .missingLine = 27,
};
} // namespace

ScrollButton::ScrollButton() : PuzzleButton(kLooks) {}
