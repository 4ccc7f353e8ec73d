// The program's store behind the framework's interface: the services' store, saving only when
// asked to.
#include "framework/hiscore_store.h"
#include "game/hiscore_store_link.h"
#include "platform/file_test_support.h"

namespace
{

class HiscoreStoreLinkTest : public filetest::FileLayerTest
{
protected:
    void TearDown() override
    {
        UnlinkHiscoreStoreFromFramework();
        FileLayerTest::TearDown();
    }
};

} // namespace

TEST_F(HiscoreStoreLinkTest, TheFrameworkGetsTheServicesStore)
{
    SetConfig("encryptionkey", "link-key");
    EXPECT_EQ(CreateHiscoreStore(true), nullptr);
    LinkHiscoreStoreToFramework();

    auto unsaved = CreateHiscoreStore(false);
    ASSERT_NE(unsaved, nullptr);
    unsaved->SetParameter(1, "ann");
    unsaved->SetParameter(2, "m");
    unsaved->AddScore(7, true, "d");
    EXPECT_EQ(unsaved->GetNumScores(true), 1);
    EXPECT_FALSE(sys::PathAccess(mRoot + "/user/hiscore.dat", 0));

    auto store = CreateHiscoreStore(true);
    store->SetParameter(1, "ann");
    store->SetParameter(2, "m");
    store->AddScore(7, true, "d");
    auto reread = CreateHiscoreStore(true);
    reread->SetParameter(2, "m");
    char name[8];
    int score = 0;
    EXPECT_TRUE(reread->GetScore(true, 0, nullptr, name, sizeof name, nullptr, &score, nullptr, 0));
    EXPECT_STREQ(name, "ann");
    EXPECT_EQ(score, 7);
    EXPECT_EQ(reread->GetNumMedals(), 0);
}
