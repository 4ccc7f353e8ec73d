// The version sweep: the play-through played once with every version of the player's files the
// game puts in place kept (the program's MURKWELL_SAVE_VERSIONS seam); then each version of
// prefs.dat (with the score file as it stood then) taken as the data folder of a new start:
// "Play", and the play-through's lines from where that version stands, to the credits. Each run
// completes; the screens between the locations come where play shows them; nothing is counted
// twice: every location completes once, the score is the completions' and the score table holds
// it once; no wait is let go.
//
// MURKWELL_VERSION_SWEEP=full (`make version-sweep`) takes every version; without it, a sample
// whose size follows the machine's cores (three runs for every four, the first and the last
// versions among them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/location_plays.h"
#include "e2e/saved_versions.h"

namespace
{
using namespace e2etest;

// How far a run started again from a version may end from the play-through's score (its play time,
// in milliseconds): the start's own waits and the steps played again since the version; a
// location counted twice adds far more.
constexpr double kScoreSlackMs = 10000;

std::vector<std::string> FileLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The play-through's file, line by line (the input script's line numbers are these, from 1).
const std::vector<std::string>& Walkthrough()
{
    static const std::vector<std::string> lines = FileLines(WalkthroughScript());
    return lines;
}

// The line number of the `occurrence`-th line (from 1) reading `text`; 0 when there is none.
int LineOf(const std::string& text, int occurrence = 1)
{
    const std::vector<std::string>& lines = Walkthrough();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == text && --occurrence == 0)
            return static_cast<int>(i) + 1;
    return 0;
}

// The line at which the play-through arrives at each stage: the await of its trace.
int ArrivalLine(Stage stage)
{
    switch (stage)
    {
    case Stage::kFront:
        return 1;
    case Stage::kGatehouse:
        return LineOf("await \"location 0\"");
    case Stage::kMap1:
        return LineOf("await map", 1);
    case Stage::kStory:
        return LineOf("await story");
    case Stage::kObservatory:
        return LineOf("await \"location 1\"");
    case Stage::kMap2:
        return LineOf("await map", 2);
    case Stage::kCrypt:
        return LineOf("await \"location 2\"");
    case Stage::kCredits:
        return LineOf("await credits");
    }
    return 0;
}

// Where the play-through stands once `line` is done: the last stage it has arrived at.
Stage StageAtLine(int line)
{
    Stage stage = Stage::kFront;
    for (Stage s : {Stage::kGatehouse, Stage::kMap1, Stage::kStory, Stage::kObservatory,
                    Stage::kMap2, Stage::kCrypt, Stage::kCredits})
        if (ArrivalLine(s) <= line)
            stage = s;
    return stage;
}

Stage Next(Stage stage)
{
    return stage == Stage::kCredits ? stage : static_cast<Stage>(static_cast<int>(stage) + 1);
}

// The input of a new start from a version: "Play" (the new player's name when it holds none),
// and the play-through's lines after the version's line, from the arrival of its stage at the
// earliest. Joined part way into a location, the lines go on once it has faded in.
std::string ResumedScript(const PlayerState& player, int line)
{
    std::string script = "focus gained\nwait 40\n" + ClickLine(menupoints::kPlay);
    if (!player.mHasPlayer)
        script += "wait 60\ntext Ann\nwait 10\nclick 400 276\n";
    const Stage stage = StageOf(player);
    const int from =
        std::max(line + 1, ArrivalLine(stage == Stage::kFront ? Stage::kGatehouse : stage));
    if (from > ArrivalLine(stage) &&
        (stage == Stage::kGatehouse || stage == Stage::kObservatory || stage == Stage::kCrypt))
        script += "await \"location " + std::to_string(player.mLocation) + "\"\nwait 200\n";
    const std::vector<std::string>& lines = Walkthrough();
    std::string rest;
    for (size_t i = static_cast<size_t>(from) - 1; i < lines.size(); ++i)
        rest += lines[i] + "\n";
    return script + Joined(PlayLines(rest), 0, SIZE_MAX);
}

// A run of its own: its data folder, input, output, standard error and kept versions in `folder`.
struct ProgramRun
{
    fs::path mFolder;
    int mPid = -1;
    fs::path Data() const { return mFolder / "data/Tovrix/Murkwell"; }
    fs::path Versions() const { return mFolder / "versions"; }
};

