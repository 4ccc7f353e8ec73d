// A run ended by SIGKILL keeps the location as its last calm point left it: each location of the
// play-through is played step by step, every step (which ends calm) followed by a kill, and the
// next start's "Play" takes the location up where the kill found it, to its completion.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/location_plays.h"
#include "e2e/location_record.h"
#include "e2e/saved_versions.h"

namespace
{
using namespace e2etest;

// Frames past a step's end: the calm record is stored within the store interval (3 s, some 190
// frames on the 16 ms step) of the calm point.
constexpr const char* kPastTheStore = "wait 200\n";

class CrashSaveTest : public ScreenProgramTest, public ::testing::WithParamInterface<size_t>
{
protected:
    // The location's lines cut after each step: a long wait (90 frames or more) that the next
    // line acts after.
    static std::vector<size_t> StepEnds(const std::vector<std::string>& lines)
    {
        std::vector<size_t> ends;
        for (size_t i = 0; i + 1 < lines.size(); ++i)
            if (lines[i].starts_with("wait ") && std::stoi(lines[i].substr(5)) >= 90 &&
                !lines[i + 1].starts_with("wait "))
                ends.push_back(i + 1);
        return ends;
    }

    // Starts `game` on the menu with `script`, waits for its shot "calm" and kills it; answers the
    // traces.
    Traces PlayAndKill(const fs::path& game, const std::string& script)
    {
        std::error_code ignored;
        fs::remove(mRoot / "calm.png", ignored);
        mOutputFile = mRoot / ("output" + std::to_string(mRuns + 1) + ".txt");
        const int pid = StartScripted(game, script + "shot calm\nwait 100000\n",
                                      {"options=trace=1&start=scripts/mainmenu.lua"});
        mOutputFile.clear();
        if (pid <= 0)
            return {};
        int code = 0;
        while (!HasShot("calm") && !sys::WaitProcess(pid, 0, code))
            sys::SleepMs(20);
        EXPECT_TRUE(HasShot("calm")) << "the run ended before its last step";
        sys::SignalProcess(pid, true);
        WaitForEnd(pid);
        ExpectNoLetGo();
        return TraceLines(ReadFile(mRoot / ("output" + std::to_string(mRuns) + ".txt")));
    }
};

// Each start after a kill traces the record in the location (game state 3) and finds the
// location's record, its progress never behind the last one's, and takes the location up where
// the last calm point left it; the last start completes it.
TEST_P(CrashSaveTest, AKillAfterEachCalmPointKeepsItsRecord)
{
    const LocationPlay play = LocationPlays()[GetParam()];
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", PlayerAtScript(play.mNumber));
    RunOk(game, "wait 5\nclose\n", "start=scripts/make.lua");
    mEndLimitMs = 900000;
    const std::string location = "location " + std::to_string(play.mNumber);
    const std::vector<size_t> ends = StepEnds(play.mLines);
    ASSERT_GE(ends.size(), 3u);
    int progress = -1;
    size_t from = 0;
    std::vector<uint8_t> last;
    for (size_t step = 0; step < ends.size(); ++step)
    {
        SCOPED_TRACE("killed after line " + std::to_string(ends[step]) + ": " +
                     play.mLines[ends[step] - 1]);
        const Traces traces =
            PlayAndKill(game, PlayToLocation(play.mNumber) + Joined(play.mLines, from, ends[step]) +
                                  kPastTheStore);
        ASSERT_GE(traces.size(), 4u);
        EXPECT_EQ(traces[3], step == 0 ? "record 0 " + std::to_string(play.mNumber)
                                       : "record 3 " + std::to_string(play.mNumber));
        const std::vector<Slot> slots = ParseDump(Prefs());
        ASSERT_EQ(slots.size(), 2u);
        ASSERT_TRUE(slots[1].contains("gamedata")) << Prefs();
        const LocationRecord record = ReadLocation(slots[1].at("gamedata"), play.mObjects);
        ASSERT_TRUE(record.mValid);
        EXPECT_GE(record.mProgress, progress);
        progress = record.mProgress;
        EXPECT_EQ(slots[1].at("playerdata")[9], 3) << "the game state: in the location";
        // A step that ends waiting for the player (a hint's choice) is no calm point: the next
        // start resumes at the last one, and plays the step again. The play time is no news.
        std::vector<uint8_t> kept = slots[1].at("playerdata");
        kept.insert(kept.end(), slots[1].at("gamedata").begin() + 4, slots[1].at("gamedata").end());
        if (kept != last)
            from = ends[step];
        last = kept;
    }
    const Traces traces =
        RunOk(game,
              PlayToLocation(play.mNumber) + Joined(play.mLines, from, play.mLines.size()) +
                  "wait 30\n" + "close\n",
              "start=scripts/mainmenu.lua");
    EXPECT_EQ(std::count(traces.begin(), traces.end(), location), 1);
    EXPECT_NE(std::find(traces.begin(), traces.end(), "complete " + std::to_string(play.mNumber)),
              traces.end())
        << testing::PrintToString(traces);
}

using LocationCloseTest = ScreenProgramTest;

// Odo's greeting on the screen when the game closes: the next "Play" shows it again from its start,
// as a new player's first visit shows it, and the story's set-up is not lost.
TEST_F(LocationCloseTest, TheConversationOnTheScreenAtACloseIsShownAgainAfterPlay)
{
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", PlayerAtScript(0));
    RunOk(game, "wait 5\nclose\n", "start=scripts/make.lua");
    const std::string greeting = "focus gained\nwait 40\n" +
                                 menupoints::ClickLine(menupoints::kPlay) +
                                 "await \"location 0\"\nwait 80\n";
    RunOk(game, greeting + "shot first\nwait 60\nclose\n", "start=scripts/mainmenu.lua");
    const std::vector<Slot> slots = ParseDump(Prefs());
    ASSERT_EQ(slots.size(), 2u);
    ASSERT_TRUE(slots[1].contains("gamedata")) << Prefs();
    const std::vector<uint8_t>& record = slots[1].at("gamedata");
    const std::string name = "odo_intro";
    EXPECT_NE(std::search(record.begin(), record.end(), name.begin(), name.end()), record.end())
        << "the conversation in the record";

    const Traces traces =
        RunOk(game, greeting + "shot again\nwait 10\nclose\n", "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "record 3 0"), traces.end())
        << testing::PrintToString(traces);
    EXPECT_GE(Alike(Shot("first"), Shot("again")), 99.0) << "Odo's first line again";
}

INSTANTIATE_TEST_SUITE_P(Locations, CrashSaveTest, ::testing::Values(0, 1, 2),
                         [](const testing::TestParamInfo<size_t>& info)
                         { return kLocationNames[info.param]; });

// The player's slot of a prefs.dat dump, with the play time taken out of the location's record.
Slot PlayerSlot(const std::string& dump)
{
    std::vector<Slot> slots = ParseDump(dump);
    if (slots.size() < 2)
        return {};
    std::vector<uint8_t>& record = slots[1]["gamedata"];
    std::fill_n(record.begin(), std::min<size_t>(4, record.size()), 0);
    return slots[1];
}

// A moment of play that waits for the player: part way through a puzzle, or a tutorial prompt
// shown. The `occurrence`-th line (from 1) reading `line` in a location's lines is the last move;
// the moment is a few seconds after it.
struct Moment
{
    const char* mName;
    size_t mLocation;
    const char* mLine;
    int mOccurrence;
};

const Moment kMoments[] = {
    {"ElectronicLock", 0, "click 480 200", 1}, // two of the lock's corners
    {"Scroll", 1, "click 320 300", 1},         // three of the scroll's five signs
    {"Heavens", 1, "click 250 110", 1},        // three of the five constellations
    {"Ritual", 2, "click 640 265", 4},         // three patterns answered, the first wrong once
    {"ThreeLocks", 2, "click 400 170", 1},     // the first of the locks' sequences entered
    {"TutorialPrompt", 0, "click 676 86", 1},  // the journal closed: Lirae's medallion prompted
};

class KillMomentTest : public CrashSaveTest
{
protected:
    void SetUp() override
    {
        CrashSaveTest::SetUp();
        mMoment = kMoments[GetParam()];
        mPlay = LocationPlays()[mMoment.mLocation];
        int seen = 0;
        for (size_t i = 0; i < mPlay.mLines.size() && mAt == SIZE_MAX; ++i)
            if (mPlay.mLines[i] == mMoment.mLine && ++seen == mMoment.mOccurrence)
                mAt = i;
        ASSERT_LT(mAt, mPlay.mLines.size()) << mMoment.mLine;
        // The waits after the move go with it.
        while (mAt + 1 < mPlay.mLines.size() && mPlay.mLines[mAt + 1].starts_with("wait "))
            ++mAt;
        mGame = CopyGame("content");
        WriteFile(mGame / "assets/scripts/make.lua", PlayerAtScript(mPlay.mNumber));
        RunOk(mGame, "wait 5\nclose\n", "start=scripts/make.lua");
        fs::copy_file(PrefsFile(), mRoot / "placed.dat");
        mEndLimitMs = 900000;
    }

    fs::path PrefsFile() const { return mRoot / "data/Tovrix/Murkwell/prefs.dat"; }
    void Place() const
    {
        fs::copy_file(mRoot / "placed.dat", PrefsFile(), fs::copy_options::overwrite_existing);
    }
    // The location's lines up to the moment, and a few seconds past it.
    std::string ToTheMoment() const
    {
        return PlayToLocation(mPlay.mNumber) + Joined(mPlay.mLines, 0, mAt + 1) + "wait 250\n";
    }
    Slot Player() const { return PlayerSlot(Prefs()); }

    Moment mMoment;
    LocationPlay mPlay;
    size_t mAt = SIZE_MAX;
    fs::path mGame;
};

// Killed a few seconds after the moment, the game keeps what a close there keeps (the puzzle's
// moves, the marks earned), play time apart; the next "Play" takes the location up there, and its
// remaining lines complete it.
TEST_P(KillMomentTest, AKillAFewSecondsAfterTheLastMoveKeepsWhatACloseKeeps)
{
    Place();
    RunOk(mGame, ToTheMoment() + "close\n", "start=scripts/mainmenu.lua");
    const Slot closed = Player();
    const std::string closedDump = Prefs();
    ASSERT_TRUE(closed.contains("gamedata")) << closedDump;

    Place();
    PlayAndKill(mGame, ToTheMoment());
    EXPECT_TRUE(Player() == closed) << "kept at the close:\n"
                                    << closedDump << "kept at the kill:\n"
                                    << Prefs();

    const Traces traces =
        RunOk(mGame,
              PlayToLocation(mPlay.mNumber) + Joined(mPlay.mLines, mAt + 1, mPlay.mLines.size()) +
                  "wait 30\nclose\n",
              "start=scripts/mainmenu.lua");
    EXPECT_TRUE(std::find(traces.begin(), traces.end(),
                          "complete " + std::to_string(mPlay.mNumber)) != traces.end())
        << "not completed from the moment on: " << testing::PrintToString(traces);
}

INSTANTIATE_TEST_SUITE_P(Moments, KillMomentTest, ::testing::Range<size_t>(0, std::size(kMoments)),
                         [](const testing::TestParamInfo<size_t>& info)
                         { return kMoments[info.param].mName; });

// A close while the player's move is under way in the Gatehouse: the `occurrence`-th line
// reading `line` is the last move, and the close comes a few frames after its waits (`press`: only
// its press, the release never comes). A start from each version the close puts in place (a kill
// right after it) takes the location up with the play-through's lines from the
// `resumeOccurrence`-th line reading `resume` (after it and its waits when `after`), and completes
// it. A close that takes play back to before the moment (not `after`) keeps what a close at that
// line keeps.
struct CloseMoment
{
    const char* mName;
    const char* mLine;
    int mOccurrence;
    bool mPress;
    const char* mResume;
    int mResumeOccurrence;
    bool mAfter;
};

// A hint taken back starts again at its tracker's click; a board is left as its exit leaves it;
// the press of a click holds what the click does.
const CloseMoment kCloseMoments[] = {
    {"HintChoice", "click 110 528", 1, false, "move 110 528", 1, false},
    {"HintShownUnderAPrompt", "click 376 550", 1, false, "move 110 528", 1, false},
    {"LiraesHintShown", "click 305 550", 1, false, "move 690 528", 1, false},
    {"LiraesBoard", "click 534 254", 1, false, "click 770 32", 1, true},
    {"ThessalorsBoard", "click 534 254", 2, false, "click 770 32", 2, true},
    {"OpenPress", "click 480 200", 1, true, "click 480 200", 1, true},
};

class CloseMomentTest : public ScreenProgramTest, public ::testing::WithParamInterface<size_t>
{
protected:
    // The index after the `occurrence`-th line reading `line`, with the waits after it.
    static size_t After(const std::vector<std::string>& lines, const std::string& line,
                        int occurrence)
    {
        size_t at = Find(lines, line, occurrence);
        while (at + 1 < lines.size() && lines[at + 1].starts_with("wait "))
            ++at;
        return at + 1;
    }
    static size_t Find(const std::vector<std::string>& lines, const std::string& line,
                       int occurrence)
    {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i] == line && --occurrence == 0)
                return i;
        ADD_FAILURE() << "no line " << line;
        return lines.size();
    }
};

