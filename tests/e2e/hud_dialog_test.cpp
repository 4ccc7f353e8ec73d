// End-to-end runs of the development screens of the scene HUD and the in-scene dialog on the
// repository's content: the HUD as drawn with its medallions, their pulsing trackers, the dialog
// shown through the developer's function and closed by its button, and HUD descriptions without
// their progress bar or their medallions' timings.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

using HudDialogTest = ScreenProgramTest;

TEST_F(HudDialogTest, TheHudScreenShowsTheBarAndItsButtons)
{
    EXPECT_EQ(RunClean(mRepository, "focus gained\nwait 30\nshot hud\nclose\n",
                       "start=scripts/dev/hud.lua"),
              Traces{"start"});
    ExpectMatchesGolden(Crop(Shot("hud"), 0, 500, 800, 100), "hud_dev.png");
}

// 300 ms apart only the trackers' pulses have moved: Thessalor's at x 110, Lirae's at x 690,
// y 528 and 572, each a 20 x 20 picture.
TEST_F(HudDialogTest, OnlyTheTrackersPulseBetweenTwoShots)
{
    RunOk(mRepository, "focus gained\nwait 30\nshot first\nwait 19\nshot second\nclose\n",
          "start=scripts/dev/hud.lua");
    const Picture first = Shot("first");
    const Picture second = Shot("second");
    ASSERT_EQ(first.mPixels.size(), second.mPixels.size());
    ASSERT_GT(first.mWidth, 0u);
    size_t changed = 0;
    for (uint32_t y = 0; y < first.mHeight; ++y)
        for (uint32_t x = 0; x < first.mWidth; ++x)
        {
            const size_t at = (size_t(y) * first.mWidth + x) * 4;
            if (std::equal(&first.mPixels[at], &first.mPixels[at + 3], &second.mPixels[at]))
                continue;
            ++changed;
            const bool tracker = (x >= 100 && x < 120) || (x >= 680 && x < 700);
            const bool row = (y >= 518 && y < 538) || (y >= 562 && y < 582);
            EXPECT_TRUE(tracker && row) << x << ", " << y;
        }
    EXPECT_GT(changed, 0u);
}

TEST_F(HudDialogTest, AHudWithoutItsHintInfoIsFatalAndTheGameEnds)
{
    RunFatal(CopyEdited("scripts/hud.lua", "hintinfo = \\{[^}]*\\},"),
             "focus gained\nwait 60\nclose\n", "start=scripts/dev/hud.lua");
    ExpectInLog("ERROR:No hintinfo table for GameplayHud   FILE:mkwgameplayhud LINE:");
}

// "show" (centred at 400, 522) asks for the dialog; once faded in, "ok" (400, 302) closes it and
// the statement given with it runs with the value 0.
TEST_F(HudDialogTest, TheDialogShownByNameClosesOnItsButtonAndCallsBackWithZero)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 30\nclick 400 522\nwait 40\nshot dialog\n"
                       "click 400 302\nwait 40\nshot after\nclose\n",
                       "dev=1&start=scripts/dev/dialog.lua"),
              (Traces{"start", "dialog closed 0"}));
    ExpectMatchesGolden(Crop(Shot("dialog"), 220, 150, 360, 200), "dialog_dev.png");
}

TEST_F(HudDialogTest, AHudWithoutItsProgressBarIsFatalAndTheGameEnds)
{
    RunFatal(CopyEdited("scripts/hud.lua", "progressbar = \\{[^}]*\\},"),
             "focus gained\nwait 60\nclose\n", "start=scripts/dev/hud.lua");
    ExpectInLog("ERROR:No progressbar table for GameplayHud!   FILE:gameplayhud LINE:84");
}

} // namespace