// Starts the program on the repository's content with the trace on, the input script on the
// fixed step and the versions kept; `start` a screen script to open first, or none.
ProgramRun StartRun(const fs::path& folder, const std::string& script, const std::string& start)
{
    ProgramRun run{folder};
    fs::create_directories(folder / "run");
    fs::create_directories(run.Versions());
    fs::create_directories(run.Data());
    WriteFile(folder / "input.txt", script);
    const std::vector<std::string> args = {"/bin/sh",
                                           "-c",
                                           "exec \"$0\" \"$@\" >\"$MW_OUTPUT\" 2>\"$MW_ERRORS\"",
                                           MURKWELL_PROGRAM,
                                           "--multiple",
                                           "-wd=" + std::string(MURKWELL_SOURCE_DIR),
                                           "options=trace=1" +
                                               (start.empty() ? "" : "&start=" + start)};
    run.mPid = sys::SpawnProcess(
        args, {"XDG_DATA_HOME=" + (folder / "data").string(),
               "XDG_RUNTIME_DIR=" + (folder / "run").string(), "HOME=" + folder.string(),
               "SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
               "MURKWELL_INPUT_SCRIPT=" + (folder / "input.txt").string(), "MURKWELL_FIXED_STEP=16",
               "MURKWELL_GUID_SEED=1", "MURKWELL_SAVE_VERSIONS=" + run.Versions().string(),
               "MW_OUTPUT=" + (folder / "output.txt").string(),
               "MW_ERRORS=" + (folder / "errors.txt").string()});
    EXPECT_GT(run.mPid, 0);
    return run;
}

// A run that ended: no await timed out, and no wait was let go in its log.
void ExpectCleanEnd(const ProgramRun& run)
{
    const std::string errors = ReadFile(run.mFolder / "errors.txt");
    EXPECT_EQ(errors.find("timed out"), std::string::npos) << errors;
    const std::string log = ReadFile(run.Data() / "logfile.txt");
    EXPECT_EQ(log.find(kLetGoLine), std::string::npos) << log;
}

// How long a run may take on LoadTimeMs's clock: the whole play-through, some 50 s alone in the
// optimised tree, bounds a hang only.
constexpr uint32_t kRunLimitMs = 900000;

// Waits for a run's end; answers its exit code.
int EndOf(const ProgramRun& run)
{
    int code = -1;
    EXPECT_TRUE(run.mPid > 0 && WaitProcessLoaded(run.mPid, kRunLimitMs, code))
        << "the program did not end: " << run.mFolder;
    ExpectCleanEnd(run);
    return code;
}

Traces TracesOf(const ProgramRun& run)
{
    return TraceLines(ReadFile(run.mFolder / "output.txt"));
}

// The play-through played once, its versions kept; shared by the tests of this program.
struct Reference
{
    testsupport::ScratchFolder mScratch{"mw_versions"};
    ProgramRun mRun;
    std::vector<SavedVersion> mVersions;
    std::vector<SavedVersion> mPrefs;
    // What each version of prefs.dat holds, by its sequence.
    std::map<int, PlayerState> mStates;
    PlayerState mLast;
    Traces mTraces;
    int mCode = -1;
};

const Reference& TheReference()
{
    static std::unique_ptr<Reference> reference;
    if (reference != nullptr)
        return *reference;
    reference = std::make_unique<Reference>();
    Reference& r = *reference;
    r.mRun = StartRun(r.mScratch.Path() / "reference", WalkthroughScript(), "");
    r.mCode = EndOf(r.mRun);
    r.mTraces = TracesOf(r.mRun);
    r.mVersions = ReadSavedVersions(r.mRun.Versions());
    for (const SavedVersion& version : r.mVersions)
        if (version.mFile == "prefs.dat")
        {
            r.mPrefs.push_back(version);
            r.mStates[version.mSequence] = ReadPlayerState(version.mPath);
        }
    r.mLast = ReadPlayerState(r.mRun.Data() / "prefs.dat");
    return r;
}

std::string Sweep()
{
    const char* sweep = std::getenv("MURKWELL_VERSION_SWEEP");
    return sweep != nullptr ? sweep : "";
}

