// The versions of the player's files a run put in place, as the program's test seam keeps them
// (MURKWELL_SAVE_VERSIONS: each copied as "<sequence>-<line>-<file name>", the line the input
// script's last line done), what they hold, and runs that start again from one of them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "e2e/location_record.h"
#include "e2e/program_test_support.h"

namespace e2etest
{

struct SavedVersion
{
    int mSequence = 0;
    // The input script's line (1 the first) whose steps had all been taken when it was put in
    // place.
    int mLine = 0;
    std::string mFile; // "prefs.dat" or "hiscore.dat"
    fs::path mPath;
};

// The versions kept in `folder`, in the order they were put in place.
inline std::vector<SavedVersion> ReadSavedVersions(const fs::path& folder)
{
    std::vector<SavedVersion> versions;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ignored))
    {
        const std::string name = entry.path().filename().string();
        if (name.size() < 11 || name[4] != '-' || name[9] != '-')
            continue;
        versions.push_back(
            {std::stoi(name.substr(0, 4)), std::stoi(name.substr(5, 4)), name.substr(10), entry});
    }
    std::sort(versions.begin(), versions.end(),
              [](const SavedVersion& a, const SavedVersion& b)
              { return a.mSequence < b.mSequence; });
    return versions;
}

// The game states of the player's record.
constexpr int kStateNew = 0, kStateOnMap = 1, kStateStory = 2, kStateInLocation = 3;

// What a version of prefs.dat holds of the player (its second slot): the player's record (score,
// tutorial marks, location, game state) and the location's record, when there is one.
struct PlayerState
{
    bool mHasPlayer = false;
    uint32_t mScore = 0;
    std::vector<uint8_t> mMarks;
    int mLocation = 0;
    int mState = 0;
    std::vector<uint8_t> mGameData;
    std::vector<uint8_t> mPlayerData;
};

inline PlayerState ReadPlayerState(const fs::path& prefs)
{
    PlayerState player;
    const std::vector<Slot> slots = ParseDump(DumpPrefs(prefs));
    if (slots.size() < 2)
        return player;
    // A player just made has no record yet: a new game's.
    player.mHasPlayer = true;
    player.mMarks.assign(4, 0);
    if (!slots[1].contains("playerdata") || slots[1].at("playerdata").size() < 10)
        return player;
    const std::vector<uint8_t>& data = slots[1].at("playerdata");
    player.mPlayerData = data;
    player.mScore = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                    uint32_t(data[3]) << 24;
    player.mMarks.assign(data.begin() + 4, data.begin() + 8);
    player.mLocation = data[8];
    player.mState = data[9];
    // A record removed reads as an empty text.
    if (slots[1].contains("gamedata") && slots[1].at("gamedata").size() > 1)
        player.mGameData = slots[1].at("gamedata");
    return player;
}

// The stages of the game in the order play shows them: each location, and the screens between
// (the map before the second and third, the cut-scene before the second), then the credits.
enum class Stage
{
    kFront,
    kGatehouse,
    kMap1,
    kStory,
    kObservatory,
    kMap2,
    kCrypt,
    kCredits,
};

// The stage a player's record opens at "Play" (the game script's route).
inline Stage StageOf(const PlayerState& player)
{
    if (!player.mHasPlayer)
        return Stage::kFront;
    if (player.mLocation >= 3)
        return Stage::kCredits;
    if (player.mState == kStateOnMap)
        return player.mLocation == 1 ? Stage::kMap1 : Stage::kMap2;
    if (player.mState == kStateStory && player.mLocation == 1)
        return Stage::kStory;
    return player.mLocation == 0 ? Stage::kGatehouse
                                 : (player.mLocation == 1 ? Stage::kObservatory : Stage::kCrypt);
}

// What the trace says from a stage to the end of the play-through (the credits, then the quit
// question its last lines open).
inline Traces TracesFrom(Stage stage)
{
    const std::vector<std::pair<Stage, Traces>> stages = {
        {Stage::kGatehouse, {"location 0", "complete 0"}},
        {Stage::kMap1, {"map"}},
        {Stage::kStory, {"story"}},
        {Stage::kObservatory, {"location 1", "complete 1"}},
        {Stage::kMap2, {"map"}},
        {Stage::kCrypt, {"location 2", "complete 2"}},
        {Stage::kCredits, {"credits", "quitverify"}},
    };
    Traces traces;
    for (const auto& [at, lines] : stages)
        if (at >= stage)
            traces.insert(traces.end(), lines.begin(), lines.end());
    return traces;
}

} // namespace e2etest