TEST_P(CloseMomentTest, EachVersionTheCloseKeepsPlaysOnToTheLocationsEnd)
{
    const CloseMoment moment = kCloseMoments[GetParam()];
    const std::vector<std::string> lines = LocationPlays()[0].mLines;
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", PlayerAtScript(0));
    RunOk(game, "wait 5\nclose\n", "start=scripts/make.lua");
    const fs::path prefs = mRoot / "data/Tovrix/Murkwell/prefs.dat";
    mEndLimitMs = 900000;

    const size_t resume = moment.mAfter ? After(lines, moment.mResume, moment.mResumeOccurrence)
                                        : Find(lines, moment.mResume, moment.mResumeOccurrence);
    // A close that takes play back to where it resumes keeps what a close there keeps. A hint the
    // close kept as spent would come back with its prompts answered and its tracker gone, and the
    // lines after would still end the location.
    std::string taken;
    if (!moment.mAfter)
    {
        fs::copy_file(prefs, mRoot / "placed.dat");
        RunOk(game, PlayToLocation(0) + Joined(lines, 0, resume) + "wait 20\nclose\n",
              "start=scripts/mainmenu.lua");
        taken = Prefs();
        ASSERT_TRUE(PlayerSlot(taken).contains("gamedata")) << taken;
        fs::copy_file(mRoot / "placed.dat", prefs, fs::copy_options::overwrite_existing);
    }
    std::string script = PlayToLocation(0);
    if (moment.mPress)
    {
        const size_t at = Find(lines, moment.mLine, moment.mOccurrence);
        script += Joined(lines, 0, at) + "move" + std::string(moment.mLine).substr(5) +
                  "\nwait 3\ndown\n";
    }
    else
    {
        script += Joined(lines, 0, After(lines, moment.mLine, moment.mOccurrence));
    }
    script += "wait 20\n";
    const int waited = static_cast<int>(std::count(script.begin(), script.end(), '\n'));
    const fs::path versions = mRoot / "versions";
    fs::create_directories(versions);
    mRunEnv = {"MURKWELL_SAVE_VERSIONS=" + versions.string()};
    RunOk(game, script + "close\n", "start=scripts/mainmenu.lua");
    mRunEnv.clear();

    int closed = 0;
    for (const SavedVersion& version : ReadSavedVersions(versions))
    {
        if (version.mFile != "prefs.dat" || version.mLine < waited)
            continue;
        ++closed;
        SCOPED_TRACE("the close's version " + std::to_string(version.mSequence));
        const std::string kept = DumpPrefs(version.mPath);
        if (!moment.mAfter)
        {
            EXPECT_TRUE(PlayerSlot(kept) == PlayerSlot(taken))
                << "kept at the close:\n"
                << kept << "kept where play resumes:\n"
                << taken;
        }
        fs::copy_file(version.mPath, prefs, fs::copy_options::overwrite_existing);
        const Traces traces = RunOk(
            game, PlayToLocation(0) + Joined(lines, resume, lines.size()) + "wait 30\nclose\n",
            "start=scripts/mainmenu.lua");
        EXPECT_NE(std::find(traces.begin(), traces.end(), "complete 0"), traces.end())
            << testing::PrintToString(traces);
    }
    EXPECT_GE(closed, 1) << "the close put no version in place";
}