// The versions the sweep starts from: every one in the full sweep; otherwise three for every four
// cores, spread evenly over the play-through (the first and the last among them): some 3
// CPU-minutes on eight cores with the play-through itself.
std::vector<SavedVersion> SweptVersions(const std::vector<SavedVersion>& all)
{
    const size_t count = std::max(2u, std::thread::hardware_concurrency() * 3 / 4);
    if (Sweep() == "full" || all.size() <= count)
        return all;
    std::vector<SavedVersion> chosen;
    for (size_t i = 0; i < count; ++i)
        chosen.push_back(all[i * (all.size() - 1) / (count - 1)]);
    return chosen;
}

class VersionSweepTest : public ::testing::Test
{
protected:
    testsupport::ScratchFolder mScratch{"mw_version_sweep"};
};

// The play-through itself: it reaches the credits, and keeps its versions.
TEST_F(VersionSweepTest, ThePlayThroughKeepsEveryVersionItPutsInPlace)
{
    const Reference& reference = TheReference();
    EXPECT_EQ(reference.mCode, 0);
    EXPECT_EQ(reference.mTraces,
              (Traces{"start", "menu", "profile Ann", "record 0 0", "location 0", "complete 0",
                      "map", "story", "location 1", "complete 1", "map", "location 2", "complete 2",
                      "credits", "quitverify"}));
    ASSERT_GE(reference.mPrefs.size(), 10u);
    // The last version is the file as the run left it.
    EXPECT_EQ(ReadFile(reference.mPrefs.back().mPath),
              ReadFile(reference.mRun.Data() / "prefs.dat"));
    EXPECT_EQ(reference.mLast.mLocation, 3);
    std::string listed;
    for (const SavedVersion& version : reference.mVersions)
    {
        listed += std::to_string(version.mSequence) + " line " + std::to_string(version.mLine) +
                  " " + version.mFile;
        if (reference.mStates.contains(version.mSequence))
        {
            const PlayerState& state = reference.mStates.at(version.mSequence);
            listed += " location " + std::to_string(state.mLocation) + " state " +
                      std::to_string(state.mState) + " score " + std::to_string(state.mScore) +
                      (state.mGameData.empty() ? "" : " record");
        }
        listed += "\n";
    }
    std::cout << listed;
}

// The versions counted: one a completion, holding the location moved on, its record gone and the
// game state of the screen it hands over to (the map, or the credits after the last); one a calm
// point, holding its news whole (never the player's record in one version and the location's in
// the next after the same line, nor the record removed before the location is counted).
TEST_F(VersionSweepTest, OneVersionACalmPointAndOneACompletion)
{
    const Reference& reference = TheReference();
    ASSERT_EQ(reference.mCode, 0);
    std::vector<int> completions;
    const PlayerState* before = nullptr;
    const SavedVersion* previous = nullptr;
    bool onlyPlayer = false;
    for (const SavedVersion& version : reference.mPrefs)
    {
        const PlayerState& now = reference.mStates.at(version.mSequence);
        SCOPED_TRACE("version " + std::to_string(version.mSequence) + " after line " +
                     std::to_string(version.mLine));
        if (before != nullptr && before->mHasPlayer && now.mHasPlayer)
        {
            std::vector<uint8_t> was = before->mGameData;
            std::vector<uint8_t> is = now.mGameData;
            std::fill_n(was.begin(), std::min<size_t>(4, was.size()), 0);
            std::fill_n(is.begin(), std::min<size_t>(4, is.size()), 0);
            const bool player = before->mPlayerData != now.mPlayerData;
            const bool location = was != is;
            if (now.mLocation != before->mLocation)
            {
                completions.push_back(before->mLocation);
                EXPECT_EQ(now.mLocation, before->mLocation + 1);
                EXPECT_TRUE(now.mGameData.empty()) << "the completed location's record kept";
                if (now.mLocation < 3)
                {
                    EXPECT_EQ(now.mState, kStateOnMap) << "the completion hands over to the map";
                }
            }
            EXPECT_FALSE(!before->mGameData.empty() && now.mGameData.empty() &&
                         now.mLocation == before->mLocation)
                << "the location's record removed without the location counted";
            EXPECT_FALSE(onlyPlayer && !player && location && previous != nullptr &&
                         previous->mLine == version.mLine)
                << "one moment in two versions: the player's record, then the location's";
            onlyPlayer = player && !location;
        }
        before = &now;
        previous = &version;
    }
    EXPECT_EQ(completions, (std::vector<int>{0, 1, 2}));
}

