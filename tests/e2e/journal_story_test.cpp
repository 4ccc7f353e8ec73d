// End-to-end runs of the journal's and the cut-scene's development screens on the repository's
// content: the closed journal draws nothing and its script function lives as long as it does; the
// strip plays its two cells to "ContinueForward();", a press on the skip text cuts the first one
// short, a lost focus pauses it under the pause dialog; spoiled copies end with their fatal lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

class JournalStoryTest : public ScreenProgramTest
{
protected:
    // Pixels of the rectangle that differ between two pictures of one size.
    static size_t Differing(const Picture& a, const Picture& b, uint32_t x, uint32_t y, uint32_t w,
                            uint32_t h)
    {
        size_t count = 0;
        if (a.mWidth != b.mWidth || a.mPixels.size() != b.mPixels.size())
            return size_t(w) * h;
        for (uint32_t row = y; row < y + h; ++row)
            for (uint32_t col = x; col < x + w; ++col)
            {
                const size_t at = (size_t(row) * a.mWidth + col) * 4;
                bool same = true;
                for (size_t c = 0; c < 3; ++c)
                    same = same && a.mPixels[at + c] == b.mPixels[at + c];
                count += same ? 0 : 1;
            }
        return count;
    }
};

// "open" (400, 562) opens the inner screen holding the closed journal; its "check" (190, 562)
// traces the script function, "leave" (610, 562) closes it and the outer screen traces it again.
TEST_F(JournalStoryTest, TheClosedJournalDrawsNothingAndItsFunctionGoesWithIt)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 30\nshot outer\nclick 400 562\nwait 30\nshot inner\n"
                       "click 190 562\nwait 10\nclick 610 562\nwait 40\nclose\n",
                       "start=scripts/dev/journal.lua"),
              (Traces{"start", "journal function", "journal nil"}));
    EXPECT_EQ(Differing(Shot("outer"), Shot("inner"), 100, 60, 600, 440), 0u);
}

TEST_F(JournalStoryTest, AJournalWithoutItsTextTableIsFatal)
{
    RunFatal(CopyEdited("scripts/journal.lua", "textright = goals,\n"),
             "focus gained\nwait 30\nclick 400 562\nwait 60\nclose\n",
             "start=scripts/dev/journal.lua");
    ExpectInLog("ERROR:Cannot find 'textright' table for GameplayJournal!   "
                "FILE:gameplayjournal LINE:104");
}

// "play" (400, 300) opens the strip; cell 1 turns from its aged look to its live one, then cell 2
// follows, and the strip's end closes it.
TEST_F(JournalStoryTest, TheStripPlaysBothCellsToItsEnd)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 30\nclick 400 300\nwait 12\nshot aged\nwait 60\n"
                       "shot live\nwait 800\nclose\n",
                       "start=scripts/dev/story.lua"),
              (Traces{"start", "story", "story done"}));
    EXPECT_GT(Differing(Shot("aged"), Shot("live"), 100, 100, 600, 400), 10000u);
    ExpectMatchesGolden(Crop(Shot("live"), 100, 100, 600, 400), "story_cell1.png");
}

// The skip text sits in the cell's lower right corner.
TEST_F(JournalStoryTest, APressOnTheSkipTextCutsTheFirstCellShort)
{
    int code = -1;
    const std::string before = "focus gained\nwait 30\nclick 400 300\nwait 70\n";
    RunTraced(mRepository, before + "wait 30\nshot kept\nclose\n", "start=scripts/dev/story.lua",
              code);
    EXPECT_EQ(RunClean(mRepository,
                       before + "click 690 490\nwait 30\nshot skipped\nwait 800\nclose\n",
                       "start=scripts/dev/story.lua"),
              (Traces{"start", "story", "story done"}));
    EXPECT_GT(Differing(Shot("kept"), Shot("skipped"), 100, 100, 600, 400), 10000u);
}

// The pause dialog's "resume" is at (400, 246).
TEST_F(JournalStoryTest, ALostFocusPausesTheStripUnderThePauseDialog)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 30\nclick 400 300\nwait 40\nfocus lost\nwait 20\n"
                       "focus gained\nwait 200\nshot paused\nclick 400 246\nwait 900\nclose\n",
                       "start=scripts/dev/story.lua"),
              (Traces{"start", "story", "pause", "story done"}));
}

// A close during cell 2 ends the program, which saves the player's record: its game state is the
// cut-scene's (2), which the route reads to open the cut-scene again.
TEST_F(JournalStoryTest, AProgramClosedDuringTheStripKeepsTheCutScenesGameState)
{
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", "CreateNewUser('Ann')\n");
    int code = -1;
    RunTraced(game, "wait 5\nclose\n", "start=scripts/make.lua", code);
    EXPECT_EQ(RunClean(game, "focus gained\nwait 30\nclick 400 300\nwait 260\nclose\n",
                       "start=scripts/dev/story.lua"),
              (Traces{"start", "story"}));
    EXPECT_NE(Prefs().find("playerdata = hex 00 00 00 00 00 00 00 00 00 02 00 00"),
              std::string::npos)
        << Prefs();
}

TEST_F(JournalStoryTest, AStripWithoutItsDropsTableIsFatal)
{
    RunFatal(CopyEdited("scripts/storyboard.lua", "bloodinfo = blood,"),
             "focus gained\nwait 30\nclick 400 300\nwait 60\nclose\n",
             "start=scripts/dev/story.lua");
    ExpectInLog("ERROR:Cannot find 'bloodinfo' for IllustrationPanel!");
}

} // namespace
