// The device and its outputs: capabilities, the output setting, SDL under its dummy driver, the
// real-time null output, and the "none" output that makes creation fail.
#include "audio_test_support.h"

#include <chrono>
#include <cstdlib>
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