// Each version (in the sample or the full sweep) taken as the data folder of a new start.
TEST_F(VersionSweepTest, EveryVersionStartedAgainPlaysOnToTheCreditsOnce)
{
    const Reference& reference = TheReference();
    ASSERT_EQ(reference.mCode, 0);
    ASSERT_FALSE(reference.mPrefs.empty());
    const std::vector<SavedVersion> swept = SweptVersions(reference.mPrefs);
    const size_t parallel = std::max(1u, std::thread::hardware_concurrency() / 2);
    struct Pending
    {
        SavedVersion mVersion;
        ProgramRun mRun;
        uint32_t mStarted = LoadTimeMs();
    };
    std::vector<Pending> running;
    size_t next = 0;
    while (next < swept.size() || !running.empty())
    {
        while (next < swept.size() && running.size() < parallel)
        {
            const SavedVersion& version = swept[next++];
            const PlayerState& state = reference.mStates.at(version.mSequence);
            const fs::path folder = mScratch.Path() / ("v" + std::to_string(version.mSequence));
            fs::create_directories(folder / "data/Tovrix/Murkwell");
            fs::copy_file(version.mPath, folder / "data/Tovrix/Murkwell/prefs.dat");
            // The score file as it stood when this version was put in place.
            for (const SavedVersion& other : reference.mVersions)
                if (other.mFile == "hiscore.dat" && other.mSequence < version.mSequence)
                    fs::copy_file(other.mPath, folder / "data/Tovrix/Murkwell/hiscore.dat",
                                  fs::copy_options::overwrite_existing);
            running.push_back(
                {version,
                 StartRun(folder, ResumedScript(state, version.mLine), "scripts/mainmenu.lua"),
                 LoadTimeMs()});
        }
        sys::SleepMs(100);
        for (auto it = running.begin(); it != running.end();)
        {
            int code = 0;
            if (!sys::WaitProcess(it->mRun.mPid, 0, code))
            {
                if (LoadTimeMs() - it->mStarted < kRunLimitMs)
                {
                    ++it;
                    continue;
                }
                ADD_FAILURE() << "the run from version " << it->mVersion.mSequence
                              << " did not end: " << it->mRun.mFolder;
                sys::SignalProcess(it->mRun.mPid, true);
                WaitProcessLoaded(it->mRun.mPid, kRunLimitMs, code);
            }
            // Collected here: EndOf then only reads what the run left.
            const SavedVersion& version = it->mVersion;
            const PlayerState& state = reference.mStates.at(version.mSequence);
            const Stage stage = StageOf(state);
            SCOPED_TRACE("version " + std::to_string(version.mSequence) +
                         " put in place after line " + std::to_string(version.mLine) + ": " +
                         Walkthrough()[static_cast<size_t>(std::max(version.mLine, 1)) - 1] +
                         " (location " + std::to_string(state.mLocation) + ", game state " +
                         std::to_string(state.mState) + "); its run in " +
                         it->mRun.mFolder.string());
            EXPECT_EQ(code, 0);
            ExpectCleanEnd(it->mRun);
            // A state play passed through at that line: where play stood, or the screen it was
            // handing over to.
            const Stage played = StageAtLine(version.mLine);
            EXPECT_TRUE(stage == played || stage == Next(played))
                << "the version opens at stage " << static_cast<int>(stage)
                << " where play stood at stage " << static_cast<int>(played);
            Traces expected = {"start", state.mHasPlayer ? "menu Ann" : "menu", "profile Ann",
                               "record " + std::to_string(state.mState) + " " +
                                   std::to_string(state.mLocation)};
            const Traces rest = TracesFrom(stage == Stage::kFront ? Stage::kGatehouse : stage);
            expected.insert(expected.end(), rest.begin(), rest.end());
            EXPECT_EQ(TracesOf(it->mRun), expected);
            // Played to the end: every prompt seen, and the score the completions' play time,
            // counted once.
            const PlayerState last = ReadPlayerState(it->mRun.Data() / "prefs.dat");
            EXPECT_EQ(last.mLocation, 3);
            EXPECT_EQ(last.mMarks, reference.mLast.mMarks);
            EXPECT_NEAR(double(last.mScore), double(reference.mLast.mScore), kScoreSlackMs);
            const Traces traces = TracesOf(it->mRun);
            if (std::find(traces.begin(), traces.end(), "credits") != traces.end())
            {
                EXPECT_EQ(DumpHiscores(it->mRun.Data() / "hiscore.dat"),
                          "mode \"Adventure\" rank 1 score " + std::to_string(last.mScore) +
                              " name \"Ann\" gamedata \"\"\n");
            }
            // Nothing counted twice on the way: the location moves on by one at a time, the score
            // only with it, and a location's progress never goes back.
            PlayerState before = state;
            for (const SavedVersion& later : ReadSavedVersions(it->mRun.Versions()))
            {
                if (later.mFile != "prefs.dat")
                    continue;
                const PlayerState now = ReadPlayerState(later.mPath);
                if (!now.mHasPlayer || !before.mHasPlayer)
                {
                    before = now;
                    continue;
                }
                SCOPED_TRACE("its version " + std::to_string(later.mSequence));
                EXPECT_TRUE(now.mLocation == before.mLocation ||
                            now.mLocation == before.mLocation + 1)
                    << before.mLocation << " then " << now.mLocation;
                EXPECT_EQ(now.mScore != before.mScore, now.mLocation != before.mLocation)
                    << before.mScore << " then " << now.mScore;
                if (now.mLocation == before.mLocation && before.mLocation < 3 &&
                    !before.mGameData.empty() && !now.mGameData.empty())
                {
                    const size_t objects = LocationPlays()[size_t(now.mLocation)].mObjects;
                    EXPECT_GE(ReadLocation(now.mGameData, objects).mProgress,
                              ReadLocation(before.mGameData, objects).mProgress);
                }
                before = now;
            }
            it = running.erase(it);
        }
    }
}

