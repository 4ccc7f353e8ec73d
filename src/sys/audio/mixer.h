// The software mixer that takes the sound card's place: every playing voice resampled to 44100 Hz
// stereo by linear interpolation, scaled by its gain, summed in 32 bits and clamped to 16 bits.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sys::audio
{

// One secondary buffer's sound as the mixer sees it. Every field is read and written under the
// mixer's lock only: the buffer object on the caller's thread and the output's thread never
// touch it otherwise.
struct Voice
{
    std::vector<int16_t> samples; // interleaved, `channels` per frame
    uint32_t channels = 1;
    uint32_t rate = 44100;
    uint32_t frames = 0;
    // Position: a whole frame plus a remainder in 1/44100ths of a source frame. Stepping adds the
    // rate to the remainder exactly, so a loop played for hours never drifts.
    uint32_t frame = 0;
    uint32_t remainder = 0;
    bool playing = false;
    bool looping = false;
    int32_t gain = 65536; // 16.16 fixed point, 65536 = 0 dB
};

class Mixer
{
public:
    // `periodFrames`: the output frames one pull usually asks for, which sets how far the write
    // cursor leads the play cursor.
    explicit Mixer(uint32_t periodFrames = 1024) : mPeriodFrames(periodFrames) {}
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    void Add(Voice* voice);
    void Remove(Voice* voice);

    // Mixes `frames` stereo frames into `out` (2 x frames samples) and moves every playing voice
    // on. Takes only the mixer's lock, for the whole mix.
    void Render(int16_t* out, uint32_t frames);

    std::mutex& GetMutex() { return mMutex; }
    uint32_t GetPeriodFrames() const { return mPeriodFrames; }
    void SetPeriodFrames(uint32_t frames) { mPeriodFrames = frames; }
    // Frames mixed since the mixer was made.
    uint64_t GetRenderedFrames();

    // Debug aid: from now on keep a copy of everything mixed; StopDump writes it as a 44100 Hz
    // 16-bit stereo WAV file (to a temporary name, then renamed). False when nothing was started
    // or the file cannot be written.
    void StartDump(const std::string& path);
    bool StopDump();

private:
    std::mutex mMutex;
    std::vector<Voice*> mVoices;
    std::vector<int32_t> mSum;
    uint32_t mPeriodFrames;
    uint64_t mRendered = 0;
    bool mDumping = false;
    std::string mDumpPath;
    std::vector<int16_t> mDump;
};

// How many source frames a voice at `rate` plays during `outputFrames` output frames, rounded up.
uint32_t SourceFramesFor(uint32_t outputFrames, uint32_t rate);
// 10^(hundredths / 2000) in 16.16 fixed point; 0 at DSBVOLUME_MIN and below.
int32_t GainFromVolume(int32_t hundredthsOfDb);
// Writes 44100 Hz 16-bit stereo samples as a WAV file through a temporary name.
bool WriteWavFile(const std::string& path, const int16_t* samples, uint32_t frames);

} // namespace sys::audio
