// Sound buffers: cursors from the mixer's position, staged Lock/Unlock, play state and gain, the
// notify interface, and the call log each buffer writes in test mode.
#include "sys/audio/sound_buffer.h"
#include "sys/audio/test_hooks.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace sys::audio
{

Result SoundNotify::SetNotificationPositions(uint32_t count, const PositionNotify* positions)
{
    if (count > 0 && positions == nullptr)
        return Result::InvalidParam;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (positions[i].offset >= mBufferBytes && positions[i].offset != DSBPN_OFFSETSTOP)
            return Result::InvalidParam;
    }
    mPositions.assign(positions, positions + count);
    if (IsCallLogEnabled())
    {
        std::string call = "SetNotificationPositions";
        for (const PositionNotify& p : mPositions)
            call += " " + std::to_string(p.offset);
        AppendCall(mBufferId, std::move(call));
    }
    return Result::Ok;
}

SoundBuffer::SoundBuffer(std::shared_ptr<Mixer> mixer, const BufferDesc& desc, uint32_t id)
    : mMixer(std::move(mixer)), mId(id), mFlags(desc.flags), mSize(desc.bufferBytes),
      mPrimary((desc.flags & DSBCAPS_PRIMARYBUFFER) != 0)
{
    if (mPrimary)
    {
        // What the device plays until SetFormat stores something else.
        mFormat = {WAVE_FORMAT_PCM, 2, kOutputRate, kOutputRate * 4, 4, 16, 0};
        return;
    }
    mFormat = *desc.format;
    mVoice.channels = mFormat.channels;
    mVoice.rate = mFormat.samplesPerSec;
    mVoice.frames = mSize / mFormat.blockAlign;
    mVoice.samples.assign((mSize + 1) / 2, 0);
    mMixer->Add(&mVoice);
    Log("CreateSoundBuffer %u 0x%x", mSize, mFlags);
}

SoundBuffer::~SoundBuffer()
{
    if (mPrimary)
        return;
    mMixer->Remove(&mVoice);
    Log("Release");
}

void SoundBuffer::Log(const char* format, ...)
{
    if (!IsCallLogEnabled())
        return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    AppendCall(mId, line);
}

uint32_t SoundBuffer::WriteLead() const
{
    return SourceFramesFor(mMixer->GetPeriodFrames(), mVoice.rate) + 1;
}

Result SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write)
{
    if (const Result injected = TakeFault(Fault::GetCurrentPosition); Failed(injected))
        return injected;
    uint32_t playByte = 0;
    uint32_t writeByte = 0;
    if (!mPrimary)
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        const uint32_t frame = mVoice.frame;
        uint32_t writeFrame = frame;
        if (mVoice.playing)
            writeFrame = static_cast<uint32_t>((uint64_t(frame) + WriteLead()) % mVoice.frames);
        playByte = frame * mFormat.blockAlign;
        writeByte = writeFrame * mFormat.blockAlign;
    }
    if (play != nullptr)
        *play = playByte;
    if (write != nullptr)
        *write = writeByte;
    return Result::Ok;
}

Result SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1,
                         void** part2, uint32_t* bytes2, uint32_t flags)
{
    if (mPrimary)
        return Result::InvalidCall;
    if (part1 == nullptr || bytes1 == nullptr)
        return Result::InvalidParam;
    if (const Result injected = TakeFault(Fault::Lock); Failed(injected))
        return injected;
    if (mLost)
        return Result::BufferLost;
    if (flags & DSBLOCK_FROMWRITECURSOR)
        GetCurrentPosition(nullptr, &offset);
    if (flags & DSBLOCK_ENTIREBUFFER)
        bytes = mSize;
    if (offset >= mSize || bytes == 0 || bytes > mSize)
        return Result::InvalidParam;
    const uint32_t first = std::min(bytes, mSize - offset);
    const uint32_t second = bytes - first;
    if (second > 0 && (part2 == nullptr || bytes2 == nullptr))
        return Result::InvalidParam;

    auto staging = std::make_unique<Staging>();
    staging->bytes.resize(bytes);
    staging->offset = offset;
    staging->bytes1 = first;
    {
        // The copy starts as what the buffer holds, as a locked region would.
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        const uint8_t* data = reinterpret_cast<const uint8_t*>(mVoice.samples.data());
        std::memcpy(staging->bytes.data(), data + offset, first);
        std::memcpy(staging->bytes.data() + first, data, second);
    }
    *part1 = staging->bytes.data();
    *bytes1 = first;
    if (part2 != nullptr)
        *part2 = second > 0 ? staging->bytes.data() + first : nullptr;
    if (bytes2 != nullptr)
        *bytes2 = second;
    mLocks.push_back(std::move(staging));
    Log("Lock %u %u", offset, bytes);
    return Result::Ok;
}

