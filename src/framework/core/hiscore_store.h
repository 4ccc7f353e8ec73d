// THiscoreStore: the high-score and medal store as the framework's settings use it, and the factory
// through which the program supplies the store (the framework does not know who implements it).
#pragma once

#include "platform/strings/tstring.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class THiscoreStore
{
public:
    virtual ~THiscoreStore() = default;

    // Adds a score of the current player to the current mode's table; bestOnly keeps one entry
    // per player, the best.
    virtual void AddScore(int score, bool bestOnly, const char* gameData) = 0;
    // 1: the current player; 2: the game mode (tables are kept per mode); 0: the language.
    virtual void SetParameter(int which, const TString& value) = 0;
    // Drops every entry of the player from all tables (with their medals), so that the next
    // AddScore enters the player's new score even where it is worse by the table's order.
    virtual void RemoveUserScores(const TString& name) = 0;
    // RemoveUserScores then the current player's best AddScore, as one change (a store that saves
    // makes one save of it: a crash leaves the old row or the new one). `lowerFirst`: a lower
    // score is the better (a time), which a store merging other copies' saves keeps.
    virtual void ReplaceUserScore(const TString& name, int score, bool lowerFirst)
    {
        (void)lowerFirst;
        RemoveUserScores(name);
        AddScore(score, true, "");
    }
    // The save to make before the end: a save of this run that failed or was put off is tried
    // once more (said when it fails again). A save at a hung disk is waited for only a bound,
    // counted from `closeBegan` at the earliest.
    virtual void SavePending(std::chrono::steady_clock::time_point closeBegan) { (void)closeBegan; }
    // Saves on a saver thread beside the frame loop from now on; the frame loop polls each frame
    // (what the saver found is taken in, a save asked for meanwhile handed over); a reader of the
    // file waits for what is on its way.
    virtual void SetBackgroundSaves(bool background) { (void)background; }
    virtual void PollSaves() {}
    virtual void WaitForSaves() {}
    // The current player's medals; false past the end.
    virtual int GetNumMedals() const = 0;
    virtual bool GetMedal(int index, TString* medalName, int* notGameType, TString* mode,
                          TString* gameData) const = 0;
    // The current mode's table in score order (with false: the always-empty service table); any
    // output may be null; false out of range.
    virtual int GetNumScores(bool currentModeOnly) const = 0;
    virtual bool GetScore(bool currentModeOnly, int index, int* rank, char* name, uint32_t nameSize,
                          uint8_t* local, int* score, char* gameData,
                          uint32_t gameDataSize) const = 0;
};

using THiscoreStoreFactory = std::function<std::unique_ptr<THiscoreStore>(bool saveEnabled)>;

// Installs the maker of stores; an empty function takes it out again.
void SetHiscoreStoreFactory(THiscoreStoreFactory factory);
// A new store, or null while no factory is installed (the callers then answer as if no score had
// ever been kept).
std::unique_ptr<THiscoreStore> CreateHiscoreStore(bool saveEnabled);
