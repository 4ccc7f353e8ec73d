// Volume groups: nested effective volumes pushed into the sound manager, unknown parents, ramps
// with their values, fade factor and delays, clamping.
#include "framework/audio_test_support.h"

#include <gtest/gtest.h>

namespace
{
using fwtest::AudioTest;

TEST_F(AudioTest, NestedGroupsPushTheirEffectiveVolumes)
{
    Start("1,a,1", {100});
    EXPECT_TRUE(mAudio->AddGroup(1000, -1, 0.8f));
    EXPECT_TRUE(mAudio->AddGroup(5, 1000, 0.5f));
    EXPECT_TRUE(mAudio->AddGroup(6, 5, 1.7f)); // stored as 1
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(5), 0.4f);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(6), 0.4f);
    EXPECT_TRUE(mAudio->SetGroupVolume(1000, 0.5f));
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1000), 0.5f);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(5), 0.25f);
    EXPECT_TRUE(mAudio->SetGroupVolume(5, -0.2f));
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(6), 0.0f);
    EXPECT_FALSE(mAudio->AddGroup(7, 77, 0.5f));
    EXPECT_FALSE(mAudio->SetGroupVolume(77, 0.5f));
    auto* ramp = new SoundFade(100, 0, 0, 1);
    EXPECT_FALSE(mAudio->GetGroupVolume(77, ramp));
    delete ramp;
}

TEST_F(AudioTest, GroupRampsAndTheFadeFactorAfterThem)
{
    Start("1,a,1", {100});
    mAudio->AddGroup(1001, -1, 0.8f);
    mAudio->AddGroup(9, -1, 1.0f);
    int32_t h = mAudio->Play("a", false);
    At(1000);
    mAudio->PlayIndex(h, new SoundPlayRecord(true, nullptr, 0)); // keeps the update running
    mAudio->GetGroupVolume(1001, new SoundFade(2000, 0, 1, 0));
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.8f); // delay 0: the from value at once
    mAudio->GetGroupVolume(9, new SoundFade(1000, 100, 0, 1));
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(9), 1.0f); // delay 100: nothing yet
    // A delay shortens a group ramp: 100 to 1000 ms.
    Frame(1550);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(9), 0.5f);
    Frame(2000);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.4f);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(9), 1.0f);
    Frame(3000);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.0f);
    EXPECT_FALSE(mAudio->FindTopGroup(1001)->IsRamping());
    EXPECT_EQ(mAudio->FindTopGroup(1001)->GetFadeFactor(), 0.0f);
    mAudio->SetGroupVolume(1001, 1.0f); // stays silent
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.0f);
    mAudio->GetGroupVolume(1001, new SoundFade(1000, 0, 0, 1));
    Frame(3500);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.5f);
    Frame(4000);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 1.0f);
    EXPECT_EQ(mAudio->FindTopGroup(1001)->GetFadeFactor(), 1.0f);
}
} // namespace