Result SoundBuffer::Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2)
{
    auto it = std::find_if(mLocks.begin(), mLocks.end(),
                           [&](const auto& staging) { return staging->bytes.data() == part1; });
    if (it == mLocks.end())
        return Result::InvalidParam;
    Staging& staging = **it;
    const uint32_t second = static_cast<uint32_t>(staging.bytes.size()) - staging.bytes1;
    if (bytes1 > staging.bytes1 || bytes2 > second ||
        (bytes2 > 0 && part2 != staging.bytes.data() + staging.bytes1))
        return Result::InvalidParam;
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        uint8_t* data = reinterpret_cast<uint8_t*>(mVoice.samples.data());
        std::memcpy(data + staging.offset, staging.bytes.data(), bytes1);
        std::memcpy(data, staging.bytes.data() + staging.bytes1, bytes2);
    }
    mLocks.erase(it);
    Log("Unlock %u %u", bytes1, bytes2);
    return Result::Ok;
}

Result SoundBuffer::Play(uint32_t reserved, uint32_t priority, uint32_t flags)
{
    (void)reserved;
    (void)priority;
    if (mPrimary)
        return Result::Ok; // the device always runs
    if (mLost)
        return Result::BufferLost;
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        mVoice.playing = true;
        mVoice.looping = (flags & DSBPLAY_LOOPING) != 0;
    }
    Log("Play %u", flags);
    return Result::Ok;
}

Result SoundBuffer::Stop()
{
    if (!mPrimary)
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        mVoice.playing = false;
    }
    Log("Stop");
    return Result::Ok;
}

Result SoundBuffer::SetVolume(int32_t volume)
{
    if (!(mFlags & DSBCAPS_CTRLVOLUME))
        return Result::ControlUnavail;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX)
        return Result::InvalidParam;
    mVolume = volume;
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        mVoice.gain = GainFromVolume(volume);
    }
    Log("SetVolume %d", volume);
    return Result::Ok;
}

Result SoundBuffer::GetVolume(int32_t* volume)
{
    if (volume == nullptr)
        return Result::InvalidParam;
    if (!(mFlags & DSBCAPS_CTRLVOLUME))
        return Result::ControlUnavail;
    *volume = mVolume;
    return Result::Ok;
}

Result SoundBuffer::GetStatus(uint32_t* status)
{
    if (status == nullptr)
        return Result::InvalidParam;
    if (!mPrimary && TakeFault(Fault::BufferLost) != Result::Ok)
        MarkLost();
    if (mLost)
    {
        *status = DSBSTATUS_BUFFERLOST;
        return Result::Ok;
    }
    *status = 0;
    if (!mPrimary)
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        if (mVoice.playing)
            *status = DSBSTATUS_PLAYING | (mVoice.looping ? DSBSTATUS_LOOPING : 0);
    }
    return Result::Ok;
}

Result SoundBuffer::Restore()
{
    mLost = false;
    Log("Restore");
    return Result::Ok;
}

void SoundBuffer::MarkLost()
{
    mLost = true;
    if (!mPrimary)
    {
        std::lock_guard<std::mutex> lock(mMixer->GetMutex());
        mVoice.playing = false;
    }
}

Result SoundBuffer::GetFormat(WaveFormat* format)
{
    if (format == nullptr)
        return Result::InvalidParam;
    *format = mFormat;
    return Result::Ok;
}

Result SoundBuffer::SetFormat(const WaveFormat* format)
{
    if (!mPrimary)
        return Result::InvalidCall;
    if (format == nullptr || format->formatTag != WAVE_FORMAT_PCM || format->channels == 0 ||
        format->samplesPerSec == 0 || (format->bitsPerSample != 8 && format->bitsPerSample != 16))
        return Result::InvalidParam;
    mFormat = *format;
    return Result::Ok;
}

Result SoundBuffer::QueryNotify(std::unique_ptr<SoundNotify>* notify)
{
    if (notify == nullptr)
        return Result::InvalidParam;
    if (mPrimary || !(mFlags & DSBCAPS_CTRLPOSITIONNOTIFY))
        return Result::NoInterface;
    *notify = std::make_unique<SoundNotify>(mId, mSize);
    return Result::Ok;
}

} // namespace sys::audio
