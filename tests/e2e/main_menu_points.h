// Where runs click the main menu's buttons: the centres of the 220 x 44 buttons of
// scripts/mainmenu.lua, in points of the 800 x 600 picture. A full-screen window on a larger
// screen shows the picture bigger; the input script maps these points into it, and so must any
// other clicker. Clicked points are a contract: moving a button in the script moves its point
// here, in the same change as the goldens of the runs that click it.
#pragma once

#include <string>

namespace menupoints
{

struct TMenuPoint
{
    const char* mName; // the button's name in the script
    int mX;
    int mY;
};

constexpr TMenuPoint kPlay{"play", 400, 250 + 22};
constexpr TMenuPoint kNewGame{"newgame", 400, 305 + 22};
constexpr TMenuPoint kOptions{"options", 400, 360 + 22};
constexpr TMenuPoint kPlayers{"players", 400, 415 + 22};
constexpr TMenuPoint kCredits{"credits", 400, 470 + 22};
constexpr TMenuPoint kQuit{"quit", 400, 525 + 22};

// The input-script line that clicks the button, "click 400 437\n" for "Players".
inline std::string ClickLine(const TMenuPoint& point)
{
    return "click " + std::to_string(point.mX) + " " + std::to_string(point.mY) + "\n";
}

} // namespace menupoints
