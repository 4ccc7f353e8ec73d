// THiscoreStore over TQmHiscores, and the factory that makes it.
#include "game/hiscore_store_link.h"

#include "framework/core/hiscore_store.h"
#include "services/scores/qm_hiscores.h"

namespace
{

class TQmHiscoreStore : public THiscoreStore
{
public:
    explicit TQmHiscoreStore(bool saveEnabled) : mStore(saveEnabled) {}

    void AddScore(int score, bool bestOnly, const char* gameData) override
    {
        mStore.AddScore(score, bestOnly, gameData);
    }
    void SetParameter(int which, const TString& value) override
    {
        mStore.SetParameter(which, value);
    }
    void RemoveUserScores(const TString& name) override { mStore.RemoveUserScores(name); }
    void ReplaceUserScore(const TString& name, int score, bool lowerFirst) override
    {
        mStore.ReplaceUserScore(name, score, lowerFirst, "");
    }
    void SavePending(std::chrono::steady_clock::time_point closeBegan) override
    {
        mStore.SavePending(closeBegan);
    }
    void SetBackgroundSaves(bool background) override { mStore.SetBackgroundSaves(background); }
    void PollSaves() override { mStore.PollSaves(); }
    void WaitForSaves() override { mStore.WaitForSaves(); }
    int GetNumMedals() const override { return mStore.GetNumMedals(); }
    bool GetMedal(int index, TString* medalName, int* notGameType, TString* mode,
                  TString* gameData) const override
    {
        return mStore.GetMedal(index, medalName, notGameType, mode, gameData);
    }
    int GetNumScores(bool currentModeOnly) const override
    {
        return mStore.GetNumScores(currentModeOnly);
    }
    bool GetScore(bool currentModeOnly, int index, int* rank, char* name, uint32_t nameSize,
                  uint8_t* local, int* score, char* gameData, uint32_t gameDataSize) const override
    {
        return mStore.GetScore(currentModeOnly, index, rank, name, nameSize, local, score, gameData,
                               gameDataSize);
    }

private:
    TQmHiscores mStore;
};

} // namespace

void LinkHiscoreStoreToFramework()
{
    SetHiscoreStoreFactory([](bool saveEnabled) -> std::unique_ptr<THiscoreStore>
                           { return std::make_unique<TQmHiscoreStore>(saveEnabled); });
}

void UnlinkHiscoreStoreFromFramework()
{
    SetHiscoreStoreFactory(nullptr);
}
