// Sound entities on the manual audio output: the start delay counted by updates, activation of
// looping and one-shot sets, the end of a one-shot set, deactivation, pausing, a set without
// sounds, and an entity destroyed while its sound plays.
#include "framework/adventure/entities/gameplay_sound.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/audio_test_support.h"
#include "framework/sound/sound_effect.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <memory>

namespace
{

class SoundEntityTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("2,a,1,b,2", {100, 100});
        At(0);
    }
    std::unique_ptr<GameplaySound> Make(const std::string& lua)
    {
        mScript.DoLuaString(("_t = " + lua).c_str());
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
        return std::make_unique<GameplaySound>(*table);
    }
    // Frames of `ms` until `total` ms have passed: the entity's update, then the audio manager's.
    void Run(GameplaySound& sound, uint32_t total, uint32_t ms = 10)
    {
        for (uint32_t done = 0; done < total; done += ms)
        {
            mNow += ms;
            sound.Update(ms);
            Frame(mNow);
        }
    }
    TScript mScript;
    uint32_t mNow = 0;
};

TEST_F(SoundEntityTest, AnimatedActivationStartsAfterBothDelays)
{
    auto sound = Make("{ name = 'owl', depth = 3, sounds = { 'a' }, initialdelay = 500, "
                      "delay = 1000 }");
    EXPECT_EQ(sound->GetType(), 10u);
    EXPECT_EQ(sound->GetFlags(), 0);
    EXPECT_FALSE(sound->IsLooping());
    advtest::CountingCallback done;
    sound->Activate(true, done.Report());
    EXPECT_EQ(sound->GetFlags(), GameplayEntity::kActive);
    EXPECT_EQ(sound->GetSoundEffect().mPending, 1500);
    Run(*sound, 10);
    EXPECT_EQ(done.mCalls, 1); // on the next update, not at the sound's end
    Run(*sound, 1480);
    EXPECT_FALSE(sound->IsPlaying());
    Run(*sound, 10);
    EXPECT_TRUE(sound->IsPlaying());
    EXPECT_EQ(Entry(1).GetRecordCount(), 1u);

    // The one-shot set's last sound ends: inactive, and no callback fires.
    Run(*sound, 100);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(sound->GetFlags(), 0);
    EXPECT_EQ(done.mCalls, 1);
}

TEST_F(SoundEntityTest, OneShotWithoutAnimationStartsNothing)
{
    auto sound = Make("{ sounds = { 'a' }, initialdelay = 0 }");
    sound->Activate(false, nullptr);
    EXPECT_EQ(sound->GetFlags(), 0);
    sound->SetFlags(GameplayEntity::kActive);
    advtest::CountingCallback done;
    sound->Activate(false, done.Report());
    EXPECT_EQ(sound->GetFlags(), 0); // a given callback clears the active bit
    Run(*sound, 10);
    EXPECT_EQ(done.mCalls, 1);
    Run(*sound, 500);
    EXPECT_FALSE(sound->IsPlaying());
}

TEST_F(SoundEntityTest, LoopRunsOnUntilDeactivated)
{
    auto sound = Make("{ sounds = { 'a', 'b' }, loop = true, delay = 50 }");
    EXPECT_TRUE(sound->IsLooping());
    sound->Activate(false, nullptr); // a looping set starts also without animation
    Run(*sound, 50);
    EXPECT_TRUE(sound->IsPlaying());
    Run(*sound, 100);
    EXPECT_FALSE(sound->IsPlaying()); // between two sounds
    EXPECT_EQ(sound->GetFlags(), GameplayEntity::kActive);
    Run(*sound, 60);
    EXPECT_TRUE(sound->IsPlaying());

    // Paused, it still counts as under way; resumed, the same sound goes on.
    sound->Pause();
    EXPECT_TRUE(sound->IsPlaying());
    sound->Resume();
    EXPECT_TRUE(sound->IsPlaying());

    advtest::CountingCallback done;
    sound->Deactivate(true, done.Report());
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(sound->GetFlags(), 0);
    Run(*sound, 10);
    EXPECT_EQ(done.mCalls, 1);
    // Deactivated between two sounds: the next start does not come.
    sound->Activate(true, nullptr);
    Run(*sound, 60);
    Run(*sound, 100);
    sound->Deactivate(false, nullptr);
    Run(*sound, 500);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(Entry(1).GetRecordCount() + Entry(2).GetRecordCount(), 0u);
}

TEST_F(SoundEntityTest, TexturesResolveAndReleaseTheSounds)
{
    auto sound = Make("{ sounds = { 'a' } }");
    sound->CreateTextures();
    EXPECT_EQ(sound->GetSoundEffect().mHandles.size(), 1u);
    sound->ReleaseTextures();
    EXPECT_TRUE(sound->GetSoundEffect().mHandles.empty());
    EXPECT_EQ(sound->GetRect(TDrawSpec()), TRect(0, 0, 0, 0));
}

TEST_F(SoundEntityTest, WithoutSoundsReportedAndHarmless)
{
    auto sound = Make("{ name = 'mute', sounds = 'a' }");
    EXPECT_NE(Log().find("ERROR:ERROR: No sound files for SoundEffect"), std::string::npos);
    sound->Activate(true, nullptr);
    sound->CreateTextures();
    Run(*sound, 100);
    EXPECT_FALSE(sound->IsPlaying());
    sound->Pause();
    sound->Resume();
    sound->Deactivate(false, nullptr);
}

TEST_F(SoundEntityTest, DestroyedWhilePlayingLeavesNoCallbackBehind)
{
    auto sound = Make("{ sounds = { 'a' } }");
    sound->Activate(true, nullptr);
    Run(*sound, 20);
    ASSERT_TRUE(sound->IsPlaying());
    sound.reset();
    EXPECT_EQ(mAudio->GetEntry(1), nullptr); // released with the entity
    for (uint32_t t = mNow + 10; t <= mNow + 300; t += 10)
        Frame(t);
}

} // namespace
