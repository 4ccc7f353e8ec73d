// Buffers: cursors, staged locks against the playing mix, refused descriptions, injected faults
// and the call log.
#include "audio_test_support.h"

#include "sys/audio/mixer.h"

using namespace audio_test;

TEST(AudioBuffer, CursorsFollowThePulledFrames)
{
    ManualDevice device;
    auto buffer = device.Buffer(22050, 2, std::vector<int16_t>(22050 * 2));
    EXPECT_EQ(Cursors(*buffer), std::make_pair(0u, 0u));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    // Write leads by one period (1024 output frames = 512 source frames) plus one frame.
    EXPECT_EQ(Cursors(*buffer), std::make_pair(0u, 513u * 4));
    Pull(1001); // 500.5 source frames
    EXPECT_EQ(Cursors(*buffer), std::make_pair(500u * 4, 1013u * 4));
    Pull(44100 * 2 - 1001 - 2); // wraps: 22049 frames into the second lap
    EXPECT_EQ(Cursors(*buffer), std::make_pair(22049u * 4, 512u * 4));
    buffer->Stop();
    EXPECT_EQ(Cursors(*buffer), std::make_pair(22049u * 4, 22049u * 4));
}

TEST(AudioBuffer, LockingTheOtherHalfNeverChangesWhatPlays)
{
    ManualDevice device;
    // Two seconds of 44100 Hz stereo, halves filled in turn as the sound thread does.
    const uint32_t size = 44100 * 4 * 2;
    const uint32_t half = size / 2;
    auto buffer = device.Buffer(44100, 2, std::vector<int16_t>(size / 2, 100));
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    for (int16_t value : {200, 300})
    {
        Pull(11025);
        const uint32_t write = Cursors(*buffer).second;
        const uint32_t offset = write < half ? half : 0;
        void* p1 = nullptr;
        void* p2 = reinterpret_cast<void*>(1);
        uint32_t n1 = 0;
        uint32_t n2 = 7;
        ASSERT_EQ(buffer->Lock(offset, half, &p1, &n1, &p2, &n2, 0), Result::Ok);
        EXPECT_EQ(n1, half);
        EXPECT_EQ(p2, nullptr);
        EXPECT_EQ(n2, 0u);
        std::fill_n(static_cast<int16_t*>(p1), half / 2, value);
        // Until Unlock the mixer plays what was there.
        const auto during = Pull(44100);
        EXPECT_EQ(during.front(), value - 100);
        EXPECT_EQ(during.back(), 100);
        ASSERT_EQ(buffer->Unlock(p1, n1, nullptr, 0), Result::Ok);
    }
    // Once committed, the first half plays as written.
    EXPECT_EQ(Pull(1)[0], 300);
}

TEST(AudioBuffer, LockWrapsAndUnlockChecksItsParts)
{
    ManualDevice device;
    auto buffer = device.Buffer(44100, 1, std::vector<int16_t>(100));
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t n1 = 0;
    uint32_t n2 = 0;
    ASSERT_EQ(buffer->Lock(160, 80, &p1, &n1, &p2, &n2, 0), Result::Ok);
    EXPECT_EQ(n1, 40u);
    EXPECT_EQ(n2, 40u);
    EXPECT_EQ(static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p1) + 40);
    EXPECT_EQ(buffer->Unlock(p1, 40, p2, 41), Result::InvalidParam);
    EXPECT_EQ(buffer->Unlock(p2, 40, nullptr, 0), Result::InvalidParam);
    EXPECT_EQ(buffer->Unlock(p1, 40, p2, 40), Result::Ok);
    EXPECT_EQ(buffer->Unlock(p1, 40, p2, 40), Result::InvalidParam);
    EXPECT_EQ(buffer->Lock(200, 2, &p1, &n1, &p2, &n2, 0), Result::InvalidParam);
    EXPECT_EQ(buffer->Lock(0, 201, &p1, &n1, &p2, &n2, 0), Result::InvalidParam);
    EXPECT_EQ(buffer->Lock(0, 0, &p1, &n1, &p2, &n2, 0), Result::InvalidParam);
}

