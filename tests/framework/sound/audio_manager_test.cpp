// The audio manager: the sound table's tokens, specifiers, handles and references, the checks on
// handles, states and the idle flag, pausing everything, and callbacks that release entries while
// the update walks them.
#include "framework/audio_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using fwtest::AudioTest;
using fwtest::CountingCallBack;

TEST(SoundSpecifierTest, KeysValuesAndDefaults)
{
    SoundSpecifier plain = ParseSoundSpecifier("click");
    EXPECT_STREQ(plain.mName.c_str(), "click");
    EXPECT_EQ(plain.mGroup, 1000);
    EXPECT_EQ(plain.mVolume, 1.0f);
    SoundSpecifier full = ParseSoundSpecifier("a?b?xGROUP= 1001junk&Volume=0.25x");
    EXPECT_STREQ(full.mName.c_str(), "a?b");
    EXPECT_EQ(full.mGroup, 1001);
    EXPECT_EQ(full.mVolume, 0.25f);
    // No separator is needed: a value ends where the number does.
    SoundSpecifier run = ParseSoundSpecifier("step?volume=0.5group=3");
    EXPECT_EQ(run.mVolume, 0.5f);
    EXPECT_EQ(run.mGroup, 3);
    EXPECT_EQ(ParseSoundSpecifier("x?volume=abc").mVolume, 0.0f);
    EXPECT_EQ(ParseSoundSpecifier("x?volume=nan").mVolume, 0.0f);
    EXPECT_EQ(ParseSoundSpecifier("x?group=").mGroup, 0);
    EXPECT_EQ(ParseSoundSpecifier("x?").mGroup, 1000);
}

TEST_F(AudioTest, TableTokens)
{
    // Comma runs are one separator; a line break after a comma belongs to the next name (CR LF
    // read as LF); a last name without a number maps to 0; the count changes nothing.
    Start("9,a,,1,\r\nb,2,c", {});
    EXPECT_EQ(mAudio->FindNumber("a"), 1);
    EXPECT_EQ(mAudio->FindNumber("\nb"), 2);
    EXPECT_EQ(mAudio->FindNumber("b"), -1);
    EXPECT_EQ(mAudio->FindNumber("c"), 0);
    EXPECT_EQ(mAudio->GetSlotCount(), 4u);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kEmpty);
}

TEST_F(AudioTest, MissingEmptyAndHugeTables)
{
    Start("", {});
    EXPECT_NE(Log().find("ERROR:Unable to read file   FILE:audio_manager.cpp"), std::string::npos);
    mAudio.reset();
    Write("assets/audio/snd.txt", "-7,a,1");
    mAudio = std::make_unique<AudioManager>();
    EXPECT_EQ(mAudio->GetSlotCount(), 2u);
    mAudio.reset();
    Write("assets/audio/snd.txt", "4000000000,a,1,b,2");
    mAudio = std::make_unique<AudioManager>();
    EXPECT_EQ(mAudio->GetSlotCount(), 3u);
    mAudio.reset();
    gSoundTableName = "audio/none.txt";
    mAudio = std::make_unique<AudioManager>();
    gSoundTableName = "audio/snd.txt";
    EXPECT_NE(Log().find("ERROR:audio/none.txt   FILE:audio_manager.cpp"), std::string::npos);
    EXPECT_EQ(mAudio->Play("a", false), 0);
    EXPECT_NE(Log().find("ERROR:a   FILE:audio_manager.cpp"), std::string::npos);
}

TEST_F(AudioTest, SpecifiersOfOneNameShareTheFirstEntry)
{
    Start("2,click,1,music,2", {200, 300});
    int32_t h = mAudio->Play("click", false);
    ASSERT_EQ(h, 1);
    EXPECT_EQ(mAudio->Play("click?group=1001&volume=0.5", true), 1);
    EXPECT_EQ(Entry(1).mGroup, 1000);
    EXPECT_EQ(Entry(1).mVolume, 1.0f);
    EXPECT_EQ(Entry(1).mReferences, 2);
    EXPECT_EQ(mAudio->GetSoundState("click?volume=0"), SoundEntry::kStopped);
    EXPECT_EQ(mAudio->GetSoundState("music"), 0);
    EXPECT_EQ(mAudio->GetSoundState("nothing"), 0);
    mAudio->Stop(h, false);
    EXPECT_NE(mAudio->GetEntry(1), nullptr);
    mAudio->Play("click", false);
    mAudio->Stop(h, true);
    EXPECT_EQ(mAudio->GetEntry(1), nullptr);
    EXPECT_EQ(mAudio->GetLiveCount(), 0u);

    EXPECT_EQ(mAudio->Play("music?volume=7", true), 2);
    EXPECT_EQ(Entry(2).mVolume, 1.0f);
}

