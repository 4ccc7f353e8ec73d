// Whole games played one after another in one run ("New game" between them), as the play-through
// plays each: the memory the process holds at the menu after each game stays where the first game
// left it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

// Games after the first, each measured at the menu against the first: five, of which a machine
// with fewer than eight processors takes a share, two at the least (SampleShare; on two
// processors two, MURKWELL_SAMPLE_CORES=8 all five).
int LaterGames()
{
    return std::max(2, static_cast<int>(std::lround(5 * SampleShare())));
}
// How far above the first game's the resident memory at a later menu may be, in KiB. The heap used
// to keep what closed screens freed, spread where the next screen's blocks did not all fit, and
// the text cache the runs of zoomed text: 147.2 MB after the first game, 4 MB more after the
// second, 6.6 MB more after the sixth. Now it is 47 MB, and a later menu within 320 KiB of it.
// The measure is read on a settled menu, whatever the machine's load, and counts games.
constexpr long kMostGrowthKiB = 2048;
// The polls the run stays on the menu after its shot: the measure is taken in that time, and
// counts only while no later game has started.
constexpr int kMenuPolls = 3000;

class GamesInOneRunTest : public ScreenProgramTest
{
protected:
    // The resident memory of a running process, in KiB; -1 when it cannot be read.
    static long ResidentKiB(int pid)
    {
        const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
        const size_t at = status.find("VmRSS:");
        return at == std::string::npos ? -1 : std::stol(status.substr(at + 6));
    }
    // How many games the run has started so far (each traces its player's record).
    size_t GamesStarted() const
    {
        const std::vector<std::string> lines = TraceLines(ReadFile(mOutputFile));
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(),
                                                 [](const std::string& line)
                                                 { return line.starts_with("record "); }));
    }
};

// One game: the play-through's locations (its shots left out), the credits to their end and the
// menu a while, shot as "menu<n>".
std::string OneGame(int number)
{
    std::string game;
    const std::string play = WalkthroughScript("gatehouse", "end");
    for (size_t start = 0, end; start < play.size(); start = end + 1)
    {
        end = play.find('\n', start);
        if (end == std::string::npos)
            end = play.size();
        const std::string line = play.substr(start, end - start);
        if (!line.starts_with("shot "))
            game += line + "\n";
    }
    return game + "await credits\nwait 300\nshot menu" + std::to_string(number) + "\nwait " +
           std::to_string(kMenuPolls) + "\n";
}

// The credits scroll six times as fast; the resident memory is read at each menu after the shot,
// while the trace shows no later game started. Sanitizers keep freed memory of their own, so
// the measure means something only in the optimised tree (label "optimised").
TEST_F(GamesInOneRunTest, TheMemoryAtTheMenuAfterEachGameStaysWhereTheFirstLeftIt)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers' allocator keeps freed memory of its own";
#endif
    const int games = LaterGames();
    const fs::path game =
        CopyEdited("scripts/credits.lua", "scrollspeed = (\\d+)", "scrollspeed = 6 * $1");
    std::string input = "focus gained\nawait menu\nwait 40\n" + ClickLine(menupoints::kPlay) +
                        "wait 60\ntext Ann\nwait 10\nclick 400 276\nawait \"location 0\"\n"
                        "wait 80\n" +
                        OneGame(1);
    for (int number = 2; number <= games + 1; ++number)
        input += ClickLine(menupoints::kNewGame) + "wait 40\nclick 400 286\n" +
                 "await \"location 0\"\nwait 80\n" + OneGame(number);
    input += "close\n";

    mEndLimitMs = kEndLimitMs * (games + 1);
    mOutputFile = mRoot / "output.txt";
    const int pid = StartScripted(game, input, {"options=trace=1"});
    ASSERT_GT(pid, 0);
    std::vector<long> resident;
    int code = -1;
    bool ended = false;
    const uint32_t start = LoadTimeMs();
    for (int number = 1; number <= games + 1 && !ended; ++number)
    {
        const fs::path shot = mRoot / ("menu" + std::to_string(number) + ".png");
        while (!fs::exists(shot) && !(ended = sys::WaitProcess(pid, 0, code)) &&
               LoadTimeMs() - start < mEndLimitMs)
            sys::SleepMs(20);
        if (ended || !fs::exists(shot))
            break;
        const long kib = ResidentKiB(pid);
        ASSERT_EQ(GamesStarted(), static_cast<size_t>(number))
            << "the measure after game " << number << " came after the next game started";
        resident.push_back(kib);
    }
    if (!ended)
        code = WaitForEnd(pid);
    EXPECT_EQ(code, 0);
    ExpectCleanLog();
    ASSERT_EQ(resident.size(), static_cast<size_t>(games + 1)) << ReadFile(mOutputFile);
    std::string shown;
    for (long kib : resident)
        shown += " " + std::to_string(kib);
    for (int later = 1; later <= games; ++later)
        EXPECT_LE(resident[static_cast<size_t>(later)] - resident[0], kMostGrowthKiB)
            << "KiB resident at the menu after each game:" << shown;
}

} // namespace
