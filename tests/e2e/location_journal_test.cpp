// End-to-end run of the development location holding the journal: the HUD's "journal" button
// opens the page with the start event's goal, its close button flies it out again, and the
// location plays on until "leave" ends the program cleanly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

class LocationJournalTest : public ScreenProgramTest
{
protected:
    // The journal's part of a shot.
    Picture Page(const char* name) const
    {
        return Crop(ReadPicture(mRoot / (std::string(name) + ".png")), 100, 60, 600, 440);
    }
};

TEST_F(LocationJournalTest, TheHudsJournalButtonOpensTheJournalAndItsCloseButtonShutsIt)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nshot before\nclick 616 524\nwait 60\nshot open\n"
                       "click 666 82\nwait 60\nshot closed\nclick 770 30\nwait 10\n",
                       "start=scripts/dev/location_journal.lua"),
              Traces{"start"});
    EXPECT_NE(Page("before").mPixels, Page("open").mPixels);
    // Shut again: the page, which covers the crop, is gone (the cursor and hovers may differ).
    const Picture before = Page("before");
    const Picture closed = Page("closed");
    size_t differing = 0;
    for (size_t i = 0; i + 3 < before.mPixels.size() && i + 3 < closed.mPixels.size(); i += 4)
        differing += before.mPixels[i] != closed.mPixels[i] ||
                     before.mPixels[i + 1] != closed.mPixels[i + 1] ||
                     before.mPixels[i + 2] != closed.mPixels[i + 2];
    EXPECT_LT(differing * 20, before.mPixels.size() / 4) << differing;
    ExpectMatchesGolden(Page("open"), "location_journal.png");
    // The header and the goals stand on the right leaf, clear of the fold, and read on it.
    EXPECT_GE(TextContrast(ReadPicture(mRoot / "open.png"), 420, 96, 248, 90), 4.5);
}

} // namespace
