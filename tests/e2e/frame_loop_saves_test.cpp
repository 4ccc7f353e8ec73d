// Saves are made beside the frame loop. With another copy holding the files' locks (the test holds
// them, as a copy stopped inside its saves does) and every flush slowed 200 ms, a new player plays
// the Gatehouse through its calm points and its completion while nothing can be written, and the
// menus that read profiles while the saves are put off; the program counts each wait its frame
// loop makes on a save's behalf (a file's lock, a flush, a save on its way) and logs the count as
// its close begins: none. The close then saves what is pending once the locks are free, or, the
// locks still held, says on standard error what it could not save. With the locks free and the
// flushes slowed, the calm points reach the disk while play goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "e2e/location_plays.h"
#include "e2e/saved_versions.h"
#include "sys/files/paths.h"

#include <signal.h>

namespace
{
using namespace e2etest;

// The line the program logs as its close begins, on a slowed disk.
constexpr const char* kNoFrameWaited =
    "The frame loop waited 0 times on a save before the close (the longest 0 ms)\n";

// What another copy does with the files' locks while this one plays.
enum Locks : size_t
{
    kFreedBeforeTheClose, // held through play, let go before the close
    kHeldAtTheClose,      // held through play and the close
    kFree,                // never held
};
constexpr const char* kLocksNames[] = {"FreedBeforeTheClose", "HeldAtTheClose", "Free"};

class FrameLoopSavesTest : public ScreenProgramTest
{
protected:
    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        fs::create_directories(Folder());
        fs::create_directories(mVersions);
        mRunEnv = {"MURKWELL_SLOW_FLUSH_MS=200", "MURKWELL_SAVE_VERSIONS=" + mVersions.string()};
        mErrorFile = mRoot / "errors.txt";
        mEndLimitMs = 900000;
    }
    void TearDown() override
    {
        FreeLocks();
        ScreenProgramTest::TearDown();
    }

    fs::path Folder() const { return mRoot / "data/Tovrix/Murkwell"; }
    fs::path File(const std::string& name) const { return Folder() / name; }

    // The locks of both shared files, taken as another copy takes them for its save.
    void HoldLocks()
    {
        for (const char* name : {"prefs.dat", "hiscore.dat"})
        {
            std::string reason;
            const int held = sys::LockFile(File(name).string() + ".lock", 0, reason);
            ASSERT_GE(held, 0) << reason;
            mHeld.push_back(held);
        }
    }
    void FreeLocks()
    {
        for (int held : mHeld)
            sys::UnlockFile(held);
        mHeld.clear();
    }

    // The log's line once a save's wait for the held lock of `name` ran out: the save is put off
    // (and the frames went on meanwhile).
    std::string PutOff(const std::string& name) const
    {
        return "ERROR: The lock '" + File(name).string() + ".lock" +
               "' could not be taken (another process holds it for 5000 ms): '" +
               File(name).string() + "' is not saved without it; the changes are kept for a " +
               "later save.";
    }

    // Starts the program with `script` and the trace on, its output kept.
    int StartTraced(const std::string& script, const std::string& options)
    {
        mOutput = mRoot / ("output" + std::to_string(mRuns + 1) + ".txt");
        mOutputFile = mOutput;
        const int pid = StartScripted(mRepository, script, {"options=trace=1" + options});
        mOutputFile.clear();
        return pid;
    }
    Traces TracesSoFar() const { return TraceLines(ReadFile(mOutput)); }

    // The process is gone or a zombie: it ended.
    static bool Ended(int pid)
    {
        const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
        const size_t end = stat.rfind(") ");
        return end == std::string::npos || end + 2 >= stat.size() || stat[end + 2] == 'Z';
    }

    // Until `done` holds; false (said) when the program ended first or the limit passed.
    bool Until(int pid, const std::function<bool()>& done, const std::string& what)
    {
        const uint32_t start = LoadTimeMs();
        while (!done())
        {
            if (Ended(pid) || LoadTimeMs() - start > mEndLimitMs)
            {
                ADD_FAILURE() << "never came: " << what << "\n"
                              << testing::PrintToString(TracesSoFar()) << "\n"
                              << ReadFile(LogFile());
                return false;
            }
            sys::SleepMs(20);
        }
        return true;
    }
    // Until the trace has printed `trace` `times` times.
    bool UntilTraced(int pid, const std::string& trace, long times = 1)
    {
        return Until(
            pid,
            [&]
            {
                const Traces traces = TracesSoFar();
                return std::count(traces.begin(), traces.end(), trace) >= times;
            },
            "the trace " + trace);
    }
    bool UntilLogged(int pid, const std::string& line)
    {
        return Until(
            pid, [&] { return ReadFile(LogFile()).find(line) != std::string::npos; }, line);
    }