// A location's playlist force-stops its tracks when it goes while a window's sound still holds the
// same track (one entry per sound): the later give-back is quiet and leaves alone the entry made
// for that sound again meanwhile; so does one after everything was released.
TEST_F(AudioTest, ReferencesHeldPastAForcedStopAreGivenBackQuietly)
{
    Start("2,music,1,wind,2", {200, 300});
    const int32_t playlist = mAudio->Play("music", true);
    const int32_t board = mAudio->Play("music", true);
    ASSERT_EQ(board, playlist);
    mAudio->Stop(playlist, true);
    EXPECT_EQ(mAudio->GetEntry(playlist), nullptr);
    const int32_t again = mAudio->Play("music", true);
    ASSERT_EQ(again, playlist);
    mAudio->Stop(board, false);
    ASSERT_NE(mAudio->GetEntry(again), nullptr);
    EXPECT_EQ(Entry(again).mReferences, 1);
    mAudio->Stop(again, false);
    EXPECT_EQ(mAudio->GetEntry(again), nullptr);
    const int32_t wind = mAudio->Play("wind", false);
    mAudio->Stop(0, false);
    mAudio->Stop(wind, false);
    EXPECT_EQ(Log().find("No sound has the handle"), std::string::npos) << Log();
    // Given back once too often, a handle is reported as before.
    mAudio->Stop(wind, false);
    EXPECT_NE(Log().find("ERROR:No sound has the handle 2"), std::string::npos);
}

TEST_F(AudioTest, BadHandlesAndNumbersAreReportedAndIgnored)
{
    Start("3,a,1,zero,0,far,9", {200});
    EXPECT_EQ(mAudio->Play("zero", false), 0);
    EXPECT_EQ(mAudio->Play("far", false), 0);
    EXPECT_NE(Log().find("ERROR:Sound 'far' has the number 9, which names no sound slot"),
              std::string::npos);
    int32_t h = mAudio->Play("a", false);
    mAudio->Stop(h, false);
    EXPECT_FALSE(mAudio->PlayIndex(h)); // released
    EXPECT_FALSE(mAudio->PlayIndex(-3));
    mAudio->Pause(77);
    mAudio->FadeIn(-1, 100);
    mAudio->Stop(5, true);
    EXPECT_NE(Log().find("ERROR:No sound has the handle -3"), std::string::npos);
    EXPECT_NE(Log().find("ERROR:No sound has the handle 77"), std::string::npos);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kEmpty);
}

TEST_F(AudioTest, StatesIdleFlagAndPauseAllKeepsWhatWasPaused)
{
    Start("3,a,1,b,2,c,3", {1000, 1000, 1000});
    WindowManager frames;
    frames.AddClient(mAudio.get(), true);
    int32_t a = mAudio->Play("a", false);
    int32_t b = mAudio->Play("b", false);
    At(100);
    mAudio->PlayIndex(a);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kPlaying);
    EXPECT_FALSE(frames.IsTaskIdle(mAudio.get()));
    mAudio->PlayIndex(b);
    mAudio->Pause(b);
    EXPECT_EQ(Entry(b).mState, SoundEntry::kPaused);

    mAudio->PauseAll();
    EXPECT_EQ(mAudio->GetState(), AudioManager::kIdle);
    int32_t c = mAudio->Play("c", false); // made in between: resuming still finds b
    mAudio->ResumeAll();
    EXPECT_EQ(Entry(a).mState, SoundEntry::kPlaying);
    EXPECT_EQ(Entry(b).mState, SoundEntry::kPaused);
    EXPECT_EQ(Entry(c).mState, SoundEntry::kStopped);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kPlaying);

    // A pause of one handle while everything is paused is held too.
    mAudio->PauseAll();
    mAudio->Resume(b);
    mAudio->Pause(b);
    mAudio->ResumeAll();
    EXPECT_EQ(Entry(b).mState, SoundEntry::kPaused);

    Frame(1100); // a has ended
    EXPECT_EQ(Entry(a).mState, SoundEntry::kStopped);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kIdle);
    Frame(1110);
    EXPECT_TRUE(frames.IsTaskIdle(mAudio.get()));
    mAudio->StopIndex(0);
    EXPECT_EQ(Entry(b).GetRecordCount(), 0u);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kEmpty);
}