// A data folder for a new start from `prefs`, with the score file as the play-through had it when
// the version `sequence` was put in place.
void PrepareData(const fs::path& folder, const fs::path& prefs, int sequence,
                 const Reference& reference)
{
    fs::create_directories(folder / "data/Tovrix/Murkwell");
    fs::copy_file(prefs, folder / "data/Tovrix/Murkwell/prefs.dat");
    for (const SavedVersion& other : reference.mVersions)
        if (other.mFile == "hiscore.dat" && other.mSequence < sequence)
            fs::copy_file(other.mPath, folder / "data/Tovrix/Murkwell/hiscore.dat",
                          fs::copy_options::overwrite_existing);
}

// "Play" from a player's record and the play-through's lines after `line`, up to the map the
// Gatehouse's completion opens.
std::string GatehouseToItsEnd(const PlayerState& player, int line)
{
    const std::string script = ResumedScript(player, line);
    const std::string map = "await map\n";
    const size_t at = script.find(map);
    return at == std::string::npos ? script : script.substr(0, at + map.size()) + "close\n";
}

// Starts the runs, at most half the cores' worth at a time, and answers each one's exit code once
// all have ended.
std::vector<int> RunAll(std::vector<std::function<ProgramRun()>> starts,
                        std::vector<ProgramRun>& runs)
{
    const size_t parallel = std::max(1u, std::thread::hardware_concurrency() / 2);
    runs.assign(starts.size(), ProgramRun{});
    std::vector<int> codes(starts.size(), -1);
    for (size_t first = 0; first < starts.size(); first += parallel)
    {
        const size_t end = std::min(starts.size(), first + parallel);
        for (size_t i = first; i < end; ++i)
            runs[i] = starts[i]();
        for (size_t i = first; i < end; ++i)
            codes[i] = EndOf(runs[i]);
    }
    return codes;
}

