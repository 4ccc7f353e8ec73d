// Helpers of the sound stand-in's tests: a manual-output device and buffers of given samples.
#pragma once

#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace audio_test
{
using namespace sys::audio;

inline WaveFormat Pcm16(uint32_t rate, uint16_t channels)
{
    const uint16_t align = static_cast<uint16_t>(channels * 2);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
}

// A device on the manual output; restores the setting and the fault queues when it goes.
class ManualDevice
{
public:
    explicit ManualDevice(OutputKind kind = OutputKind::Manual)
    {
        ClearFaults();
        SetOutputKind(kind);
        EXPECT_EQ(DirectSoundCreate(nullptr, &mDevice), Result::Ok);
        if (mDevice)
        {
            EXPECT_EQ(mDevice->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), Result::Ok);
        }
    }
    ~ManualDevice()
    {
        mDevice.reset();
        ResetOutputKind();
        ClearFaults();
    }
    DirectSound* operator->() { return mDevice.get(); }
    DirectSound* get() { return mDevice.get(); }
    void reset() { mDevice.reset(); }

    // A secondary buffer holding `samples` (interleaved); its size is the samples' bytes.
    std::unique_ptr<SoundBuffer> Buffer(uint32_t rate, uint16_t channels,
                                        const std::vector<int16_t>& samples,
                                        uint32_t flags = 0x18180)
    {
        const WaveFormat format = Pcm16(rate, channels);
        BufferDesc desc;
        desc.flags = flags;
        desc.bufferBytes = static_cast<uint32_t>(samples.size() * 2);
        desc.format = &format;
        std::unique_ptr<SoundBuffer> buffer;
        EXPECT_EQ(mDevice->CreateSoundBuffer(&desc, &buffer), Result::Ok);
        if (buffer)
            Write(*buffer, 0, samples);
        return buffer;
    }

    static void Write(SoundBuffer& buffer, uint32_t offset, const std::vector<int16_t>& samples)
    {
        void* p1 = nullptr;
        void* p2 = nullptr;
        uint32_t n1 = 0;
        uint32_t n2 = 0;
        const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
        ASSERT_EQ(buffer.Lock(offset, bytes, &p1, &n1, &p2, &n2, 0), Result::Ok);
        std::memcpy(p1, samples.data(), n1);
        if (n2 > 0)
            std::memcpy(p2, reinterpret_cast<const uint8_t*>(samples.data()) + n1, n2);
        ASSERT_EQ(buffer.Unlock(p1, n1, p2, n2), Result::Ok);
    }

private:
    std::unique_ptr<DirectSound> mDevice;
};

// Pulls `frames` stereo frames from the manual output.
inline std::vector<int16_t> Pull(uint32_t frames)
{
    std::vector<int16_t> out(size_t(frames) * 2);
    RenderManual(out.data(), frames);
    return out;
}

inline std::pair<uint32_t, uint32_t> Cursors(SoundBuffer& buffer)
{
    uint32_t play = 0xFFFFFFFF;
    uint32_t write = 0xFFFFFFFF;
    EXPECT_EQ(buffer.GetCurrentPosition(&play, &write), Result::Ok);
    return {play, write};
}

} // namespace audio_test