    // The versions of the shared files put in place so far.
    size_t VersionsPutInPlace() const { return ReadSavedVersions(mVersions).size(); }

    // The close asked for (a quit request) and its end: code 0, the frame loop's count logged
    // once, and no prompt let go.
    void Close(int pid)
    {
        ASSERT_EQ(kill(pid, SIGTERM), 0);
        EXPECT_EQ(WaitForEnd(pid), 0);
        ExpectLogged(kNoFrameWaited);
    }

    // What the close says on standard error for each file it could not save.
    std::string NotSaved() const
    {
        return "ERROR: Preferences could not be saved to '" + File("prefs.dat").string() +
               "' before the end: what changed since their last save is lost\n";
    }
    std::string ScoresNotSaved() const
    {
        return "ERROR: HiScores: The scores could not be saved to '" +
               File("hiscore.dat").string() +
               "' before the end: what changed since their last save is lost.\n";
    }

    fs::path mVersions = mRoot / "versions";
    fs::path mOutput;
    std::vector<int> mHeld;
};

// The Gatehouse for a new player, from the title card, with the locks held, let go or free.
class GatehouseSavesTest : public FrameLoopSavesTest, public ::testing::WithParamInterface<size_t>
{
};

// A new player's Gatehouse to its completion and the map's journey: the frame loop never waits on
// a save. Held locks: nothing is written during play, both saves are put off once their wait runs
// out, and the close saves the completed Gatehouse and the new player's score row once the locks
// are free, or says it could not. Free locks: several versions reach the disk during play, each
// through two slowed flushes.
TEST_P(GatehouseSavesTest, NoFrameOfPlayWaitsOnASave)
{
    const size_t locks = GetParam();
    if (locks != kFree)
        HoldLocks();
    const std::vector<std::string> play = PlayLines(WalkthroughScript("front", "journey"));
    const int pid =
        StartTraced(Joined(play, 0, play.size()) + "await \"complete 0\"\nawait map\n", "");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(UntilTraced(pid, "map"));
    EXPECT_EQ(TracesSoFar(), (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0",
                                     "complete 0", "map"}));
    if (locks != kFree)
    {
        // The new player's saves (the profile, the score table's row) each waited their 5 s for
        // the lock beside the frames, as each later save does before it is put off.
        ASSERT_TRUE(UntilLogged(pid, PutOff("prefs.dat")));
        ASSERT_TRUE(UntilLogged(pid, PutOff("hiscore.dat")));
        EXPECT_EQ(VersionsPutInPlace(), 0u) << "a version was written without the lock";
    }
    if (locks == kFreedBeforeTheClose)
        FreeLocks();
    Close(pid);

    const std::string errors = ReadFile(mErrorFile);
    const PlayerState player = ReadPlayerState(File("prefs.dat"));
    const std::string scores = DumpHiscores(File("hiscore.dat"));
    if (locks == kHeldAtTheClose)
    {
        EXPECT_NE(errors.find(NotSaved()), std::string::npos) << errors;
        EXPECT_NE(errors.find(ScoresNotSaved()), std::string::npos) << errors;
        EXPECT_FALSE(fs::exists(File("prefs.dat")));
        EXPECT_FALSE(fs::exists(File("hiscore.dat")));
        EXPECT_EQ(VersionsPutInPlace(), 0u);
        return;
    }
    EXPECT_EQ(errors.find("before the end"), std::string::npos) << errors;
    EXPECT_TRUE(player.mHasPlayer);
    EXPECT_GE(player.mLocation, 1) << "the Gatehouse completed";
    EXPECT_TRUE(player.mGameData.empty()) << "its record gone";
    EXPECT_NE(scores.find("name \"Ann\""), std::string::npos) << scores;
    if (locks == kFree)
    {
        // The new player, calm points of the Gatehouse and its completion, each written while the
        // input script stood at a line of its own.
        std::vector<int> lines;
        for (const SavedVersion& version : ReadSavedVersions(mVersions))
            if (version.mFile == "prefs.dat" &&
                std::find(lines.begin(), lines.end(), version.mLine) == lines.end())
                lines.push_back(version.mLine);
        EXPECT_GE(lines.size(), 4u) << testing::PrintToString(lines);
    }
}

