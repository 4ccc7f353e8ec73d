// Shared by the game HUD's tests: animated pictures made by the tests (one colour per frame,
// registered at their centre) and the medallion tables the HUD's style holds.
#pragma once

#include "framework/framework_display_support.h"
#include "game/frame_sheet_support.h"

#include <string>
#include <vector>

namespace gamehudtest
{

// "hintinfo": spins of 400 ms, tracker pulses of 100 ms each way 100 ms apart, a glow of 100 ms.
inline const char kHintInfo[] =
    "{ medallionspinduration = 400, timepulse = 100, alphapulse = 0.6, timemedallionpulse = 100, "
    "alphamedallionpulse = 0.5, timepulsedelay = 100 }";

// A character table: the medallion at (x, 50), `trackers` trackers at (trackerX, 20 + 25 i),
// the scrim 100 x 100 around the medallion, and the two sounds.
inline std::string Character(int x, int trackerX, int trackers, const std::string& extra = "")
{
    std::string table =
        "{ medallion = { image = 'hud/med', x = " + std::to_string(x) + ", y = 50 }, tracker = { ";
    for (int i = 0; i < trackers; ++i)
        table += "hint_" + std::to_string(i) +
                 " = { image = 'hud/trk', x = " + std::to_string(trackerX) +
                 ", y = " + std::to_string(20 + 25 * i) + " }, ";
    return table + "}, scrimx = " + std::to_string(x - 50) +
           ", scrimy = 0, scrimw = 100, scrimh = 100, click = { sounds = { 'click' }, delay = 30 "
           "}, over = { sounds = { 'over' } } " +
           extra + "}";
}

class HintDisplayTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        // The medallion: four 40 x 40 frames, red, green, blue, white. A tracker: frame 0 (the
        // pulse) yellow, frame 1 (the lit tracker) orange, 16 x 16.
        Sheet("hud/med", 40, {0xFFE02020, 0xFF20E020, 0xFF2020E0, 0xFFFFFFFF});
        Sheet("hud/trk", 16, {0xFFFFFF00, 0xFFFF8000});
    }
    void Sheet(const std::string& name, int size, const std::vector<uint32_t>& colours)
    {
        const gametest::FrameSheet sheet = gametest::MakeFrameSheet(name, size, colours);
        File(name + ".png", sheet.png);
        File(name + ".xml", sheet.xml);
    }
};

} // namespace gamehudtest
