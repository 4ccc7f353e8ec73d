// The framework's store factory: nothing until a maker is installed, then the maker's store, told
// whether to save.
#include "framework/hiscore_store.h"

#include <gtest/gtest.h>

namespace
{

class NullStore : public THiscoreStore
{
public:
    explicit NullStore(bool save) : mSave(save) {}
    void AddScore(int, bool, const char*) override {}
    void SetParameter(int, const TString&) override {}
    int GetNumMedals() const override { return 0; }
    bool GetMedal(int, TString*, int*, TString*, TString*) const override { return false; }
    int GetNumScores(bool) const override { return mSave ? 1 : 0; }
    bool GetScore(bool, int, int*, char*, uint32_t, uint8_t*, int*, char*, uint32_t) const override
    {
        return false;
    }

private:
    bool mSave;
};

} // namespace

TEST(HiscoreStoreFactory, NullUntilInstalledThenTheMakersStore)
{
    EXPECT_EQ(CreateHiscoreStore(true), nullptr);
    SetHiscoreStoreFactory([](bool save) { return std::make_unique<NullStore>(save); });
    EXPECT_EQ(CreateHiscoreStore(true)->GetNumScores(true), 1);
    EXPECT_EQ(CreateHiscoreStore(false)->GetNumScores(true), 0);
    SetHiscoreStoreFactory(nullptr);
    EXPECT_EQ(CreateHiscoreStore(true), nullptr);
}
