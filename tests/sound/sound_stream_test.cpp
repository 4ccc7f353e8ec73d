// Streams through the manual output and the device's call log: buffer sizes and flags, volumes,
// gapless loops, a queued source taking over, single plays and their ends.
#include "sound_test_support.h"

#include "sound/sound_stream.h"

#include <limits>

using namespace soundtest;
namespace audio = sys::audio;

namespace
{
// The left channel of stereo output from frame `from`, `count` frames.
bool SameFrames(const std::vector<int16_t>& mixed, size_t from, const std::vector<int16_t>& pcm,
                size_t pcmFrom, size_t count)
{
    for (size_t i = 0; i < count * 2; ++i)
    {
        if (mixed[from * 2 + i] != pcm[pcmFrom * 2 + i])
        {
            ADD_FAILURE() << "frame " << from + i / 2 << ": " << mixed[from * 2 + i] << " vs "
                          << pcm[pcmFrom * 2 + i];
            return false;
        }
    }
    return true;
}

bool Silent(const std::vector<int16_t>& mixed, size_t from, size_t to)
{
    return std::all_of(mixed.begin() + from * 2, mixed.begin() + to * 2,
                       [](int16_t s) { return s == 0; });
}
} // namespace

TEST(SoundStreamVolume, AttenuationOfAVolume)
{
    EXPECT_EQ(VolumeToAttenuation(1.0f), 0);
    EXPECT_EQ(VolumeToAttenuation(0.5f), -2500);
    EXPECT_EQ(VolumeToAttenuation(3.0f), 0);
    EXPECT_EQ(VolumeToAttenuation(0.0f), -10000);
    EXPECT_EQ(VolumeToAttenuation(-0.5f), -5000);
    // Not a number, or infinite: silence rather than an undefined conversion.
    EXPECT_EQ(VolumeToAttenuation(std::numeric_limits<float>::quiet_NaN()), -10000);
    EXPECT_EQ(VolumeToAttenuation(std::numeric_limits<float>::infinity()), -10000);
}