INSTANTIATE_TEST_SUITE_P(Locks, GatehouseSavesTest,
                         ::testing::Range<size_t>(0, std::size(kLocksNames)),
                         [](const testing::TestParamInfo<size_t>& info)
                         { return kLocksNames[info.param]; });

// A lost focus brings the pause dialog up: its "Main menu" leaves the location, which is stored.
constexpr const char* kToTheMenu =
    "focus lost\nwait 10\nfocus gained\nwait 40\nclick 400 358\nwait 80\n";

// Where the players' screen and the options screen take their clicks (centres).
constexpr const char* kNewPlayerButton = "click 280 406\n";
constexpr const char* kDeletePlayer = "click 520 406\n";
constexpr const char* kSelectPlayer = "click 280 462\n";
constexpr const char* kCancelPlayers = "click 520 462\n";
constexpr const char* kNameOk = "click 400 276\n";
constexpr const char* kYes = "click 400 286\n";
constexpr const char* kOptionsOk = "click 400 462\n";

std::string TypePlayer(const std::string& name)
{
    return std::string(kNewPlayerButton) + "wait 36\ntext " + name + "\nwait 3\n" + kNameOk +
           "wait 20\n";
}
std::string Row(int row)
{
    return "click 340 " + std::to_string(168 + 44 * row) + "\n";
}

using MenuSavesTest = FrameLoopSavesTest;

// The locks held and every flush slowed, the menus that read and change the players and the
// options: two players made, Ann selected, the effects turned down, Bob deleted after the
// question, the screen left, "Play" opening Ann's Gatehouse, the pause dialog's "Main menu"
// leaving it and "Play" taking it up again. No frame waits on a save. The
// close asked for once the locks are free saves it all; the game quit from the Gatehouse (Escape,
// "Yes") while they are held says what it could not save.
TEST_F(MenuSavesTest, TheMenusThatReadAndChangePlayersNeverWaitOnASave)
{
    const std::string menus =
        "focus gained\nwait 40\n" + ClickLine(menupoints::kPlayers) + "wait 60\n" +
        TypePlayer("Ann") + TypePlayer("Bob") + Row(0) + "wait 3\n" + kSelectPlayer +
        "await \"profile Ann\"\nwait 60\n" + ClickLine(menupoints::kOptions) +
        "wait 60\ndrag 534 201 406 201\nwait 5\n" + kOptionsOk + "wait 60\n" +
        ClickLine(menupoints::kPlayers) + "wait 60\n" + Row(1) + "wait 3\n" + kDeletePlayer +
        "wait 36\n" + kYes + "wait 20\n" + kCancelPlayers + "wait 60\n" +
        ClickLine(menupoints::kPlay) + "await \"location 0\"\nwait 80\n" + kToTheMenu +
        ClickLine(menupoints::kPlay) + "await \"location 0\"\nwait 80\n";
    {
        SCOPED_TRACE("the locks freed before the close");
        HoldLocks();
        const int pid = StartTraced(menus, "&start=scripts/mainmenu.lua");
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(UntilTraced(pid, "location 0", 2));
        ASSERT_TRUE(UntilLogged(pid, PutOff("prefs.dat")));
        EXPECT_EQ(VersionsPutInPlace(), 0u) << "a version was written without the lock";
        // The second "Play" took up the record the first left in memory.
        EXPECT_EQ(TracesSoFar(),
                  (Traces{"start", "menu", "profile Ann", "profile Ann", "record 0 0", "location 0",
                          "pause", "profile Ann", "record 3 0", "location 0"}));
        FreeLocks();
        Close(pid);
        const std::string errors = ReadFile(mErrorFile);
        EXPECT_EQ(errors.find("before the end"), std::string::npos) << errors;
        const std::string prefs = Prefs();
        for (const char* line : {"name = \"Ann\"", "soundlevel = \"250\"", "curuser = \"0\""})
            EXPECT_NE(prefs.find(line), std::string::npos) << line << " not in\n" << prefs;
        EXPECT_EQ(prefs.find("name = \"Bob\""), std::string::npos) << prefs;
        const PlayerState player = ReadPlayerState(File("prefs.dat"));
        EXPECT_EQ(player.mState, kStateInLocation);
        EXPECT_FALSE(player.mGameData.empty()) << "the Gatehouse's record";
        const std::string scores = DumpHiscores(File("hiscore.dat"));
        EXPECT_NE(scores.find("name \"Ann\""), std::string::npos) << scores;
    }

    SCOPED_TRACE("the locks held as the game is quit");
    fs::remove_all(Folder());
    fs::create_directories(Folder());
    HoldLocks();
    const int pid = StartTraced(menus + "key 27\nawait quitverify\nwait 40\nclick 400 306\n",
                                "&start=scripts/mainmenu.lua");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    const Traces traces = TracesSoFar();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "quitverify"), traces.end())
        << testing::PrintToString(traces);
    ExpectLogged(kNoFrameWaited);
    const std::string errors = ReadFile(mErrorFile);
    EXPECT_NE(errors.find(NotSaved()), std::string::npos) << errors;
    EXPECT_NE(errors.find(ScoresNotSaved()), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(File("prefs.dat")));
    EXPECT_FALSE(fs::exists(File("hiscore.dat")));
}