// "New game" -> "Yes" from a player part way through the Gatehouse puts one version in place: the
// zero record with the location's record gone, never the zero record beside the old location's
// record (whose start brought the old Gatehouse back with every prompt's mark cleared, and never
// ended). Every version the run puts in place, taken as a new start, completes the Gatehouse: the
// old game's from where it stood, or the new one's from its beginning.
TEST_F(VersionSweepTest, NewGameFromTheGatehousePutsOneVersionInPlaceAndEachStartCompletesIt)
{
    const Reference& reference = TheReference();
    ASSERT_EQ(reference.mCode, 0);
    std::vector<SavedVersion> inGatehouse;
    for (const SavedVersion& version : reference.mPrefs)
    {
        const PlayerState& state = reference.mStates.at(version.mSequence);
        if (StageOf(state) == Stage::kGatehouse && !state.mGameData.empty())
            inGatehouse.push_back(version);
    }
    ASSERT_GE(inGatehouse.size(), 3u);
    const std::vector<SavedVersion> points = {
        inGatehouse.front(), inGatehouse[inGatehouse.size() / 2], inGatehouse.back()};
    const std::string newGame = "focus gained\nwait 40\n" + ClickLine(menupoints::kNewGame) +
                                "wait 40\nclick 400 286\nawait \"location 0\"\nwait 80\nclose\n";
    std::vector<std::function<ProgramRun()>> starts;
    for (const SavedVersion& point : points)
        starts.push_back(
            [&, point]
            {
                const fs::path folder = mScratch.Path() / ("new" + std::to_string(point.mSequence));
                PrepareData(folder, point.mPath, point.mSequence, reference);
                return StartRun(folder, newGame, "scripts/mainmenu.lua");
            });
    std::vector<ProgramRun> newRuns;
    const std::vector<int> newCodes = RunAll(starts, newRuns);

    // Each version a "New game" run put in place, by the point it started from.
    struct Start
    {
        SavedVersion mPoint;
        SavedVersion mVersion;
        PlayerState mState;
        bool mOld = false;
    };
    std::vector<Start> resumed;
    for (size_t i = 0; i < points.size(); ++i)
    {
        const PlayerState& old = reference.mStates.at(points[i].mSequence);
        SCOPED_TRACE("New game from version " + std::to_string(points[i].mSequence) +
                     " after line " + std::to_string(points[i].mLine) + ", run in " +
                     newRuns[i].mFolder.string());
        EXPECT_EQ(newCodes[i], 0);
        bool changed = false;
        for (const SavedVersion& version : ReadSavedVersions(newRuns[i].Versions()))
        {
            if (version.mFile != "prefs.dat")
                continue;
            const PlayerState state = ReadPlayerState(version.mPath);
            const bool oldRecord = state.mPlayerData == old.mPlayerData;
            EXPECT_FALSE(!oldRecord && state.mGameData == old.mGameData)
                << "version " << version.mSequence
                << ": the new record beside the old location's record";
            if (!changed && !oldRecord)
            {
                changed = true;
                EXPECT_EQ(state.mPlayerData, std::vector<uint8_t>(12, 0))
                    << "the first version after \"Yes\" is the new game's whole";
                EXPECT_TRUE(state.mGameData.empty()) << "the old location's record kept";
            }
            resumed.push_back({points[i], version, state, oldRecord});
        }
        EXPECT_TRUE(changed) << "no version of the new game";
    }

    starts.clear();
    for (const Start& start : resumed)
        starts.push_back(
            [&, start]
            {
                const fs::path folder =
                    mScratch.Path() / ("new" + std::to_string(start.mPoint.mSequence) + "_" +
                                       std::to_string(start.mVersion.mSequence));
                PrepareData(folder, start.mVersion.mPath, start.mPoint.mSequence, reference);
                const int line =
                    start.mOld ? start.mPoint.mLine : ArrivalLine(Stage::kGatehouse) - 1;
                return StartRun(folder, GatehouseToItsEnd(start.mState, line),
                                "scripts/mainmenu.lua");
            });
    std::vector<ProgramRun> runs;
    const std::vector<int> codes = RunAll(starts, runs);
    for (size_t i = 0; i < resumed.size(); ++i)
    {
        SCOPED_TRACE("version " + std::to_string(resumed[i].mVersion.mSequence) +
                     " of the New game from version " +
                     std::to_string(resumed[i].mPoint.mSequence) +
                     (resumed[i].mOld ? " (the old game)" : " (the new game)") + ", run in " +
                     runs[i].mFolder.string());
        EXPECT_EQ(codes[i], 0);
        const Traces traces = TracesOf(runs[i]);
        EXPECT_NE(std::find(traces.begin(), traces.end(), "complete 0"), traces.end());
        EXPECT_EQ(ReadPlayerState(runs[i].Data() / "prefs.dat").mLocation, 1);
    }
}

} // namespace