TEST_F(SoundTest, BufferSizesFlagsAndTheFirstCalls)
{
    AddOgg("m/three.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    AddOgg("m/mono.ogg", Tone(1, 11025, 11025 * 3), 1, 11025);
    TSoundManager& manager = StartManager();
    auto sound = TSound::Get("m/three", false, 0);
    auto instance = sound->Play(false);
    const uint32_t id = instance->GetStream()->GetBufferId();
    EXPECT_EQ(Calls(id),
              (std::vector<std::string>{"CreateSoundBuffer 352800 0x18180",
                                        "SetNotificationPositions 0 176400", "Lock 0 176400",
                                        "Unlock 176400 0", "SetVolume 0", "Play 1"}));
    EXPECT_FLOAT_EQ(instance->GetStream()->GetBufferLength(), 2.0f);

    // 11025 Hz mono: 44100 bytes, rounded up to a multiple of 8.
    auto monoSound = TSound::Get("m/mono", false, 0);
    auto mono = monoSound->Play(false);
    EXPECT_EQ(Calls(mono->GetStream()->GetBufferId()).front(), "CreateSoundBuffer 44104 0x18180");

    // 3 bytes become 8, and 0 becomes 4.
    for (auto [seconds, size] : {std::pair{3.0f / 176400, 8u}, std::pair{0.0f, 4u}})
    {
        TSoundStream* stream = TSoundStream::New(&manager, nullptr, false, 0, {});
        EXPECT_TRUE(stream->Create(44100, 2, 16, seconds));
        EXPECT_EQ(stream->GetBufferSize(), size);
        stream->Stop(false);
    }

    // Master and group volumes reach every stream twice: nudged, then exact.
    audio::TakeCallLog();
    manager.SetMasterVolume(0.5f);
    EXPECT_EQ(Calls(id), (std::vector<std::string>{"SetVolume -2750", "SetVolume -2500"}));
    audio::TakeCallLog();
    manager.SetGroupVolume(0, 0.5f);
    // 0.25 is below 0.5, so the nudge goes up.
    EXPECT_EQ(Calls(id), (std::vector<std::string>{
                             "SetVolume " + std::to_string(VolumeToAttenuation(0.25f + 0.05f)),
                             "SetVolume -3750"}));
    EXPECT_FLOAT_EQ(manager.GetEffectiveVolume(0), 0.25f);
    EXPECT_FLOAT_EQ(manager.GetEffectiveVolume(7), 0.5f);
}

TEST_F(SoundTest, LoopingPlaysWithoutGapOrEnd)
{
    const std::string bytes = AddOgg("m/half.ogg", Tone(2, 44100, 22050), 2, 44100);
    const std::vector<int16_t> pcm = DecodeOgg(bytes);
    const size_t frames = pcm.size() / 2;
    StartManager();
    auto sound = TSound::Get("m/half", false, 0);
    auto instance = sound->Play(true);
    RecordingCallBack callback;
    sound->SetInstanceCallback(instance, &callback, nullptr);
    const auto mixed = Run(4000);
    for (size_t at = 0; at + frames <= mixed.size() / 2; at += frames)
        ASSERT_TRUE(SameFrames(mixed, at, pcm, 0, frames)) << at;
    EXPECT_TRUE(callback.mEnds.empty());
    EXPECT_EQ(mManager->GetLiveCount(), 1u);
}

TEST_F(SoundTest, AQueuedSourceTakesOverWithoutAGap)
{
    const auto first = DecodeOgg(AddOgg("q/first.ogg", Tone(2, 44100, 44100 * 3), 2, 44100));
    const auto second = DecodeOgg(AddOgg("q/second.ogg", Tone(2, 44100, 44100, 330.0), 2, 44100));
    StartManager();
    auto a = TSound::Get("q/first", false, 0);
    auto b = TSound::Get("q/second", false, 0);
    auto instance = a->Play(false);
    RecordingCallBack callback;
    a->SetInstanceCallback(instance, &callback, b);

    auto mixed = Run(2150);
    EXPECT_TRUE(callback.mEnds.empty());
    // The take-over is decided at the pass at 2.2 s; the first sound's end is told there.
    auto more = Run(100);
    mixed.insert(mixed.end(), more.begin(), more.end());
    ASSERT_EQ(callback.mEnds.size(), 1u);
    EXPECT_EQ(callback.mEnds[0].first, instance);
    EXPECT_EQ(instance->GetSound(), b);

    more = Run(4000);
    mixed.insert(mixed.end(), more.begin(), more.end());
    const size_t firstFrames = first.size() / 2;
    EXPECT_TRUE(SameFrames(mixed, 0, first, 0, firstFrames));
    EXPECT_TRUE(SameFrames(mixed, firstFrames, second, 0, second.size() / 2));
    EXPECT_TRUE(Silent(mixed, firstFrames + second.size() / 2, mixed.size() / 2));
    EXPECT_EQ(callback.mEnds.size(), 2u);
    EXPECT_EQ(mManager->GetLiveCount(), 0u);
}

TEST_F(SoundTest, AShortSoundPlaysOnceAndEndsAfterItsData)
{
    const auto pcm = DecodeOgg(AddOgg("o/one.ogg", Tone(2, 44100, 44100), 2, 44100));
    AddOgg("o/two.ogg", Tone(1, 22050, 8000), 1, 22050);
    AddOgg("o/three.ogg", Tone(2, 48000, 9000), 2, 48000);
    StartManager();
    auto sound = TSound::Get("o/one", true, 0);
    auto instance = sound->Play(false);
    EXPECT_EQ(Calls(instance->GetStream()->GetBufferId()).back(), "Play 0");
    RecordingCallBack callback;
    sound->SetInstanceCallback(instance, &callback, nullptr);
    // The sounds are kept: dropping a sound stops its instances.
    std::vector<std::shared_ptr<TSound>> others;
    for (const char* name : {"o/two", "o/three"})
    {
        others.push_back(TSound::Get(name, true, 0));
        others.back()->SetInstanceCallback(others.back()->Play(false), &callback, nullptr);
    }

    // The two shorter sounds ended in their first half: they stop at the second change of
    // region after it, both in the pass at 1.1 s. The longer one ends in the pass at 2.2 s,
    // after its buffer stopped at 2 s.
    auto mixed = Run(1050);
    EXPECT_TRUE(callback.mEnds.empty());
    auto more = Run(100);
    EXPECT_EQ(callback.mEnds.size(), 2u);
    mixed.insert(mixed.end(), more.begin(), more.end());
    more = Run(1000);
    mixed.insert(mixed.end(), more.begin(), more.end());
    EXPECT_EQ(callback.mEnds.size(), 2u);
    more = Run(100);
    mixed.insert(mixed.end(), more.begin(), more.end());
    ASSERT_EQ(callback.mEnds.size(), 3u);
    EXPECT_EQ(callback.mEnds[2].first, instance);
    EXPECT_EQ(callback.mEnds[2].second, nullptr);
    EXPECT_EQ(mManager->GetLiveCount(), 0u);
    EXPECT_EQ(instance->GetStream(), nullptr);
    EXPECT_EQ(instance->GetGroup(), -1);

    // Alone from 1 s on (the others are shorter): the sound, then silence.
    EXPECT_TRUE(SameFrames(mixed, 22050, pcm, 22050, pcm.size() / 2 - 22050));
    EXPECT_TRUE(Silent(mixed, pcm.size() / 2, mixed.size() / 2));
}