// The close and another copy or a hung disk: the close waits for another copy's ordinary save
// however often a wait ran out before, and for a disk that never answers only its bound.
class CloseSavesTest : public FrameLoopSavesTest
{
protected:
    static constexpr const char* kFromTheMenu = "&start=scripts/mainmenu.lua";
    // "Play" on a folder without players, the name dialog, `name`, "OK": the Gatehouse opens.
    static std::string NewPlayer(const std::string& name)
    {
        return "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) + "wait 60\ntext " + name +
               "\nwait 10\nclick 400 276\nawait \"location 0\"\n";
    }
    // The players in the file, each with its record's game state (-1: no record).
    std::map<std::string, int> Players() const
    {
        std::map<std::string, int> players;
        const std::vector<Slot> slots = ParseDump(Prefs());
        for (size_t at = 1; at < slots.size(); ++at)
        {
            const Slot& slot = slots[at];
            if (!slot.contains("name"))
                continue;
            const std::string name(reinterpret_cast<const char*>(slot.at("name").data()));
            players[name] = slot.contains("playerdata") && slot.at("playerdata").size() >= 10
                                ? slot.at("playerdata")[9]
                                : -1;
        }
        return players;
    }
};

// A copy stopped in its save holds the preferences' lock past this copy's wait for its new
// player's save; it goes on, and its next save holds the lock a moment (50 ms) as this copy
// closes: the close waits for it and stores the player's record, in the Gatehouse.
TEST_F(CloseSavesTest, ACloseMeetingAnotherCopysSaveAfterAWaitRanOutStoresItsRecord)
{
    const fs::path lock = File("prefs.dat.lock");
    std::string reason;
    const int held = sys::LockFile(lock.string(), 0, reason);
    ASSERT_GE(held, 0) << reason;
    mHeld.push_back(held);
    // The close comes from the window, on the frames' count: a quit request's answer is bound by
    // the wall clock, which a loaded machine may outrun.
    const int pid = StartTraced(NewPlayer("Ann") + "wait 80\nclose\n", kFromTheMenu);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(UntilTraced(pid, "location 0"));
    ASSERT_TRUE(UntilLogged(pid, PutOff("prefs.dat")));
    EXPECT_FALSE(fs::exists(File("prefs.dat")));
    // The wait ran out; the close's save waits for the lock again (or a calm point's before it).
    ASSERT_TRUE(Until(
        pid, [&] { return HoldsOpen(pid, lock); }, "a wait for the lock"));
    sys::SleepMs(50);
    FreeLocks();
    EXPECT_EQ(WaitForEnd(pid), 0);
    const std::string errors = ReadFile(mErrorFile);
    EXPECT_EQ(errors.find("before the end"), std::string::npos) << errors;
    const auto players = Players();
    ASSERT_TRUE(players.contains("Ann")) << Prefs();
    EXPECT_EQ(players.at("Ann"), kStateInLocation) << Prefs() << ReadFile(LogFile());
}

