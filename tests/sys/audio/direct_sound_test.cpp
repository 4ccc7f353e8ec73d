// The device and its outputs: capabilities, the output setting, SDL under its dummy driver, the
// real-time null output, and the "none" output that makes creation fail.
#include "audio_test_support.h"
#include "sys/audio/mixer.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace audio_test;

namespace
{
// Waits (bounded) until the buffer's play cursor has left 0.
bool CursorMoves(SoundBuffer& buffer)
{
    for (int i = 0; i < 400; ++i)
    {
        if (Cursors(buffer).first != 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}
} // namespace

TEST(AudioDevice, CapsLevelsAndTheOutputSetting)
{
    ManualDevice device;
    Caps caps;
    EXPECT_EQ(device->GetCaps(&caps), Result::InvalidParam);
    caps.size = 96;
    EXPECT_EQ(device->GetCaps(&caps), Result::Ok);
    EXPECT_EQ(caps.maxSecondaryRate, 200000u);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, 5), Result::InvalidParam);

    SetOutputKind(OutputKind::Manual);
    std::unique_ptr<DirectSound> fresh;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh), Result::Ok);
    BufferDesc primary;
    primary.flags = DSBCAPS_PRIMARYBUFFER;
    std::unique_ptr<SoundBuffer> buffer;
    EXPECT_EQ(fresh->CreateSoundBuffer(&primary, &buffer), Result::PrioLevelNeeded);

    SetOutputKind(OutputKind::None);
    EXPECT_EQ(DirectSoundCreate(nullptr, &fresh), Result::NoDriver);
    EXPECT_EQ(fresh, nullptr);

    ResetOutputKind();
    setenv("MURKWELL_AUDIO_OUTPUT", "none", 1);
    EXPECT_EQ(GetOutputKind(), OutputKind::None);
    setenv("MURKWELL_AUDIO_OUTPUT", "null", 1);
    EXPECT_EQ(GetOutputKind(), OutputKind::Null);
    setenv("MURKWELL_AUDIO_OUTPUT", "loud", 1);
    EXPECT_EQ(GetOutputKind(), OutputKind::Sdl);
    unsetenv("MURKWELL_AUDIO_OUTPUT");
    EXPECT_EQ(GetOutputKind(), OutputKind::Sdl);
    SetOutputKind(OutputKind::Manual);

    // Without a manual device a pull gives silence.
    device.reset();
    fresh.reset();
    std::vector<int16_t> out(8, 5);
    EXPECT_FALSE(RenderManual(out.data(), 4));
    EXPECT_EQ(out, std::vector<int16_t>(8, 0));
}

TEST(AudioDevice, SdlOutputPullsAndReleasesCleanlyWhilePlaying)
{
    ManualDevice device(OutputKind::Sdl);
    ASSERT_NE(device.get(), nullptr) << "SDL's dummy audio driver should open";
    auto a = device.Buffer(44100, 2, std::vector<int16_t>(44100 * 2, 500));
    auto b = device.Buffer(22050, 1, std::vector<int16_t>(22050, -500));
    a->Play(0, 0, DSBPLAY_LOOPING);
    b->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_TRUE(CursorMoves(*a));
    // The device goes first while both play; the buffers then stay quiet and go later.
    device.reset();
    const uint32_t after = Cursors(*a).first;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Cursors(*a).first, after);
}

TEST(AudioDevice, NullOutputConsumesInRealTime)
{
    ManualDevice device(OutputKind::Null);
    auto buffer = device.Buffer(44100, 1, std::vector<int16_t>(44100, 1));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    EXPECT_TRUE(CursorMoves(*buffer));
}

namespace
{
std::atomic<int64_t> gClockMicroseconds{0};
int64_t TestClock()
{
    return gClockMicroseconds.load();
}

// Waits (bounded) until the buffer's play cursor stands at `bytes`; answers where it stands.
uint32_t CursorReaches(SoundBuffer& buffer, uint32_t bytes)
{
    for (int i = 0; i < 400 && Cursors(buffer).first != bytes; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Cursors(buffer).first;
}
} // namespace

// The null output mixes what its clock says has passed: a reading earlier than the last adds
// nothing (rather than a count near 2^64), a leap of days adds one second, and the close ends.
TEST(AudioDevice, NullOutputTakesAClockThatRunsBackOrLeapsAndStillCloses)
{
    gClockMicroseconds = 1000000000;
    SetNullOutputClock(&TestClock);
    {
        ManualDevice device(OutputKind::Null);
        // Two seconds of mono 44.1 kHz, 2 bytes a frame.
        auto buffer = device.Buffer(44100, 1, std::vector<int16_t>(88200, 1));
        buffer->Play(0, 0, DSBPLAY_LOOPING);
        gClockMicroseconds += 250000;
        EXPECT_EQ(CursorReaches(*buffer, 22050), 22050u);
        gClockMicroseconds -= 5000000;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gClockMicroseconds += 250000;
        EXPECT_EQ(CursorReaches(*buffer, 44100), 44100u);
        gClockMicroseconds += int64_t{1} << 50;
        EXPECT_EQ(CursorReaches(*buffer, 132300), 132300u);
        buffer.reset();
    }
    SetNullOutputClock(nullptr);
}

namespace
{
std::atomic<bool> gLeapRead{false};
std::atomic<bool> gStopAsked{false};
constexpr int64_t kLeapFrom = 2000000000;
int64_t LeapingClock()
{
    const int64_t now = gClockMicroseconds.load();
    if (now > kLeapFrom)
        gLeapRead = true;
    return now;
}
void NoteStop()
{
    gStopAsked = true;
}
} // namespace

// A close that comes while the null output mixes a long stretch (its clock leapt a second) ends
// the mixing after the period under way, not after the whole second: the mixer is held inside
// the stretch's first period until the close has asked for the stop.
TEST(AudioDevice, NullOutputStopsMixingAtThePeriodAfterItsClose)
{
    gClockMicroseconds = kLeapFrom;
    gLeapRead = false;
    gStopAsked = false;
    SetNullOutputClock(&LeapingClock);
    SetNullOutputStopHook(&NoteStop);
    ManualDevice device(OutputKind::Null);
    const std::shared_ptr<Mixer> mixer = device->GetMixer();
    auto buffer = device.Buffer(44100, 1, std::vector<int16_t>(88200, 1));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    const uint64_t before = mixer->GetRenderedFrames();
    std::thread closing;
    {
        std::lock_guard<std::mutex> held(mixer->GetMutex());
        gClockMicroseconds += 1000000;
        while (!gLeapRead)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        closing = std::thread([&] { device.reset(); });
        while (!gStopAsked)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    closing.join();
    EXPECT_LE(mixer->GetRenderedFrames() - before, uint64_t{mixer->GetPeriodFrames()});
    SetNullOutputStopHook(nullptr);
    SetNullOutputClock(nullptr);
}
