// Sounds and instances: names and sharing, stopping, callbacks that go or come late, sounds that
// go while they play, and names or files that give no sound.
#include "sound_test_support.h"

#include "sound/sound_stream.h"

using namespace soundtest;

// The encoder library keeps one block of its six-channel set-up for ever; the leak is its own.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:vorbis_encode_setup_init\n";
}

TEST_F(SoundTest, SpecifiersKeysAndSharing)
{
    AddOgg("k/tone.ogg", Tone(1, 22050, 2205), 1, 22050);
    StartManager();
    auto sound = TSound::Get("k/tone?group=3&volume=0.5", true, 0);
    ASSERT_NE(sound, nullptr);
    EXPECT_STREQ(sound->GetData()->mName.c_str(), "k/tone");
    EXPECT_EQ(sound->GetData()->mGroup, 3);
    EXPECT_EQ(mAssets.GetAsset("k/tone;1;3"), sound);
    EXPECT_EQ(TSound::Get("k/tone", true, 3), sound);
    EXPECT_NE(TSound::Get("k/tone", true, 4), sound);
    EXPECT_NE(TSound::Get("k/tone", false, 3), sound);
    EXPECT_EQ(TSound::Get("k/tone?volume=1", true, 5)->GetData()->mGroup, 5);
    EXPECT_EQ(sound->Play(false)->GetGroup(), 3);

    EXPECT_EQ(TSound::Get("", true, 0), nullptr);
    EXPECT_EQ(TSound::Get("k/none", true, 0), nullptr);
    EXPECT_NE(Log().find("TSound::Get: No valid sound file found: k/none"), std::string::npos);
    EXPECT_EQ(TSound::Create("k/bare")->Play(false), nullptr);
    EXPECT_NE(Log().find("Play of uninitialized sound"), std::string::npos);
    mManager.reset();
    EXPECT_EQ(sound->Play(false), nullptr);
    EXPECT_NE(Log().find("No Sound Manager"), std::string::npos);
}

TEST_F(SoundTest, StopCallsBackAtOnceAndGoneSoundsOrCallbacksAreSilent)
{
    AddOgg("c/tone.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    StartManager();
    auto sound = TSound::Get("c/tone", false, 0);
    RecordingCallBack callback;
    auto stopped = sound->Play(true);
    sound->SetInstanceCallback(stopped, &callback, nullptr);
    stopped->Stop();
    ASSERT_EQ(callback.mEnds.size(), 1u);
    EXPECT_EQ(callback.mEnds[0].first, stopped);
    EXPECT_EQ(callback.mEnds[0].second, nullptr);
    EXPECT_EQ(stopped->GetStream(), nullptr);

    // A callback that goes while its instance plays is never called.
    auto orphan = sound->Play(true);
    {
        RecordingCallBack gone;
        sound->SetInstanceCallback(orphan, &gone, nullptr);
    }
    orphan->Stop();

    // A sound that goes stops its instances without calling back.
    auto last = sound->Play(true);
    sound->SetInstanceCallback(last, &callback, nullptr);
    sound.reset();
    EXPECT_EQ(callback.mEnds.size(), 1u);
    EXPECT_EQ(mManager->GetLiveCount(), 0u);
    EXPECT_EQ(last->GetStream(), nullptr);
}

TEST_F(SoundTest, ACallbackAttachedAfterTheEndIsToldAtTheNextDispatch)
{
    AddOgg("l/short.ogg", Tone(1, 22050, 4410), 1, 22050);
    StartManager();
    auto sound = TSound::Get("l/short", true, 0);
    auto instance = sound->Play(false);
    Run(1200);
    ASSERT_EQ(instance->GetStream(), nullptr);
    RecordingCallBack callback;
    sound->SetInstanceCallback(instance, &callback, nullptr);
    EXPECT_TRUE(callback.mEnds.empty());
    mManager->DispatchNotifications();
    ASSERT_EQ(callback.mEnds.size(), 1u);
    EXPECT_EQ(callback.mEnds[0].first, instance);
    mManager->DispatchNotifications();
    EXPECT_EQ(callback.mEnds.size(), 1u);
}

TEST_F(SoundTest, ASixChannelSoundIsRefusedAndPlaysSilentButTimed)
{
    AddOgg("x/six.ogg", Tone(6, 44100, 44100 * 3 / 2), 6, 44100);
    StartManager();
    auto sound = TSound::Get("x/six", false, 0);
    ASSERT_NE(sound, nullptr);
    auto instance = sound->Play(false);
    ASSERT_NE(instance, nullptr);
    EXPECT_FALSE(instance->GetStream()->HasBuffer());
    EXPECT_NE(Log().find("DX Error: INVALIDPARAM (0x80070057), File src/sound/"),
              std::string::npos);
    RecordingCallBack callback;
    sound->SetInstanceCallback(instance, &callback, nullptr);
    const auto mixed = Run(1500);
    EXPECT_TRUE(std::all_of(mixed.begin(), mixed.end(), [](int16_t s) { return s == 0; }));
    EXPECT_TRUE(callback.mEnds.empty());
    Run(600);
    EXPECT_EQ(callback.mEnds.size(), 1u);
}

TEST_F(SoundTest, DamagedFilesPlayWhatDecodesThenEnd)
{
    const std::string bytes = EncodeOgg(Noise(2, 44100 * 4), 2, 44100);
    AddFile("d/cut.ogg", bytes.substr(0, bytes.size() * 3 / 5));
    AddFile("d/text.ogg", "plain text, not a sound");
    StartManager();
    EXPECT_EQ(TSound::Get("d/text", false, 0), nullptr);
    auto sound = TSound::Get("d/cut", false, 0);
    ASSERT_NE(sound, nullptr);
    RecordingCallBack callback;
    sound->SetInstanceCallback(sound->Play(false), &callback, nullptr);
    Run(6000);
    EXPECT_EQ(callback.mEnds.size(), 1u);
}
