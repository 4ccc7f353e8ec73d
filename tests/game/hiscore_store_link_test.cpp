// The program's store behind the framework's interface: none before the link, then the services'
// store, saving only when asked to.
#include "framework/core/hiscore_store.h"
#include "game/hiscore_store_link.h"
#include "support/file_layer_fixture.h"

using HiscoreStoreLinkTest = filetest::FileLayerTest;

TEST_F(HiscoreStoreLinkTest, TheFrameworkGetsTheServicesStoreWhileLinked)
{
    SetConfig("encryptionkey", "link-key");
    EXPECT_EQ(CreateHiscoreStore(true), nullptr);
    LinkHiscoreStoreToFramework();
    for (bool save : {false, true})
    {
        auto store = CreateHiscoreStore(save);
        ASSERT_NE(store, nullptr);
        store->SetParameter(1, "ann");
        store->SetParameter(2, "m");
        store->AddScore(7, true, "d");
        EXPECT_EQ(sys::PathAccess(mRoot + "/user/hiscore.dat", 0), save);
    }
    auto reread = CreateHiscoreStore(false);
    reread->SetParameter(2, "m");
    char name[8];
    int score = 0;
    EXPECT_TRUE(reread->GetScore(true, 0, nullptr, name, sizeof name, nullptr, &score, nullptr, 0));
    EXPECT_STREQ(name, "ann");
    EXPECT_EQ(score, 7);
    UnlinkHiscoreStoreFromFramework();
    EXPECT_EQ(CreateHiscoreStore(true), nullptr);
}

TEST_F(HiscoreStoreLinkTest, RemovingAPlayersScoresLetsALowerOneStand)
{
    SetConfig("encryptionkey", "link-key");
    LinkHiscoreStoreToFramework();
    auto store = CreateHiscoreStore(false);
    store->SetParameter(1, "ann");
    store->SetParameter(2, "m");
    auto score = [&store]
    {
        int value = -1;
        store->GetScore(true, 0, nullptr, nullptr, 0, nullptr, &value, nullptr, 0);
        return value;
    };
    store->AddScore(900, true, "");
    store->AddScore(300, true, ""); // best-only keeps the higher
    EXPECT_EQ(score(), 900);
    store->RemoveUserScores("ann");
    EXPECT_EQ(store->GetNumScores(true), 0);
    store->AddScore(300, true, "");
    EXPECT_EQ(score(), 300);
    UnlinkHiscoreStoreFromFramework();
}
