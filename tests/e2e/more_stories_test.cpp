// End-to-end runs of the "More stories" page: opened from the menu, a press on a game's link
// handing exactly its address to the desktop's opener (a recording stand-in first on PATH), back
// to the menu; and the page opened alone, with its content file and without it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

class MoreStoriesTest : public ScreenProgramTest
{
protected:
    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        WriteFile(mRoot / "bin/xdg-open",
                  "#!/bin/sh\necho \"$1\" >> '" + (mRoot / "opened.txt").string() + "'\n");
        fs::permissions(mRoot / "bin/xdg-open", fs::perms::owner_all);
        // The opener found first on the path is the test's own.
        mRunEnv = {"PATH=" + (mRoot / "bin").string() + ":" + std::getenv("PATH")};
    }
    // The addresses the opener was given; it runs on its own, so the test waits up to 5 s for
    // `count` of them.
    std::vector<std::string> Opened(size_t count)
    {
        std::vector<std::string> lines;
        for (int i = 0; i < 500; ++i)
        {
            lines.clear();
            std::istringstream in(ReadFile(mRoot / "opened.txt"));
            for (std::string line; std::getline(in, line);)
                lines.push_back(line);
            if (lines.size() >= count)
                break;
            sys::SleepMs(10);
        }
        return lines;
    }
};

// "More stories" in the menu's corner, the page, the second game's link, "Back".
TEST_F(MoreStoriesTest, TheMenuOpensThePageWhoseLinkOpensItsGameAndBackReturns)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nclick 674 566\nwait 30\nshot more\n"
                       "click 58 212\nwait 20\nclick 400 562\nwait 30\nshot menu\nclose\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "more", "menu"}));
    ExpectMatchesGolden(Shot("more"), "more_page.png");
    EXPECT_EQ(Opened(1), (std::vector<std::string>{"https://example.org/murkwell/reedcutter"}));
    ExpectMatchesGolden(Shot("menu"), "front_menu.png");
}

// The window closed while the page is up: the menu's command, waiting on the page, finishes in
// the last frame with the functions it calls still there, and the log stays clean.
TEST_F(MoreStoriesTest, AClosingWindowOverThePageEndsWithACleanLog)
{
    EXPECT_EQ(RunClean(mRepository, "focus gained\nwait 40\nclick 674 566\nwait 30\nclose\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu", "more", "menu"}));
}

// Alone, the page is the first screen; without its content file it is empty, its site button
// hidden, and nothing is logged.
TEST_F(MoreStoriesTest, ThePageAloneWithAndWithoutItsContent)
{
    EXPECT_EQ(RunClean(mRepository, "focus gained\nwait 20\nshot page\nclose\n",
                       "start=scripts/moregames.lua"),
              (Traces{"start", "more"}));
    ExpectMatchesGolden(Shot("page"), "more_page.png");

    const fs::path game = CopyGame("content");
    fs::remove(game / "assets/xsell/xsell.xml");
    EXPECT_EQ(RunClean(game, "focus gained\nwait 20\nshot empty\nclick 400 502\nwait 10\nclose\n",
                       "start=scripts/moregames.lua"),
              (Traces{"start", "more"}));
    ExpectMatchesGolden(Shot("empty"), "more_empty.png");
    EXPECT_EQ(Opened(0), std::vector<std::string>{}) << "no site, nothing opened";
}

} // namespace
