// Sound buffers of the stand-in device: the primary buffer (a stored format) and secondary
// buffers of 16-bit PCM that the mixer plays, with their notify interface.
#pragma once

#include "sys/audio/mixer.h"
#include "sys/audio/result.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sys::audio
{

struct WaveFormat
{
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};

struct BufferDesc
{
    uint32_t size = kBufferDescSize;
    uint32_t flags = 0;
    uint32_t bufferBytes = 0;
    uint32_t reserved = 0;
    const WaveFormat* format = nullptr;

    static constexpr uint32_t kBufferDescSize = 36;
};

struct PositionNotify
{
    uint32_t offset;
    void* event; // stored only: nothing waits on it
};

class SoundNotify
{
public:
    explicit SoundNotify(uint32_t bufferId, uint32_t bufferBytes)
        : mBufferId(bufferId), mBufferBytes(bufferBytes)
    {
    }
    // Offsets inside the buffer or DSBPN_OFFSETSTOP; InvalidParam otherwise (nothing stored).
    Result SetNotificationPositions(uint32_t count, const PositionNotify* positions);
    const std::vector<PositionNotify>& GetPositions() const { return mPositions; }

private:
    uint32_t mBufferId;
    uint32_t mBufferBytes;
    std::vector<PositionNotify> mPositions;
};

class SoundBuffer
{
public:
    // Made by DirectSound::CreateSoundBuffer, which has checked the description.
    SoundBuffer(std::shared_ptr<Mixer> mixer, const BufferDesc& desc, uint32_t id);
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Byte offsets: play = the next byte the mixer reads; write = play plus what the mixer may
    // read before its next pull (one output period at this buffer's rate, plus one frame for the
    // interpolation), wrapped. Equal while stopped. Either pointer may be null.
    Result GetCurrentPosition(uint32_t* play, uint32_t* write);
    // Hands out a copy of the region (two parts when it wraps, the second null otherwise); Unlock
    // commits it under the mixer's lock, so the mixer never reads a half-written region and the
    // caller may lock bytes still to be played.
    Result Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                uint32_t* bytes2, uint32_t flags);
    // Commits the bytes written; the counts may be smaller than the ones Lock gave.
    Result Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2);
    // From the current position, once (flags 0) or DSBPLAY_LOOPING.
    Result Play(uint32_t reserved, uint32_t priority, uint32_t flags);
    // Halts and keeps the position.
    Result Stop();
    // Hundredths of a decibel, DSBVOLUME_MIN..DSBVOLUME_MAX.
    Result SetVolume(int32_t volume);
    Result GetVolume(int32_t* volume);
    Result GetStatus(uint32_t* status);
    Result Restore();
    Result GetFormat(WaveFormat* format);
    // The primary buffer stores it; the output stays 44100 Hz 16-bit stereo.
    Result SetFormat(const WaveFormat* format);
    // The notify interface; NoInterface without DSBCAPS_CTRLPOSITIONNOTIFY.
    Result QueryNotify(std::unique_ptr<SoundNotify>* notify);

    bool IsPrimary() const { return mPrimary; }
    uint32_t GetId() const { return mId; }
    uint32_t GetSize() const { return mSize; }
    // Test aid: the buffer is lost (it stops) until Restore.
    void MarkLost();

private:
    struct Staging
    {
        std::vector<uint8_t> bytes; // the region, wrapped part after the first
        uint32_t offset;
        uint32_t bytes1;
    };
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    uint32_t WriteLead() const;

    std::shared_ptr<Mixer> mMixer;
    Voice mVoice; // under the mixer's lock
    uint32_t mId;
    uint32_t mFlags;
    uint32_t mSize;
    bool mPrimary;
    WaveFormat mFormat;
    int32_t mVolume = 0;
    bool mLost = false;
    std::vector<std::unique_ptr<Staging>> mLocks;
};

} // namespace sys::audio
