// End-to-end runs of the "More stories" page: opened from the menu, a press on a game's link
// handing exactly its address to the desktop's opener (a recording stand-in first on PATH), back
// to the menu; the page opened alone, with its content file and without it; an opener that fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>
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

// Without an opener a link's page cannot be opened: the note says so above "All our stories",
// clear of every button, with the address of the link pressed last.
TEST_F(MoreStoriesTest, TheNoteOfALinkNotOpenedStandsClearOfTheButtons)
{
    fs::remove(mRoot / "bin/xdg-open");
    mRunEnv = {"PATH=" + (mRoot / "bin").string()};
    RunOk(mRepository,
          "focus gained\nwait 20\nclick 660 160\nwait 10\nclick 660 204\nmove 400 330\n"
          "wait 20\nshot note\nclose\n",
          "start=scripts/moregames.lua");
    ExpectMatchesGolden(Shot("note"), "more_link_note.png");
}

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

// The children of `parent` that have ended and wait to be reaped, from /proc.
std::vector<int> ZombiesOf(int parent)
{
    std::vector<int> zombies;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc", ignored))
    {
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const std::string stat = ReadFile(entry.path() / "stat");
        const size_t close = stat.rfind(')');
        std::istringstream rest(close == std::string::npos ? "" : stat.substr(close + 1));
        std::string state;
        int ppid = 0;
        if (rest >> state >> ppid && ppid == parent && state == "Z")
            zombies.push_back(std::stoi(entry.path().filename().string()));
    }
    return zombies;
}

// With no browser the desktop's opener writes a line for each one it looked for, then fails. The
// game reaps it while it runs on (no zombie is left until the next click) and says once, in the
// log and on standard error, that the link could not be opened, with the opener's status and its
// last line; the opener's other lines stay off the terminal.
TEST_F(MoreStoriesTest, AnOpenerThatFailsIsReapedAndSaidOnce)
{
    std::string opener = "#!/bin/sh\n";
    for (int i = 1; i <= 16; ++i)
        opener += "echo \"/usr/bin/xdg-open: " + std::to_string(i) + ": browser" +
                  std::to_string(i) + ": not found\" >&2\n";
    opener += "echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n";
    WriteFile(mRoot / "bin/xdg-open", opener);
    mErrorFile = mRoot / "stderr.txt";
    const int pid = StartScripted(mRepository, "focus gained\nwait 20\nclick 58 212\n",
                                  {"options=start=scripts/moregames.lua"});
    ASSERT_GT(pid, 0);
    const std::string said =
        "Could not open \"https://example.org/murkwell/reedcutter\": \"xdg-open\" ended with "
        "status 3 (xdg-open: no method available for opening "
        "'https://example.org/murkwell/reedcutter')";
    const uint32_t start = LoadTimeMs();
    while (ReadFile(LogFile()).find(said) == std::string::npos &&
           LoadTimeMs() - start < kStartLimitMs)
        sys::SleepMs(20);
    EXPECT_EQ(ZombiesOf(pid), std::vector<int>{}) << "the opener was not reaped";
    sys::SignalProcess(pid, false);
    EXPECT_EQ(WaitForEnd(pid), 0);
    EXPECT_EQ(ReadFile(mErrorFile), said + "\n");
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(said), std::string::npos) << log;
    EXPECT_EQ(log.find(said), log.rfind(said)) << log;
}

} // namespace