// Two copies on a disk whose flushes take 2.6 s (a save holds the lock through two of them, longer
// than a wait's bound): each makes its player and plays into the Gatehouse, then both close. The
// file keeps both players, each with its record in the Gatehouse.
TEST_F(CloseSavesTest, TwoCopiesOnASlowDiskEachKeepTheirPlayerAndProgress)
{
    mRunEnv = {"MURKWELL_SLOW_FLUSH_MS=2600"};
    const std::vector<std::string> names = {"Ann", "Bob"};
    std::vector<int> copies;
    std::vector<fs::path> outputs;
    for (const std::string& name : names)
    {
        mErrorFile = mRoot / ("errors_" + name + ".txt");
        copies.push_back(StartTraced(NewPlayer(name) + "wait 400\nclose\n", kFromTheMenu));
        ASSERT_GT(copies.back(), 0);
        outputs.push_back(mOutput);
    }
    for (size_t copy = 0; copy < copies.size(); ++copy)
    {
        mOutput = outputs[copy];
        ASSERT_TRUE(UntilTraced(copies[copy], "location 0"));
        // Each copy made its own player: neither had read the other's when it started.
        const Traces traces = TracesSoFar();
        EXPECT_NE(std::find(traces.begin(), traces.end(), "profile " + names[copy]), traces.end())
            << testing::PrintToString(traces);
    }
    // Both close as their scripts end, each on its frames' count.
    for (size_t copy = 0; copy < copies.size(); ++copy)
    {
        EXPECT_EQ(WaitForEnd(copies[copy]), 0) << ReadFile(LogFile(int(copy) + 1));
        const std::string errors = ReadFile(mRoot / ("errors_" + names[copy] + ".txt"));
        EXPECT_EQ(errors.find("before the end"), std::string::npos) << errors;
    }
    const auto players = Players();
    for (const std::string& name : names)
    {
        ASSERT_TRUE(players.contains(name)) << name << " not in\n" << Prefs();
        EXPECT_EQ(players.at(name), kStateInLocation) << name << "\n" << Prefs();
    }
}

// Every flush hangs (a minute each: a dead network mount) while the new player's saves are at the
// disk: the close waits for them only its bound, ends, and says on standard error what it could
// not save; nothing was put in place.
TEST_F(CloseSavesTest, ACloseWhileEveryFlushHangsEndsWithinItsBoundAndSaysWhatIsLost)
{
    mRunEnv = {"MURKWELL_SLOW_FLUSH_MS=60000", "MURKWELL_SAVE_VERSIONS=" + mVersions.string()};
    const int pid = StartTraced(NewPlayer("Ann") + "wait 80\n", kFromTheMenu);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(UntilTraced(pid, "location 0"));
    const uint32_t asked = LoadTimeMs();
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    // The bound is 8 s; a close that waited for the disk took minutes.
    EXPECT_LT(LoadTimeMs() - asked, 30000u);
    EXPECT_EQ(VersionsPutInPlace(), 0u) << "a flush came to its end before the close did";
    const std::string errors = ReadFile(mErrorFile);
    EXPECT_NE(errors.find(NotSaved()), std::string::npos) << errors;
    EXPECT_NE(errors.find(ScoresNotSaved()), std::string::npos) << errors;
}

// The count those runs read 0 from is kept: with the shared files' saves kept on the frame loop's
// thread (the seam that puts them where they were before they moved beside it), a new player's
// save, made through two slowed flushes, is counted as the frame loop's wait.
using FrameThreadSavesTest = FrameLoopSavesTest;

TEST_F(FrameThreadSavesTest, ASaveMadeOnTheFrameThreadIsCounted)
{
    mRunEnv.push_back("MURKWELL_FRAME_THREAD_SAVES=1");
    const int pid = StartTraced("focus gained\nwait 40\n" + ClickLine(menupoints::kPlayers) +
                                    "wait 60\n" + TypePlayer("Ann"),
                                "&start=scripts/mainmenu.lua");
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Until(
        pid, [&] { return VersionsPutInPlace() > 0; }, "a version of the new player's save"));
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    const std::string log = ReadFile(LogFile());
    std::smatch waited;
    ASSERT_TRUE(std::regex_search(
        log, waited,
        std::regex("The frame loop waited ([0-9]+) times on a save before the close \\(the "
                   "longest ([0-9]+) ms: a save of '[^']*(prefs\\.dat|hiscore\\.dat)'\\)\n")))
        << log;
    EXPECT_GT(std::stoul(waited[1]), 0u);
    EXPECT_GE(std::stoul(waited[2]), 400u) << "two flushes of 200 ms";
}

} // namespace
