// The close sweep: each location of the play-through closed at every frame of its windows (from
// its last use to its completion, and the 60 frames after each use that switches the scene or
// opens a puzzle), or left by the pause dialog's "Main menu" at every third frame, then started
// again and played on. Every run completes the location, and the record the close stores holds
// the objects found and used that a run without the close holds once the use has played out.
//
// Each window starts from a profile placed just before its use (the location played there and
// closed at a calm point). MURKWELL_CLOSE_SWEEP=full (`make close-sweep`) takes every frame;
// without it, the sample: the end windows whole, the rest every fifth frame, of which a machine
// with fewer than eight processors takes a share (MURKWELL_SAMPLE_CORES=8: the whole sample).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/location_plays.h"
#include "e2e/location_record.h"

namespace
{
using namespace e2etest;

// The frames after a use that switches the scene or opens a puzzle.
constexpr int kSwitchWindow = 60;
// An end window's frames: the longest end of the three (its awaited glows and fades, some 60
// frames) and more. A close after the completion finds the location complete.
constexpr int kLongestEnd = 90;
// The sample's step through the switch windows.
constexpr int kSampleStep = 5;
// A lost focus brings the pause dialog up; its "Main menu", and "Play" on the menu.
const std::string kToTheMenu =
    "focus lost\nwait 10\nfocus gained\nwait 40\nclick 400 358\nwait 80\n";

// A use: the `occurrence`-th line (from 1; -1 the last) reading `line` in a location's lines.
struct Use
{
    size_t mLocation;
    const char* mLine;
    int mOccurrence;
    // The location's last use: its window runs to the completion.
    bool mEnd = false;
    // A use inside a puzzle: the profile is placed this many lines before it, where the puzzle
    // is calm, and the run plays them before the use.
    size_t mBack = 0;
};

// What switches the scene or opens a puzzle, and each location's last use.
const Use kUses[] = {
    {0, "click 550 270", 2},            // through the doorway to the storeroom
    {0, "click 640 250", 1},            // the cabinet's lock
    {0, "click 400 280", 1, false, 8},  // the lock opened, back in the storeroom
    {0, "click 30 300", 1},             // back to the hall
    {0, "click 330 246", 1, true},      // the wick on the lamp
    {1, "click 160 320", 1},            // the scroll
    {1, "click 440 230", 1, false, 18}, // its last symbol: the lens
    {1, "click 620 180", 1},            // the eyepiece: the sky
    {1, "click 260 330", 1, true},      // the last constellation
    {2, "click 400 240", 1},            // the altar
    {2, "click 160 265", -1, false, 9}, // the ritual's last crystal
    {2, "click 160 260", 1},            // the vault
    {2, "click 400 360", 1},            // its cover: the locks
    {2, "click 400 170", -1, false, 4}, // the last lock
    {2, "click 300 420", 1, true},      // the hearthstone on the hearth
};

enum class Road
{
    kClose,
    kMainMenu,
};

struct Window
{
    size_t mUse;
    Road mRoad;
};

// How ctest lists a window: its use's line and road.
void PrintTo(const Window& window, std::ostream* out)
{
    *out << kUses[window.mUse].mLine << (window.mRoad == Road::kClose ? ", close" : ", main menu");
}

std::vector<Window> Windows()
{
    std::vector<Window> windows;
    for (size_t i = 0; i < std::size(kUses); ++i)
        for (Road road : {Road::kClose, Road::kMainMenu})
            windows.push_back({i, road});
    return windows;
}

// MURKWELL_CLOSE_SWEEP: "full" every frame, "fifth" every fifth frame of every window; otherwise
// the sample.
std::string Sweep()
{
    const char* sweep = std::getenv("MURKWELL_CLOSE_SWEEP");
    return sweep != nullptr ? sweep : "";
}

// The frames of a window the run takes ("Main menu" every third of them): every frame in the full
// sweep and, in the sample, in an end window; every fifth otherwise. A machine with fewer than
// eight processors takes its share of the sample (SampleShare: on two, every fourth frame of an
// end window and every twentieth of the others).
std::vector<int> Frames(const Use& use, Road road)
{
    const bool whole = Sweep() == "full" || (use.mEnd && Sweep() != "fifth");
    int step = whole ? 1 : kSampleStep;
    if (Sweep() != "full")
        step = static_cast<int>(std::lround(step / SampleShare()));
    step *= road == Road::kMainMenu ? 3 : 1;
    std::vector<int> frames;
    for (int frame = 0; frame < (use.mEnd ? kLongestEnd : kSwitchWindow); frame += step)
        frames.push_back(frame);
    return frames;
}

// What a close keeps of an object: found, used, its parts.
std::vector<int> ObjectsFoundAndUsed(const LocationRecord& record)
{
    std::vector<int> kept{record.mProgress};
    for (const ObjectRecord& object : record.mObjects)
        kept.insert(kept.end(), {object.mFlags & (kShown | kUsed), object.mParts, object.mFound});
    return kept;
}

class CloseSweepTest : public ScreenProgramTest, public ::testing::WithParamInterface<Window>
{
protected:
    void SetUp() override
    {
        ScreenProgramTest::SetUp();
        mUse = kUses[GetParam().mUse];
        mPlay = LocationPlays()[mUse.mLocation];
        int seen = 0;
        for (size_t i = 0; i < mPlay.mLines.size(); ++i)
            if (mPlay.mLines[i] == mUse.mLine &&
                (++seen == mUse.mOccurrence || mUse.mOccurrence < 0))
                mAt = i;
        ASSERT_LT(mAt, mPlay.mLines.size()) << mUse.mLine;
        mFrom = mAt - mUse.mBack;
        // The use's own waits stay in the rest: a location restored before the use's effects came
        // (a puzzle's completion, say) needs them as play did.
        mRest = mAt + 1;
        mGame = CopyGame("content");
        WriteFile(mGame / "assets/scripts/make.lua", PlayerAtScript(mPlay.mNumber));
        RunOk(mGame, "wait 5\nclose\n", "start=scripts/make.lua");
        mEndLimitMs = 900000;
        // The profile placed just before the use, at a calm point.
        RunOk(mGame,
              PlayToLocation(mPlay.mNumber) + Joined(mPlay.mLines, 0, mFrom) + "wait 200\nclose\n",
              "start=scripts/mainmenu.lua");
        fs::copy_file(PrefsFile(), mRoot / "placed.dat");
        if (!mUse.mEnd)
        {
            Place();
            RunOk(mGame,
                  PlayToLocation(mPlay.mNumber) + Joined(mPlay.mLines, mFrom, mRest) +
                      "wait 200\nclose\n",
                  "start=scripts/mainmenu.lua");
            mExpected = ObjectsFoundAndUsed(Record());
        }
    }

