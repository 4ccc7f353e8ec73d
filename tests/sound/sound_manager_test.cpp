// The manager: one thread however often Init runs, pausing with the application, teardown while
// sounds play, and the silent path without a device, where ends still come on the streams'
// clocks.
#include "sound_test_support.h"

#include "platform/log.h"
#include "sound/sound_stream.h"
#include "sys/audio/audio_log.h"

#include <filesystem>
#include <thread>

using namespace soundtest;

namespace
{
size_t ThreadCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}
} // namespace

TEST_F(SoundTest, InitOnceOneThreadAndATeardownWithoutCallbacks)
{
    AddOgg("t/long.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    // The thread sanitizer starts a helper thread of its own with the process's first thread: one
    // started and ended here puts it in `before`.
    std::thread([] {}).join();
    const size_t before = ThreadCount();
    TSoundManager& manager = StartManager();
    EXPECT_TRUE(manager.IsInitialised());
    EXPECT_TRUE(manager.Init());
    EXPECT_EQ(ThreadCount(), before + 1);

    auto sound = TSound::Get("t/long", false, 0);
    RecordingCallBack callback;
    for (int i = 0; i < 3; ++i)
        sound->SetInstanceCallback(sound->Play(i == 0), &callback, nullptr);
    Run(600);
    mManager.reset();
    EXPECT_TRUE(callback.mEnds.empty());
    EXPECT_EQ(ThreadCount(), before);
}

TEST_F(SoundTest, DeactivationPausesAndReactivationResumesWhatItPaused)
{
    AddOgg("p/tone.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    TSoundManager& manager = StartManager();
    auto sound = TSound::Get("p/tone", false, 0);
    auto running = sound->Play(true);
    auto held = sound->Play(true);
    held->Pause(true);
    const uint32_t runningId = running->GetStream()->GetBufferId();
    const uint32_t heldId = held->GetStream()->GetBufferId();
    sys::audio::TakeCallLog();

    manager.SetPaused(false);
    auto late = sound->Play(true); // starts paused: no Play reaches its buffer
    const uint32_t lateId = late->GetStream()->GetBufferId();
    EXPECT_EQ(Calls(runningId), (std::vector<std::string>{"Stop"}));
    EXPECT_TRUE(Calls(heldId).empty());
    EXPECT_EQ(Calls(lateId).back(), "SetVolume 0");
    const auto quiet = Run(200);
    EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](int16_t s) { return s == 0; }));

    sys::audio::TakeCallLog();
    manager.SetPaused(true);
    auto played = [&](uint32_t id)
    {
        const auto calls = Calls(id);
        return std::count(calls.begin(), calls.end(), "Play 1");
    };
    EXPECT_EQ(played(runningId), 1);
    EXPECT_EQ(played(lateId), 1);
    EXPECT_EQ(played(heldId), 0);
    EXPECT_TRUE(held->GetStream()->IsPaused());
    EXPECT_FALSE(running->GetStream()->IsPaused());
}

TEST_F(SoundTest, WithoutADeviceSoundsEndOnTheirClocks)
{
    mOutput = sys::audio::OutputKind::None;
    sys::audio::SetOutputKind(mOutput);
    AddOgg("n/three.ogg", Tone(2, 44100, 44100 * 3), 2, 44100);
    // The device's lines go to the log, as the program links them.
    sys::audio::SetAudioLogSink([](const std::string& line) { ::Log("%s", line.c_str()); });
    mManager = std::make_unique<TSoundManager>();
    EXPECT_FALSE(mManager->Init());
    sys::audio::SetAudioLogSink({});
    // One line for the one cause: no error line after it.
    const std::string said =
        ": no sound device asked for (MURKWELL_AUDIO_OUTPUT=none): no audio output\n";
    EXPECT_NE(Log().find(said), std::string::npos) << Log();
    EXPECT_EQ(Log().find(said) + said.size(), Log().size()) << Log();

    auto sound = TSound::Get("n/three", false, 0);
    auto instance = sound->Play(false);
    ASSERT_NE(instance, nullptr);
    EXPECT_FALSE(instance->GetStream()->HasBuffer());
    RecordingCallBack callback;
    sound->SetInstanceCallback(instance, &callback, nullptr);
    Run(1000);
    // A pause stops the clock.
    instance->Pause(true);
    Run(1000);
    instance->Pause(false);
    Run(2250);
    EXPECT_TRUE(callback.mEnds.empty());
    Run(550);
    EXPECT_EQ(callback.mEnds.size(), 1u);
}
