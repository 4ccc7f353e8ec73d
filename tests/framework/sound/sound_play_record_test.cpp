// Play records and ramps: fitting, the callback's lead, looping, pauses moving the end and the
// ramps, fading out to a pause and in from silence, the volume sent to the buffer.
#include "framework/audio_test_support.h"

#include <gtest/gtest.h>

namespace
{
using fwtest::AudioTest;
using fwtest::CountingCallBack;

TEST(SoundFadeTest, FittingAgainstTheSoundsLength)
{
    SoundFade atEnd(2000, SoundFade::kAtEnd, 1, 0);
    atEnd.Fit(10000);
    EXPECT_EQ(atEnd.mDelay, 8000u);
    EXPECT_EQ(atEnd.mEnd, 10000u);
    atEnd.Fit(500); // fitted once
    EXPECT_EQ(atEnd.mEnd, 10000u);
    SoundFade shortSound(2000, SoundFade::kAtEnd, 1, 0);
    shortSound.Fit(1500);
    EXPECT_EQ(shortSound.mDuration, 1500u);
    EXPECT_EQ(shortSound.mDelay, 0u);
    SoundFade cut(1000, 9500, 0, 1);
    cut.Fit(10000);
    EXPECT_EQ(cut.mDuration, 500u);
    EXPECT_EQ(cut.mEnd, 10000u);
    SoundFade clamped(10, 0, 1.7f, -0.2f);
    EXPECT_EQ(clamped.mFrom, 1.0f);
    EXPECT_EQ(clamped.mTo, 0.0f);
    EXPECT_EQ(clamped.mDelta, -1.0f);
}

TEST_F(AudioTest, CallbackLeadAndLoopingCallsBackOnce)
{
    Start("2,long,1,short,2", {10000, 300});
    int32_t h = mAudio->Play("long", false);
    CountingCallBack lead;
    CountingCallBack longLead;
    At(1000);
    mAudio->PlayIndex(h, new SoundPlayRecord(false, &lead, 1500));
    mAudio->PlayIndex(h, new SoundPlayRecord(false, &longLead, 20000));
    EXPECT_EQ(longLead.mCalls, 0); // not inside the start
    Frame(1010);
    EXPECT_EQ(longLead.mCalls, 1);
    Frame(9499);
    EXPECT_EQ(lead.mCalls, 0);
    Frame(9500);
    EXPECT_EQ(lead.mCalls, 1);
    Frame(11000);
    EXPECT_EQ(Entry(h).GetRecordCount(), 0u);

    int32_t s = mAudio->Play("short", false);
    CountingCallBack looped;
    mAudio->PlayIndex(s, new SoundPlayRecord(true, &looped, 0));
    RunTo(12000);
    EXPECT_EQ(looped.mCalls, 1);
    EXPECT_EQ(Entry(s).GetRecordCount(), 1u);
    EXPECT_EQ(Entry(s).mState, SoundEntry::kPlaying);
}

TEST_F(AudioTest, PausesMoveTheEndAndEveryRamp)
{
    Start("1,a,1", {2000});
    int32_t h = mAudio->Play("a?volume=0.5", false);
    At(0);
    mAudio->PlayWithCallback(h, new SoundFade(1000, 0, 0, 1), nullptr);
    SoundPlayRecord& record = *Entry(h).mRecords[0];
    Frame(500);
    EXPECT_FLOAT_EQ(record.mApplied, 0.25f); // effective 1 x entry 0.5 x ramp 0.5
    EXPECT_EQ(LastAttenuation(record), -3750);
    mAudio->Pause(h);
    At(5500);
    mAudio->Resume(h);
    EXPECT_EQ(LastAttenuation(record), -3750); // its own volume, not the group's
    Frame(5750);
    EXPECT_FLOAT_EQ(record.mApplied, 0.375f);
    Frame(6999);
    EXPECT_EQ(Entry(h).GetRecordCount(), 1u);
    Frame(7000);
    EXPECT_EQ(Entry(h).GetRecordCount(), 0u);
}

TEST_F(AudioTest, FadeOutPausesAndFadeInResumesFromSilence)
{
    Start("1,a,1", {10000});
    int32_t h = mAudio->Play("a", false);
    At(0);
    mAudio->PlayIndex(h);
    SoundPlayRecord& record = *Entry(h).mRecords[0];
    At(3000);
    mAudio->FadeOut(h, 1000);
    Frame(3500);
    EXPECT_FLOAT_EQ(record.mApplied, 0.5f);
    Frame(4000);
    EXPECT_EQ(record.mState, SoundPlayRecord::kPaused);
    EXPECT_EQ(Entry(h).mState, SoundEntry::kPaused);
    EXPECT_EQ(LastAttenuation(record), -10000);
    At(6000);
    mAudio->FadeIn(h, 1000);
    EXPECT_EQ(LastAttenuation(record), -10000);
    Frame(6500);
    EXPECT_FLOAT_EQ(record.mApplied, 0.5f);
    Frame(7000);
    EXPECT_FLOAT_EQ(record.mApplied, 1.0f);
    EXPECT_EQ(Entry(h).mState, SoundEntry::kPlaying);
    // The pause from 4000 to 6000 moved the end to 12000.
    Frame(11999);
    EXPECT_EQ(Entry(h).GetRecordCount(), 1u);
    Frame(12000);
    EXPECT_EQ(Entry(h).GetRecordCount(), 0u);
}

TEST_F(AudioTest, ATransitionBeforeItsDelayHoldsItsStart)
{
    Start("1,a,1", {1000});
    int32_t h = mAudio->Play("a", false);
    At(0);
    mAudio->PlayIndex(h, new SoundPlayRecord(true, nullptr, 0));
    SoundPlayRecord& record = *Entry(h).mRecords[0];
    At(800);
    mAudio->FadeOut(h, 400); // cut at the end: 800 to 1000
    Frame(900);
    EXPECT_FLOAT_EQ(record.mApplied, 0.5f);
    Frame(1000); // the loop restarts the clock with the transition still running
    Frame(1100);
    EXPECT_FLOAT_EQ(record.mApplied, 1.0f);
}
} // namespace
