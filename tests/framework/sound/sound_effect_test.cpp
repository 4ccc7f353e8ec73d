// Sound effects: the group suffix, the fatal report without sounds, looping with a delay counted
// by updates (a negative one as none), random draws over the whole set, pausing only the current
// sound, stopping and releasing without callbacks.
#include "framework/sound/sound_effect.h"

#include "framework/audio_test_support.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
class EffectTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("4,a,1,b,2,c,3,wind,4", {100, 100, 100, 100});
        At(0);
    }
    std::shared_ptr<SoundEffect> Effect(const char* lua)
    {
        mScript.DoLuaString((std::string("t = ") + lua).c_str());
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("t"));
        return SoundEffect::Create(*table);
    }
    TScript mScript;
};

TEST_F(EffectTest, GroupSuffixAndMissingSounds)
{
    auto effect =
        Effect("{ groupid = 1001.9, sounds = { 'wind', 'wind?volume=0.3', 'x?group=5' } }");
    ASSERT_EQ(effect->mSpecifiers.size(), 3u);
    EXPECT_STREQ(effect->mSpecifiers[0].c_str(), "wind?group=1001");
    EXPECT_STREQ(effect->mSpecifiers[1].c_str(), "wind?volume=0.3group=1001");
    EXPECT_STREQ(effect->mSpecifiers[2].c_str(), "x?group=5group=1001");
    effect->Start(); // x is not in the table: reported and left out
    EXPECT_EQ(effect->mHandles.size(), 2u);
    EXPECT_EQ(Entry(4).mVolume, 1.0f); // the first specifier of the name fixed the entry
    EXPECT_EQ(Entry(4).mGroup, 1001);

    auto none = Effect("{ name = 'silent' }");
    EXPECT_NE(Log().find("ERROR:ERROR: No sound files for SoundEffect   FILE:sound_effect.cpp"),
              std::string::npos);
    none->Start();
    EXPECT_TRUE(none->mHandles.empty());
}

TEST_F(EffectTest, LoopingWaitsItsDelayInUpdateSteps)
{
    auto effect = Effect("{ sounds = { 'a' }, loop = true, delay = 200, initialdelay = 30 }");
    effect->mPending = effect->mInitialDelay;
    effect->Update(16);
    EXPECT_EQ(effect->mPending, 14);
    effect->Update(16);
    EXPECT_EQ(effect->mPending, -1);
    EXPECT_EQ(Entry(1).GetRecordCount(), 1u);
    Frame(100); // the end: the next start is due in 200 ms
    EXPECT_EQ(effect->mPending, 200);
    effect->Update(150);
    effect->Update(49);
    EXPECT_EQ(Entry(1).GetRecordCount(), 0u);
    effect->Update(1);
    EXPECT_EQ(Entry(1).GetRecordCount(), 1u);
    // A pending 0 starts at the next update whatever its step.
    effect->mPending = 0;
    effect->Update(0);
    EXPECT_EQ(Entry(1).GetRecordCount(), 2u);

    // Negative delays count as none: the first start and the next are due at once.
    effect->Release();
    auto eager = Effect("{ sounds = { 'a' }, loop = true, delay = -200, initialdelay = -30 }");
    eager->mPending = eager->mInitialDelay + eager->mDelay;
    eager->Update(16);
    EXPECT_EQ(eager->mPending, -1);
    Frame(200);
    EXPECT_EQ(eager->mPending, 0);
}

// The wait before a start is the initial delay and the delay: two that each fit an int but pass
// what one holds together wait the longest an int holds, never a negative "nothing pending"; a
// negative part counts as none.
TEST_F(EffectTest, TheStartDelayStopsAtTheLongestWaitAnIntHolds)
{
    auto effect = Effect("{ sounds = { 'a' }, delay = 2000000000, initialdelay = 2000000000 }");
    EXPECT_EQ(effect->GetStartDelay(), INT32_MAX);
    effect->mPending = effect->GetStartDelay();
    effect->Update(1000);
    EXPECT_EQ(effect->mPending, INT32_MAX - 1000);
    effect->mDelay = 30;
    effect->mInitialDelay = 20;
    EXPECT_EQ(effect->GetStartDelay(), 50);
    effect->mInitialDelay = -20;
    EXPECT_EQ(effect->GetStartDelay(), 30);
}

TEST_F(EffectTest, EachStartDrawsOverTheWholeSet)
{
    auto effect = Effect("{ sounds = { 'a', 'b', 'c' } }");
    std::map<int32_t, int> counts;
    for (int i = 0; i < 600; ++i)
    {
        effect->Start();
        ++counts[effect->mHandles[static_cast<size_t>(effect->mCurrent)]];
    }
    ASSERT_EQ(counts.size(), 3u);
    for (const auto& [handle, count] : counts)
        EXPECT_NEAR(count, 200, 45) << handle;
    effect->Release();
    EXPECT_EQ(mAudio->GetLiveCount(), 0u);
}

TEST_F(EffectTest, PauseTouchesOnlyTheCurrentSound)
{
    auto effect = Effect("{ sounds = { 'a', 'b' } }");
    effect->Start();
    int32_t first = effect->mHandles[static_cast<size_t>(effect->mCurrent)];
    int32_t current = first;
    while (current == first)
    {
        effect->Start();
        current = effect->mHandles[static_cast<size_t>(effect->mCurrent)];
    }
    effect->Pause();
    EXPECT_EQ(Entry(current).mState, SoundEntry::kPaused);
    EXPECT_EQ(Entry(first).mState, SoundEntry::kPlaying);
    effect->Resume();
    EXPECT_EQ(Entry(current).mState, SoundEntry::kPlaying);
}

TEST_F(EffectTest, EndCallbackOnceStopAndReleaseCallNothing)
{
    fwtest::CountingCallBack end;
    auto effect = Effect("{ sounds = { 'a' } }");
    effect->mEndCallback = &end;
    effect->Start();
    At(50);
    effect->Start();
    Frame(100);
    EXPECT_EQ(end.mCalls, 0); // the second still plays
    Frame(150);
    EXPECT_EQ(end.mCalls, 1);

    effect->mEndCallback = &end;
    effect->Start();
    effect->Stop(); // forgets the stopped records
    EXPECT_TRUE(effect->mRecords.empty());
    EXPECT_TRUE(effect->mCallbacks.empty());
    effect->Start();
    effect->Release();
    Frame(400);
    EXPECT_EQ(end.mCalls, 1);
    EXPECT_EQ(mAudio->GetLiveCount(), 0u);
}

// A location's playlist ends its tracks by force when the location goes, while a board in it may
// hold the same sound as its music: released afterwards, the effect finds the sound gone and
// reports nothing.
TEST_F(EffectTest, ReleasedAfterAForcedStopOfItsSoundReportsNothing)
{
    auto effect = Effect("{ sounds = { 'b' }, loop = true }");
    effect->Start();
    const int32_t handle = effect->mHandles[0];
    mAudio->Stop(handle, true);
    const std::string before = Log();
    effect->Release();
    EXPECT_EQ(Log(), before);
    EXPECT_EQ(mAudio->GetEntry(handle), nullptr);
}
} // namespace