TEST_F(AudioTest, EndCallbacksReleasingEntriesDuringTheWalk)
{
    Start("3,a,1,b,2,c,3", {100, 100, 300});
    int32_t a = mAudio->Play("a", false);
    int32_t b = mAudio->Play("b", false);
    int32_t c = mAudio->Play("c", false);
    CountingCallBack releaseOwn;
    CountingCallBack releaseOther;
    releaseOwn.mAction = [&] { mAudio->Stop(a, true); };
    releaseOther.mAction = [&]
    {
        mAudio->Stop(c, true);
        mAudio->Play("c", false); // a new entry made during the walk
    };
    At(0);
    mAudio->PlayIndex(a, new SoundPlayRecord(false, &releaseOwn, 0));
    mAudio->PlayIndex(a);
    mAudio->PlayIndex(b, new SoundPlayRecord(false, &releaseOther, 0));
    mAudio->PlayIndex(c);
    Frame(50);
    Frame(100);
    EXPECT_EQ(releaseOwn.mCalls, 1);
    EXPECT_EQ(releaseOther.mCalls, 1);
    EXPECT_EQ(mAudio->GetEntry(a), nullptr);
    EXPECT_EQ(Entry(c).mState, SoundEntry::kStopped);
    Frame(110);
    EXPECT_EQ(mAudio->GetLiveCount(), 2u);

    // Releasing everything from inside a callback.
    CountingCallBack all;
    all.mAction = [&] { mAudio->Stop(0, false); };
    mAudio->PlayIndex(b, new SoundPlayRecord(false, &all, 100));
    Frame(120);
    EXPECT_EQ(all.mCalls, 1);
    EXPECT_EQ(mAudio->GetLiveCount(), 0u);
    EXPECT_EQ(mAudio->GetState(), AudioManager::kEmpty);
}

TEST_F(AudioTest, DestroyedAfterTheSoundAndAssetManagers)
{
    Start("1,a,1", {1000});
    mAudio->AddGroup(1000, -1, 1.0f);
    int32_t h = mAudio->Play("a", false);
    At(0);
    mAudio->PlayIndex(h);
    mAudio->PlayIndex(h, new SoundPlayRecord(true, nullptr, 0));
    mManager.reset();
    SetAssetManager(nullptr);
    mAudio.reset(); // reaches neither (sanitizers)
    SetAssetManager(&mAssets);
}
} // namespace

namespace
{
double Rms(const std::vector<int16_t>& stereo, size_t first, size_t frames)
{
    double sum = 0;
    for (size_t i = first; i < first + frames; ++i)
        sum += double(stereo[i * 2]) * stereo[i * 2];
    return std::sqrt(sum / double(frames));
}

// Looping music started as a screen starts its music (a fade-in, and a fade-out into an end that a
// loop never reaches): the mixed output, in 100 ms windows after the fade-in, never falls more than
// 6 dB below the track's own level, across several loop points of a streamed track.
TEST_F(AudioTest, LoopingMusicPlaysOnThroughItsLoopPointsWithoutADip)
{
    Start("1,music,1", {1500});
    const int32_t music = mAudio->Play("music?group=1001", true);
    ASSERT_NE(music, 0);
    ASSERT_TRUE(mAudio->PlayWithCallback(music, new SoundFade(400, 0, 0, 1),
                                         new SoundFade(400, SoundFade::kAtEnd, 1, 0),
                                         new SoundPlayRecord(true, nullptr, 0)));
    std::vector<int16_t> mixed;
    for (uint32_t t = 0; t < 5000; t += 50)
    {
        Frame(t);
        const std::vector<int16_t> part = Run(50);
        mixed.insert(mixed.end(), part.begin(), part.end());
    }
    const size_t window = 4410;
    // The tone is steady: its level between the fade-in and the first loop point is the track's.
    const double track = Rms(mixed, 22050, 22050);
    ASSERT_GT(track, 100.0);
    for (size_t at = 4410 * 5; at + window <= mixed.size() / 2; at += window)
        EXPECT_GE(20 * std::log10(Rms(mixed, at, window) / track), -6.0) << at / 44.1 << " ms";
}
} // namespace
