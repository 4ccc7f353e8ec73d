// Playlists: cross-fades at the callback, a shared track kept across a selection, one-track lists
// looping without a fade, music-group ramps, forgetting the current list, handle 0 left out.
#include "framework/sound/playlist.h"

#include "framework/audio_test_support.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

namespace
{
class PlaylistTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        Start("5,x,1,y,2,z,3,solo,4,blip,5", {6000, 6000, 6000, 6000, 500});
        mAudio->AddGroup(1001, -1, 1.0f);
        mScript.DoLuaString(
            "t = { timefadeout = 500, timecrossfade = 2000, groupid = { 1001.7 } }");
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("t"));
        mMusic = std::make_unique<PlaylistController>(*table);
        At(0);
    }
    void TearDown() override
    {
        mMusic.reset();
        AudioTest::TearDown();
    }
    int32_t H(const char* name) { return mAudio->FindNumber(name); }
    float Applied(const char* name, size_t record = 0)
    {
        return Entry(H(name)).mRecords[record]->mApplied;
    }
    TScript mScript;
    std::unique_ptr<PlaylistController> mMusic;
};

TEST_F(PlaylistTest, TracksCrossFadeAtTheirCallback)
{
    EXPECT_EQ(mMusic->mGroupIds, (std::vector<int32_t>{1001}));
    EXPECT_EQ(mMusic->AddPlaylist({"x", "y"}), 1);
    mMusic->SelectPlaylist(1);
    Frame(1000);
    EXPECT_FLOAT_EQ(Applied("x"), 0.5f);
    Frame(3999);
    EXPECT_EQ(Entry(H("y")).GetRecordCount(), 0u);
    Frame(4000); // the callback, at the start of x's fade-out
    EXPECT_EQ(mMusic->Track(), H("y"));
    EXPECT_EQ(Entry(H("y")).GetRecordCount(), 1u);
    Frame(5000);
    EXPECT_FLOAT_EQ(Applied("x"), 0.5f);
    EXPECT_FLOAT_EQ(Applied("y"), 0.5f);
    Frame(6000);
    EXPECT_EQ(Entry(H("x")).GetRecordCount(), 0u);
    EXPECT_FLOAT_EQ(Applied("y"), 1.0f);
}

TEST_F(PlaylistTest, SelectingAListThatSharesThePlayingTrackKeepsIt)
{
    int a = mMusic->AddPlaylist({"x", "y"});
    int b = mMusic->AddPlaylist({"y", "z"});
    int c = mMusic->AddPlaylist({"z"});
    EXPECT_EQ(Entry(H("y")).mReferences, 1); // the second list gave its extra reference back
    mMusic->SelectPlaylist(a);
    Frame(10);
    Frame(4000); // y takes over
    Frame(4100);
    sys::audio::TakeCallLog();
    mMusic->SelectPlaylist(b);
    EXPECT_TRUE(sys::audio::GetCallLog().empty());
    EXPECT_EQ(mMusic->Track(), H("y"));
    EXPECT_EQ(mMusic->GetPlaylists()[a]->Current(), H("x"));
    EXPECT_EQ(Entry(H("y")).mFadeOutPending, 0);

    // A holds y as well, so going back keeps it too and moves B on past it.
    mMusic->SelectPlaylist(a);
    EXPECT_EQ(mMusic->Track(), H("y"));
    EXPECT_EQ(mMusic->GetPlaylists()[b]->Current(), H("z"));
    mMusic->SelectPlaylist(c); // C lacks y: y fades out and pauses, z starts
    EXPECT_EQ(Entry(H("y")).mFadeOutPending, 1);
    EXPECT_EQ(Entry(H("z")).mState, SoundEntry::kPlaying);
    Frame(4700);
    EXPECT_EQ(Entry(H("y")).mState, SoundEntry::kPaused);
}

// A list of one track loops it: one playback at full volume through every loop point, no
// cross-fade with itself (two unrelated halves mixed there dipped the music). A track shorter than
// the cross-fade loops the same way.
TEST_F(PlaylistTest, OneTrackPlaysOnThroughItsLoopWithoutAFade)
{
    mMusic->AddPlaylist({"solo"});
    mMusic->SelectPlaylist(1);
    Frame(1000);
    EXPECT_FLOAT_EQ(Applied("solo"), 0.5f);
    for (uint32_t t : {2000u, 4000u, 5000u, 5990u, 6000u, 6010u, 8000u, 11990u, 12010u})
    {
        Frame(t);
        ASSERT_EQ(Entry(H("solo")).GetRecordCount(), 1u) << t;
        EXPECT_FLOAT_EQ(Applied("solo"), 1.0f) << t;
    }

    mMusic->AddPlaylist({"blip"});
    mMusic->SelectPlaylist(2);
    RunTo(16000);
    EXPECT_EQ(Entry(H("blip")).GetRecordCount(), 1u);
    EXPECT_EQ(Entry(H("blip")).mState, SoundEntry::kPlaying);
    EXPECT_FLOAT_EQ(Applied("blip"), 1.0f);
}

TEST_F(PlaylistTest, FadeVolumeRampsTheMusicGroups)
{
    mMusic->AddPlaylist({"x"});
    mMusic->SelectPlaylist(1);
    mAudio->Pause(H("x"));
    mMusic->FadeVolume(1.0f, 0.0f, 3000); // also resumes the track
    EXPECT_EQ(Entry(H("x")).mState, SoundEntry::kPlaying);
    Frame(1500);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.5f);
    Frame(3000);
    EXPECT_FLOAT_EQ(mManager->GetEffectiveVolume(1001), 0.0f);
}

TEST_F(PlaylistTest, AddingForgetsTheCurrentListAndLeavesUnknownNamesOut)
{
    int32_t other = mAudio->Play("z", false);
    mAudio->PlayIndex(other);
    mMusic->AddPlaylist({"x"});
    mMusic->SelectPlaylist(1);
    EXPECT_EQ(mMusic->AddPlaylist({"nothing", "y", "nothing"}), 2);
    EXPECT_EQ(mMusic->GetPlaylists()[2]->mTracks, (std::vector<int32_t>{H("y")}));
    EXPECT_FALSE(mMusic->HasCurrent());
    mMusic->SelectPlaylist(2); // starts y, x plays on unmanaged
    EXPECT_EQ(Entry(H("x")).mFadeOutPending, 0);
    EXPECT_EQ(Entry(H("y")).mState, SoundEntry::kPlaying);

    // Playlist 0 has no track: no call reaches every sound.
    mMusic->AddPlaylist({});
    mMusic->SelectPlaylist(0);
    mMusic->Pause();
    mMusic->FadeOutTrack();
    EXPECT_EQ(Entry(other).mState, SoundEntry::kPlaying);
    mMusic.reset();
    EXPECT_EQ(mAudio->GetEntry(H("x")), nullptr);
    EXPECT_EQ(mAudio->GetEntry(H("y")), nullptr);
    EXPECT_NE(mAudio->GetEntry(other), nullptr);
}
} // namespace
