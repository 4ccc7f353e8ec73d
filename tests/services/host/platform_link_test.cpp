// Tests of the services' links into the platform: the store appears once the application exists,
// window messages reach it, and muting goes to the sound manager's master volume.
#include "support/shell_fixture.h"

#include "services/game_state/game_state.h"
#include "services/host/platform_link.h"

namespace
{

class PlatformLinkTest : public shelltest::ShellTest
{
protected:
    void SetUp() override
    {
        shelltest::ShellTest::SetUp();
        LinkServicesToPlatform();
    }
    void TearDown() override
    {
        TGameState::Destroy();
        UnlinkServicesFromPlatform();
        shelltest::ShellTest::TearDown();
    }
};

TEST_F(PlatformLinkTest, TheStoreExistsWhileTheApplicationDoes)
{
    EXPECT_TRUE(GetHostServices().GameStateExists());
    ASSERT_NE(TGameState::Instance(), nullptr);
    GetHostServices().SetState("cmdline", "-x");
    EXPECT_EQ(TGameState::Instance()->GetState("cmdline"), TString("-x"));
}

TEST_F(PlatformLinkTest, AWindowMessageBecomesItsState)
{
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_USER, 7, 0), 1);
    ASSERT_NE(TGameState::Instance(), nullptr);
    EXPECT_EQ(TGameState::Instance()->GetState("windowmessage"), TString("7"));
}

TEST_F(PlatformLinkTest, MutingSilencesTheSoundManagerAndUnmutingRestoresIt)
{
    TGameState* store = TGameState::Instance();
    ASSERT_NE(store, nullptr);
    shelltest::Recorded().mMasterVolume = 0.8f;
    store->SetState("mute", "1");
    EXPECT_FLOAT_EQ(shelltest::Recorded().mMasterVolume, 0.0f);
    ASSERT_EQ(shelltest::Recorded().mVolumeGroups.size(), 1u);
    EXPECT_EQ(shelltest::Recorded().mVolumeGroups[0], -1);
    store->SetState("mute", "0");
    EXPECT_FLOAT_EQ(shelltest::Recorded().mMasterVolume, 0.8f);
}

TEST_F(PlatformLinkTest, UnlinkedNoStoreIsMade)
{
    UnlinkServicesFromPlatform();
    EXPECT_FALSE(GetHostServices().GameStateExists());
    TGameState::Destroy();
    EXPECT_EQ(TGameState::Instance(), nullptr);
}

} // namespace
