// The device of the sound stand-in: capabilities, cooperative level and buffer creation over the
// mixer, and the output that pulls the mixed sound (SDL2 audio, a real-time null thread, manual
// pulls by tests, or none).
#pragma once

#include "sys/audio/mixer.h"
#include "sys/audio/result.h"
#include "sys/audio/sound_buffer.h"

#include <cstdint>
#include <memory>

namespace sys::audio
{

enum class OutputKind
{
    Sdl,
    Null,
    Manual,
    None,
};

// The output new devices use: the process-wide setting when tests made one, else
// MURKWELL_AUDIO_OUTPUT ("sdl", "null", "none"; anything else is logged and SDL is used), else SDL.
OutputKind GetOutputKind();
void SetOutputKind(OutputKind kind);
void ResetOutputKind();

struct Caps
{
    uint32_t size = 0; // must be kCapsSize
    uint32_t flags = 0;
    uint32_t minSecondaryRate = 0;
    uint32_t maxSecondaryRate = 0;
    uint32_t primaryBuffers = 0;
    uint32_t maxHwMixingAllBuffers = 0;

    static constexpr uint32_t kCapsSize = 96;
};
constexpr uint32_t DSCAPS_PRIMARYSTEREO = 0x2;
constexpr uint32_t DSCAPS_PRIMARY16BIT = 0x8;
constexpr uint32_t DSCAPS_SECONDARYMONO = 0x100;
constexpr uint32_t DSCAPS_SECONDARYSTEREO = 0x200;
constexpr uint32_t DSCAPS_SECONDARY16BIT = 0x800;

class Output;

class DirectSound
{
public:
    ~DirectSound();
    DirectSound(const DirectSound&) = delete;
    DirectSound& operator=(const DirectSound&) = delete;

    Result GetCaps(Caps* caps);
    // Any window handle, null included.
    Result SetCooperativeLevel(void* window, uint32_t level);
    // The primary buffer: DSBCAPS_PRIMARYBUFFER, no size, no format. A secondary buffer: a size
    // of DSBSIZE_MIN..DSBSIZE_MAX and 16-bit PCM, 1 or 2 channels, 100..200000 Hz.
    Result CreateSoundBuffer(const BufferDesc* desc, std::unique_ptr<SoundBuffer>* buffer);

    std::shared_ptr<Mixer> GetMixer() const { return mMixer; }
    OutputKind GetOutput() const { return mOutputKind; }

private:
    friend Result DirectSoundCreate(const void* guid, std::unique_ptr<DirectSound>* device);
    DirectSound(OutputKind kind, std::shared_ptr<Mixer> mixer, std::unique_ptr<Output> output);

    OutputKind mOutputKind;
    std::shared_ptr<Mixer> mMixer;
    std::unique_ptr<Output> mOutput;
    uint32_t mLevel = 0;
};

// Only the default device exists: `guid` must be null. Fails (NoDriver) with the "none" output
// and when SDL cannot open an audio device, having logged why in one line that ends "no audio
// output".
Result DirectSoundCreate(const void* guid, std::unique_ptr<DirectSound>* device);

// The manual output: mixes `frames` stereo frames from the newest live device made with it.
// Answers false (and zeros) when there is none.
bool RenderManual(int16_t* out, uint32_t frames);
// The mixer of the newest live device, whatever its output (null when none): for dumps and tests.
std::shared_ptr<Mixer> GetCurrentMixer();

} // namespace sys::audio