    fs::path PrefsFile() const { return mRoot / "data/Tovrix/Murkwell/prefs.dat"; }
    void Place() const
    {
        fs::copy_file(mRoot / "placed.dat", PrefsFile(), fs::copy_options::overwrite_existing);
    }
    // The player's slot: the location's record (its play time left out) and the player record.
    Slot Player() const
    {
        std::vector<Slot> slots = ParseDump(Prefs());
        if (slots.size() < 2)
            return {};
        std::vector<uint8_t>& record = slots[1]["gamedata"];
        std::fill_n(record.begin(), std::min<size_t>(4, record.size()), 0);
        return slots[1];
    }
    LocationRecord Record() const { return ReadLocation(Player()["gamedata"], mPlay.mObjects); }
    // The completion after the location's last line: a run that does not reach it gives up
    // sooner than an await's default, since a sweep may meet many.
    std::string AwaitTheEnd() const
    {
        return "await \"complete " + std::to_string(mPlay.mNumber) + "\" 600\nwait 30\n";
    }
    bool Completes(const Traces& traces) const
    {
        return std::find(traces.begin(), traces.end(),
                         "complete " + std::to_string(mPlay.mNumber)) != traces.end();
    }

    Use mUse;
    LocationPlay mPlay;
    size_t mAt = SIZE_MAX;
    size_t mFrom = 0;
    size_t mRest = 0;
    fs::path mGame;
    std::vector<int> mExpected;
    // The profiles (player record, then location record) whose play-on completed the location.
    std::vector<std::vector<uint8_t>> mCompleted;
};

// At each frame of the window: the use, the close (or "Main menu" and "Play" again, then the
// close at a calm point), and the record's objects as the use leaves them; then "Play" and the
// location's rest, which completes it. A run whose close completed the location is done.
TEST_P(CloseSweepTest, EveryCloseInTheWindowPlaysOnToTheCompletion)
{
    const std::string play = PlayToLocation(mPlay.mNumber);
    for (int frame : Frames(mUse, GetParam().mRoad))
    {
        SCOPED_TRACE(std::string(mUse.mLine) + " then " + std::to_string(frame) + " frames");
        Place();
        std::string cut = Joined(mPlay.mLines, mFrom, mAt + 1) +
                          (frame > 0 ? "wait " + std::to_string(frame) + "\n" : "");
        if (GetParam().mRoad == Road::kMainMenu)
            cut += kToTheMenu + menupoints::ClickLine(menupoints::kPlay) + "await \"location " +
                   std::to_string(mPlay.mNumber) + "\"\nwait 200\n";
        const Traces first = RunOk(mGame, play + cut + "close\n", "start=scripts/mainmenu.lua");
        // A close during the end's own waits completes the location as it settles.
        if (Completes(first))
            continue;
        Slot player = Player();
        const LocationRecord record = ReadLocation(player["gamedata"], mPlay.mObjects);
        EXPECT_TRUE(record.mValid)
            << "no record stored: " << testing::PrintToString(first) << Prefs();
        if (!mUse.mEnd)
        {
            EXPECT_EQ(ObjectsFoundAndUsed(record), mExpected);
        }
        // A profile already played on to the completion plays on the same way: the program runs
        // on the fixed step, and the restore takes nothing but the records.
        const std::vector<uint8_t> bytes = player["gamedata"];
        std::vector<uint8_t> profile = player["playerdata"];
        profile.insert(profile.end(), bytes.begin(), bytes.end());
        if (std::find(mCompleted.begin(), mCompleted.end(), profile) != mCompleted.end())
            continue;
        const Traces second = RunOk(mGame,
                                    play + Joined(mPlay.mLines, mRest, mPlay.mLines.size() - 1) +
                                        AwaitTheEnd() + "close\n",
                                    "start=scripts/mainmenu.lua");
        EXPECT_TRUE(Completes(second))
            << testing::PrintToString(second) << testing::PrintToString(first)
            << testing::PrintToString(bytes);
        if (Completes(second))
            mCompleted.push_back(profile);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, CloseSweepTest, ::testing::ValuesIn(Windows()),
                         [](const testing::TestParamInfo<Window>& info)
                         {
                             const Use& use = kUses[info.param.mUse];
                             std::string name =
                                 std::string(kLocationNames[use.mLocation]) + "_" +
                                 std::to_string(info.param.mUse) + (use.mEnd ? "_End" : "_Switch") +
                                 (info.param.mRoad == Road::kClose ? "_Close" : "_MainMenu");
                             return name;
                         });

} // namespace