INSTANTIATE_TEST_SUITE_P(Moments, CloseMomentTest,
                         ::testing::Range<size_t>(0, std::size(kCloseMoments)),
                         [](const testing::TestParamInfo<size_t>& info)
                         { return kCloseMoments[info.param].mName; });

// Odo's greeting on the screen as the game closes: the next "Play" shows it again (from the line
// where it stood, or its start) rather than the first prompt, and the Gatehouse plays on from it
// as a new player's does.
class CloseConversationTest : public ScreenProgramTest
{
};

TEST_F(CloseConversationTest, TheConversationOnScreenAtACloseIsOnScreenAfterPlay)
{
    // The greeting's bubble, and Odo beside it.
    const auto bubble = [](const Picture& shot) { return Crop(shot, 400, 90, 330, 100); };
    const auto odo = [](const Picture& shot) { return Crop(shot, 100, 150, 220, 300); };
    const fs::path game = CopyGame("content");
    WriteFile(game / "assets/scripts/make.lua", PlayerAtScript(0));
    RunOk(game, "wait 5\nclose\n", "start=scripts/make.lua");
    mEndLimitMs = 900000;
    const std::string play = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay) +
                             "await \"location 0\"\nwait 80\n";
    RunOk(game, play + "shot greeting\nwait 5\nclose\n", "start=scripts/mainmenu.lua");
    ASSERT_TRUE(HasShot("greeting"));
    const std::vector<std::string> gatehouse = LocationPlays()[0].mLines;
    const Traces traces = RunOk(
        game, play + "shot again\n" + Joined(gatehouse, 0, gatehouse.size()) + "wait 30\nclose\n",
        "start=scripts/mainmenu.lua");
    EXPECT_GE(Alike(bubble(Shot("again")), bubble(Shot("greeting"))), 99.0)
        << "the greeting's bubble is not on the screen after Play";
    EXPECT_GE(Alike(odo(Shot("again")), odo(Shot("greeting"))), 99.0)
        << "Odo is not on the screen after Play";
    EXPECT_NE(std::find(traces.begin(), traces.end(), "complete 0"), traces.end())
        << testing::PrintToString(traces);
}

} // namespace