TEST(AudioBuffer, RefusedDescriptionsAndControls)
{
    ManualDevice device;
    auto create = [&](WaveFormat format, uint32_t bytes, uint32_t flags = 0x18180)
    {
        BufferDesc desc;
        desc.flags = flags;
        desc.bufferBytes = bytes;
        desc.format = &format;
        std::unique_ptr<SoundBuffer> buffer;
        return device->CreateSoundBuffer(&desc, &buffer);
    };
    EXPECT_EQ(create(Pcm16(100, 1), 4), Result::Ok);
    EXPECT_EQ(create(Pcm16(200000, 2), 4096), Result::Ok);
    EXPECT_EQ(create(Pcm16(99, 1), 4), Result::InvalidParam);
    EXPECT_EQ(create(Pcm16(200001, 1), 4), Result::InvalidParam);
    EXPECT_EQ(create(Pcm16(44100, 6), 48), Result::InvalidParam);
    EXPECT_EQ(create(Pcm16(44100, 1), 2), Result::InvalidParam);
    EXPECT_EQ(create(Pcm16(44100, 1), DSBSIZE_MAX + 1), Result::InvalidParam);
    EXPECT_EQ(create(Pcm16(44100, 1), 64, 0x18180 | 0x20), Result::InvalidParam);
    WaveFormat eightBit = Pcm16(44100, 1);
    eightBit.bitsPerSample = 8;
    eightBit.blockAlign = 1;
    eightBit.avgBytesPerSec = 44100;
    EXPECT_EQ(create(eightBit, 64), Result::InvalidParam);
    WaveFormat badAlign = Pcm16(44100, 2);
    badAlign.blockAlign = 2;
    EXPECT_EQ(create(badAlign, 64), Result::InvalidParam);

    // The primary buffer: no size, no format; its format is stored.
    BufferDesc primary;
    primary.flags = DSBCAPS_PRIMARYBUFFER;
    std::unique_ptr<SoundBuffer> buffer;
    ASSERT_EQ(device->CreateSoundBuffer(&primary, &buffer), Result::Ok);
    const WaveFormat cd = Pcm16(44100, 2);
    EXPECT_EQ(buffer->SetFormat(&cd), Result::Ok);
    EXPECT_EQ(buffer->Lock(0, 4, nullptr, nullptr, nullptr, nullptr, 0), Result::InvalidCall);
    primary.bufferBytes = 4;
    EXPECT_EQ(device->CreateSoundBuffer(&primary, &buffer), Result::InvalidParam);
    EXPECT_EQ(buffer, nullptr);

    auto plain = device.Buffer(44100, 1, std::vector<int16_t>(8), 0);
    EXPECT_EQ(plain->SetVolume(0), Result::ControlUnavail);
    std::unique_ptr<SoundNotify> notify;
    EXPECT_EQ(plain->QueryNotify(&notify), Result::NoInterface);
    auto full = device.Buffer(44100, 1, std::vector<int16_t>(8));
    EXPECT_EQ(full->SetVolume(1), Result::InvalidParam);
    EXPECT_EQ(full->SetVolume(-10001), Result::InvalidParam);
    ASSERT_EQ(full->QueryNotify(&notify), Result::Ok);
    const PositionNotify beyond[] = {{16, nullptr}};
    EXPECT_EQ(notify->SetNotificationPositions(1, beyond), Result::InvalidParam);
}

TEST(AudioBuffer, InjectedFaultsAnswerTheirCodes)
{
    ClearFaults();
    SetOutputKind(OutputKind::Manual);
    std::unique_ptr<DirectSound> device;
    InjectFault(Fault::CreateDevice, Result::NoDriver);
    EXPECT_EQ(DirectSoundCreate(nullptr, &device), Result::NoDriver);
    EXPECT_EQ(device, nullptr);
    ResetOutputKind();

    ManualDevice manual;
    InjectFault(Fault::CooperativeLevel, Result::Allocated);
    EXPECT_EQ(manual->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), Result::Allocated);
    BufferDesc primary;
    primary.flags = DSBCAPS_PRIMARYBUFFER;
    std::unique_ptr<SoundBuffer> buffer;
    InjectFault(Fault::CreatePrimary, Result::OutOfMemory);
    EXPECT_EQ(manual->CreateSoundBuffer(&primary, &buffer), Result::OutOfMemory);
    const WaveFormat format = Pcm16(44100, 2);
    BufferDesc secondary;
    secondary.flags = 0x18180;
    secondary.bufferBytes = 64;
    secondary.format = &format;
    InjectFault(Fault::CreateSecondary, Result::Fail);
    EXPECT_EQ(manual->CreateSoundBuffer(&secondary, &buffer), Result::Fail);
    ASSERT_EQ(manual->CreateSoundBuffer(&secondary, &buffer), Result::Ok);

    void* p1 = nullptr;
    uint32_t n1 = 0;
    InjectFault(Fault::Lock, Result::InvalidCall);
    EXPECT_EQ(buffer->Lock(0, 32, &p1, &n1, nullptr, nullptr, 0), Result::InvalidCall);
    uint32_t play = 0xFFFFFFFF;
    InjectFault(Fault::GetCurrentPosition, Result::Fail);
    EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), Result::Fail);
    EXPECT_EQ(play, 0xFFFFFFFFu);

    // A lost buffer stops, refuses Play and Lock until Restore.
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    InjectFault(Fault::BufferLost, Result::BufferLost);
    uint32_t status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, 0), Result::BufferLost);
    EXPECT_EQ(buffer->Lock(0, 32, &p1, &n1, nullptr, nullptr, 0), Result::BufferLost);
    EXPECT_EQ(buffer->Restore(), Result::Ok);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(buffer->Play(0, 0, 0), Result::Ok);
}

TEST(AudioBuffer, CallLogRecordsWhatEachBufferReceives)
{
    ManualDevice device;
    EnableCallLog(true);
    const WaveFormat format = Pcm16(44100, 2);
    BufferDesc desc;
    desc.flags = 0x18180;
    desc.bufferBytes = 352800;
    desc.format = &format;
    std::unique_ptr<SoundBuffer> buffer;
    ASSERT_EQ(device->CreateSoundBuffer(&desc, &buffer), Result::Ok);
    std::unique_ptr<SoundNotify> notify;
    buffer->QueryNotify(&notify);
    const PositionNotify positions[] = {{0, nullptr}, {176400, nullptr}};
    notify->SetNotificationPositions(2, positions);
    buffer->SetVolume(-1250);
    void* p1 = nullptr;
    uint32_t n1 = 0;
    buffer->Lock(176400, 176400, &p1, &n1, nullptr, nullptr, 0);
    buffer->Unlock(p1, n1, nullptr, 0);
    buffer->Play(0, 0, DSBPLAY_LOOPING);
    buffer->Stop();
    const uint32_t id = buffer->GetId();
    buffer.reset();
    const auto log = TakeCallLog();
    EnableCallLog(false);
    EXPECT_EQ(CallsOf(log, id),
              (std::vector<std::string>{"CreateSoundBuffer 352800 0x18180",
                                        "SetNotificationPositions 0 176400", "SetVolume -1250",
                                        "Lock 176400 176400", "Unlock 176400 0", "Play 1", "Stop",
                                        "Release"}));
}
