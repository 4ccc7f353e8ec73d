// The mixer's loops: one per channel count and resampling case, so the common 44100 Hz voices
// copy with a gain and the others interpolate.
#include "sys/audio/mixer.h"
#include "sys/audio/audio_log.h"
#include "sys/audio/result.h"
#include "sys/files/paths.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace sys::audio
{
namespace
{
// remainder (0..44099) to a 15-bit interpolation weight without a division per frame:
// 48696 / 65536 is 32768 / 44100 rounded up, and 44099 * 48696 still fits in 32 bits.
constexpr uint32_t kWeightScale = 48696;

inline int32_t Lerp(int32_t a, int32_t b, int32_t weight)
{
    return a + (((b - a) * weight) >> 15);
}

// Mixes up to `count` frames of one voice into `sum` (stereo pairs); answers false when a once
// voice reached its end (it is then stopped at frame 0).
template <uint32_t Channels, bool Resample> bool MixVoice(Voice& v, int32_t* sum, uint32_t count)
{
    const int16_t* s = v.samples.data();
    const uint32_t frames = v.frames;
    const uint32_t stepWhole = v.rate / kOutputRate;
    const uint32_t stepRem = v.rate % kOutputRate;
    const int32_t gain = v.gain;
    uint32_t frame = v.frame;
    uint32_t rem = v.remainder;
    for (uint32_t i = 0; i < count; ++i)
    {
        int32_t left = s[frame * Channels];
        int32_t right = Channels == 2 ? s[frame * Channels + 1] : left;
        if (Resample && rem != 0)
        {
            // The frame after the last is the first for a loop and silence for a single play.
            const uint32_t next = frame + 1 < frames ? frame + 1 : 0;
            int32_t nextLeft = 0;
            int32_t nextRight = 0;
            if (frame + 1 < frames || v.looping)
            {
                nextLeft = s[next * Channels];
                nextRight = Channels == 2 ? s[next * Channels + 1] : nextLeft;
            }
            const int32_t weight = static_cast<int32_t>((rem * kWeightScale) >> 16);
            left = Lerp(left, nextLeft, weight);
            right = Lerp(right, nextRight, weight);
        }
        sum[2 * i] += (left * gain) >> 16;
        sum[2 * i + 1] += (right * gain) >> 16;

        frame += stepWhole;
        rem += stepRem;
        if (rem >= kOutputRate)
        {
            rem -= kOutputRate;
            ++frame;
        }
        if (frame >= frames)
        {
            if (!v.looping)
            {
                v.frame = 0;
                v.remainder = 0;
                v.playing = false;
                return false;
            }
            frame %= frames;
        }
    }
    v.frame = frame;
    v.remainder = rem;
    return true;
}

// Moves a silent voice on as if it had been mixed, without touching the sum.
void AdvanceVoice(Voice& v, uint32_t count)
{
    const uint64_t total =
        static_cast<uint64_t>(v.remainder) + static_cast<uint64_t>(count) * v.rate;
    const uint64_t frame = v.frame + total / kOutputRate;
    if (frame >= v.frames && !v.looping)
    {
        v.frame = 0;
        v.remainder = 0;
        v.playing = false;
        return;
    }
    v.frame = static_cast<uint32_t>(frame % v.frames);
    v.remainder = static_cast<uint32_t>(total % kOutputRate);
}
} // namespace

uint32_t SourceFramesFor(uint32_t outputFrames, uint32_t rate)
{
    return static_cast<uint32_t>((static_cast<uint64_t>(outputFrames) * rate + kOutputRate - 1) /
                                 kOutputRate);
}

int32_t GainFromVolume(int32_t hundredthsOfDb)
{
    if (hundredthsOfDb <= DSBVOLUME_MIN)
        return 0;
    if (hundredthsOfDb >= 0)
        return 65536;
    return static_cast<int32_t>(std::lround(65536.0 * std::pow(10.0, hundredthsOfDb / 2000.0)));
}

void Mixer::Add(Voice* voice)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mVoices.push_back(voice);
}

void Mixer::Remove(Voice* voice)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mVoices.erase(std::remove(mVoices.begin(), mVoices.end(), voice), mVoices.end());
}

uint64_t Mixer::GetRenderedFrames()
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mRendered;
}

void Mixer::Render(int16_t* out, uint32_t frames)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mSum.assign(static_cast<size_t>(frames) * 2, 0);
    for (Voice* v : mVoices)
    {
        if (!v->playing || v->frames == 0)
            continue;
        if (v->gain == 0)
        {
            AdvanceVoice(*v, frames);
            continue;
        }
        const bool resample = v->rate != kOutputRate;
        if (v->channels == 2)
            resample ? MixVoice<2, true>(*v, mSum.data(), frames)
                     : MixVoice<2, false>(*v, mSum.data(), frames);
        else
            resample ? MixVoice<1, true>(*v, mSum.data(), frames)
                     : MixVoice<1, false>(*v, mSum.data(), frames);
    }
    for (size_t i = 0; i < mSum.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(mSum[i], -32768, 32767));
    mRendered += frames;
    if (mDumping)
        mDump.insert(mDump.end(), out, out + mSum.size());
}

void Mixer::StartDump(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mDumping = true;
    mDumpPath = path;
    mDump.clear();
}

bool Mixer::StopDump()
{
    std::vector<int16_t> samples;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mDumping)
            return false;
        mDumping = false;
        samples.swap(mDump);
        path.swap(mDumpPath);
    }
    return WriteWavFile(path, samples.data(), static_cast<uint32_t>(samples.size() / 2));
}

bool WriteWavFile(const std::string& path, const int16_t* samples, uint32_t frames)
{
    const uint32_t dataBytes = frames * 4;
    uint8_t header[44];
    auto put32 = [&](int at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            header[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](int at, uint32_t v)
    {
        header[at] = static_cast<uint8_t>(v);
        header[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    std::memcpy(header, "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, WAVE_FORMAT_PCM);
    put16(22, kOutputChannels);
    put32(24, kOutputRate);
    put32(28, kOutputRate * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(40, dataBytes);

    // A reader never sees a half-written file: write beside it, then rename over.
    std::string temp;
    std::string reason;
    std::FILE* file = CreateTemporaryFile(path, kTemporaryMarker, temp, reason);
    if (file == nullptr)
    {
        AudioLog("cannot write the sound dump \"%s\"", path.c_str());
        return false;
    }
    bool ok = std::fwrite(header, 1, sizeof(header), file) == sizeof(header);
    // The samples are stored little-endian, as the machine holds them.
    if (ok && frames > 0)
        ok = std::fwrite(samples, 4, frames, file) == frames;
    ok = std::fclose(file) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        std::remove(temp.c_str());
        AudioLog("cannot write the sound dump \"%s\"", path.c_str());
        return false;
    }
    return true;
}

} // namespace sys::audio
