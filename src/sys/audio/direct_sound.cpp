// The device: checks of buffer descriptions, the registry of live devices for manual pulls, and
// the three outputs that pull from the mixer (SDL2 audio callback, null thread, manual).
#include "sys/audio/direct_sound.h"
#include "sys/audio/audio_log.h"
#include "sys/audio/test_hooks.h"
#include "sys/process/process.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace sys::audio
{

class Output
{
public:
    virtual ~Output() = default;
};

namespace
{
constexpr uint32_t kPeriodFrames = 1024;

std::mutex gSettingMutex;
std::optional<OutputKind> gOutputSetting;

std::atomic<uint32_t> gNextBufferId{1};

// Live devices, newest last. RenderManual mixes under this lock, so a device cannot go away
// during a pull.
std::mutex gRegistryMutex;
std::vector<DirectSound*> gDevices;

// Whether SDL could find anything to play on: a sound server's socket or a sound card. Asked
// with neither, SDL's back-ends (the sound card library first) print their complaints on the
// player's terminal; a driver chosen in SDL_AUDIODRIVER is always tried.
bool MayHaveAudioDevice()
{
    if (!GetEnvironmentVariable("SDL_AUDIODRIVER").empty())
        return true;
    struct stat st
    {
    };
    if (stat("/dev/snd", &st) == 0)
        return true;
    const std::string server = GetEnvironmentVariable("PULSE_SERVER");
    if (!server.empty())
        return true;
    const std::string runtime = GetEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.empty())
        return false;
    for (const char* socket : {"/pulse/native", "/pipewire-0"})
        if (stat((runtime + socket).c_str(), &st) == 0)
            return true;
    return false;
}

// Pulls from the mixer in SDL's audio thread. The callback takes only the mixer's lock.
class SdlOutput : public Output
{
public:
    static std::unique_ptr<SdlOutput> Open(const std::shared_ptr<Mixer>& mixer)
    {
        if (!MayHaveAudioDevice())
        {
            AudioLog("no sound card and no sound server: no audio output");
            return nullptr;
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        {
            AudioLog("SDL audio cannot start (%s): no audio output", SDL_GetError());
            return nullptr;
        }
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(kOutputRate);
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(kOutputChannels);
        want.samples = kPeriodFrames;
        want.callback = &SdlOutput::Callback;
        want.userdata = mixer.get();
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device plays.
        const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device == 0)
        {
            AudioLog("no SDL audio device (%s): no audio output", SDL_GetError());
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return nullptr;
        }
        if (have.samples > 0)
            mixer->SetPeriodFrames(have.samples);
        auto output = std::unique_ptr<SdlOutput>(new SdlOutput(device));
        SDL_PauseAudioDevice(device, 0);
        return output;
    }
    ~SdlOutput() override
    {
        // Closing waits for a running callback, so the mixer outlives every pull.
        SDL_CloseAudioDevice(mDevice);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

private:
    explicit SdlOutput(SDL_AudioDeviceID device) : mDevice(device) {}
    static void Callback(void* userdata, Uint8* stream, int length)
    {
        static_cast<Mixer*>(userdata)->Render(reinterpret_cast<int16_t*>(stream),
                                              static_cast<uint32_t>(length) / 4);
    }
    SDL_AudioDeviceID mDevice;
};

// Consumes the mix in real time on a thread of its own, for machines without a sound card.
class NullOutput : public Output
{
public:
    explicit NullOutput(std::shared_ptr<Mixer> mixer)
        : mMixer(std::move(mixer)), mStart(NullOutputClockMicroseconds())
    {
        mThread = std::thread([this] { Run(); });
    }
    ~NullOutput() override
    {
        {
            std::lock_guard<std::mutex> lock(mMutex);
            mStop = true;
        }
        mWake.notify_all();
        RunNullOutputStopHook();
        mThread.join();
    }

private:
    void Run()
    {
        const auto period =
            std::chrono::microseconds(uint64_t(kPeriodFrames) * 1000000 / kOutputRate);
        std::vector<int16_t> scratch(kPeriodFrames * kOutputChannels);
        // Time is taken in steps, each between 0 and a second: a clock read earlier than the last
        // reading (a broken monotonic clock, a virtual machine restored) adds nothing, and one
        // that leaps ahead (a suspend) is not made up for by minutes of mixing.
        int64_t last = mStart;
        uint64_t elapsed = 0;
        uint64_t consumed = 0;
        std::unique_lock<std::mutex> lock(mMutex);
        while (!mStop)
        {
            mWake.wait_for(lock, period);
            if (mStop)
                break;
            const int64_t now = NullOutputClockMicroseconds();
            elapsed +=
                static_cast<uint64_t>(std::clamp<int64_t>(now - last, 0, kMaxStepMicroseconds));
            last = now;
            const uint64_t due = elapsed * kOutputRate / 1000000;
            lock.unlock();
            while (consumed < due && !mStop)
            {
                const uint32_t frames =
                    static_cast<uint32_t>(std::min<uint64_t>(due - consumed, kPeriodFrames));
                mMixer->Render(scratch.data(), frames);
                consumed += frames;
            }
            lock.lock();
        }
    }

    static constexpr int64_t kMaxStepMicroseconds = 1000000;

    std::shared_ptr<Mixer> mMixer;
    // Read when the output opens, not when its thread first runs.
    int64_t mStart;
    std::mutex mMutex;
    std::condition_variable mWake;
    // Set under the mutex, read without it by the mixing loop.
    std::atomic<bool> mStop{false};
    std::thread mThread;
};

// Tests pull with RenderManual; nothing runs by itself.
class ManualOutput : public Output
{
};

Result CheckSecondaryFormat(const BufferDesc& desc)
{
    const WaveFormat* f = desc.format;
    if (f == nullptr || desc.bufferBytes < DSBSIZE_MIN || desc.bufferBytes > DSBSIZE_MAX)
        return Result::InvalidParam;
    if (f->formatTag != WAVE_FORMAT_PCM || f->bitsPerSample != 16 ||
        (f->channels != 1 && f->channels != 2) || f->samplesPerSec < DSBFREQUENCY_MIN ||
        f->samplesPerSec > DSBFREQUENCY_MAX || f->blockAlign != f->channels * 2 ||
        f->avgBytesPerSec != f->blockAlign * f->samplesPerSec || desc.bufferBytes < f->blockAlign)
        return Result::InvalidParam;
    return Result::Ok;
}
} // namespace

OutputKind GetOutputKind()
{
    {
        std::lock_guard<std::mutex> lock(gSettingMutex);
        if (gOutputSetting)
            return *gOutputSetting;
    }
    const std::string value = GetEnvironmentVariable("MURKWELL_AUDIO_OUTPUT");
    if (value.empty() || value == "sdl")
        return OutputKind::Sdl;
    if (value == "null")
        return OutputKind::Null;
    if (value == "none")
        return OutputKind::None;
    AudioLog("MURKWELL_AUDIO_OUTPUT \"%s\" is not sdl, null or none; using sdl", value.c_str());
    return OutputKind::Sdl;
}

void SetOutputKind(OutputKind kind)
{
    std::lock_guard<std::mutex> lock(gSettingMutex);
    gOutputSetting = kind;
}

void ResetOutputKind()
{
    std::lock_guard<std::mutex> lock(gSettingMutex);
    gOutputSetting.reset();
}

Result DirectSoundCreate(const void* guid, std::unique_ptr<DirectSound>* device)
{
    if (device == nullptr)
        return Result::InvalidParam;
    device->reset();
    if (const Result injected = TakeFault(Fault::CreateDevice); Failed(injected))
        return injected;
    if (guid != nullptr)
        return Result::NoDriver;
    const OutputKind kind = GetOutputKind();
    auto mixer = std::make_shared<Mixer>(kPeriodFrames);
    std::unique_ptr<Output> output;
    switch (kind)
    {
    case OutputKind::None:
        AudioLog("no sound device asked for (MURKWELL_AUDIO_OUTPUT=none): no audio output");
        return Result::NoDriver;
    case OutputKind::Sdl:
        output = SdlOutput::Open(mixer);
        if (output == nullptr)
            return Result::NoDriver;
        break;
    case OutputKind::Null:
        output = std::make_unique<NullOutput>(mixer);
        break;
    case OutputKind::Manual:
        output = std::make_unique<ManualOutput>();
        break;
    }
    device->reset(new DirectSound(kind, std::move(mixer), std::move(output)));
    return Result::Ok;
}

DirectSound::DirectSound(OutputKind kind, std::shared_ptr<Mixer> mixer,
                         std::unique_ptr<Output> output)
    : mOutputKind(kind), mMixer(std::move(mixer)), mOutput(std::move(output))
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    gDevices.push_back(this);
}

DirectSound::~DirectSound()
{
    {
        std::lock_guard<std::mutex> lock(gRegistryMutex);
        gDevices.erase(std::remove(gDevices.begin(), gDevices.end(), this), gDevices.end());
    }
    // Stops the pulls; buffers still alive keep the mixer and go quiet.
    mOutput.reset();
}

Result DirectSound::GetCaps(Caps* caps)
{
    if (caps == nullptr || caps->size != Caps::kCapsSize)
        return Result::InvalidParam;
    caps->flags = DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY16BIT | DSCAPS_SECONDARYMONO |
                  DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY16BIT;
    caps->minSecondaryRate = DSBFREQUENCY_MIN;
    caps->maxSecondaryRate = DSBFREQUENCY_MAX;
    caps->primaryBuffers = 1;
    caps->maxHwMixingAllBuffers = 0; // all mixing is in software
    return Result::Ok;
}

Result DirectSound::SetCooperativeLevel(void* window, uint32_t level)
{
    (void)window;
    if (const Result injected = TakeFault(Fault::CooperativeLevel); Failed(injected))
        return injected;
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY)
        return Result::InvalidParam;
    mLevel = level;
    return Result::Ok;
}

Result DirectSound::CreateSoundBuffer(const BufferDesc* desc, std::unique_ptr<SoundBuffer>* buffer)
{
    if (buffer == nullptr || desc == nullptr)
        return Result::InvalidParam;
    buffer->reset();
    if (desc->size != BufferDesc::kBufferDescSize || (desc->flags & ~kKnownBufferFlags) != 0)
        return Result::InvalidParam;
    const bool primary = (desc->flags & DSBCAPS_PRIMARYBUFFER) != 0;
    if (const Result injected = TakeFault(primary ? Fault::CreatePrimary : Fault::CreateSecondary);
        Failed(injected))
        return injected;
    if (mLevel == 0)
        return Result::PrioLevelNeeded;
    if (primary)
    {
        if (desc->bufferBytes != 0 || desc->format != nullptr)
            return Result::InvalidParam;
    }
    else if (const Result check = CheckSecondaryFormat(*desc); Failed(check))
    {
        return check;
    }
    buffer->reset(new SoundBuffer(mMixer, *desc, primary ? 0 : gNextBufferId++));
    return Result::Ok;
}

bool RenderManual(int16_t* out, uint32_t frames)
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    for (auto it = gDevices.rbegin(); it != gDevices.rend(); ++it)
    {
        if ((*it)->GetOutput() == OutputKind::Manual)
        {
            (*it)->GetMixer()->Render(out, frames);
            return true;
        }
    }
    std::fill(out, out + size_t(frames) * kOutputChannels, int16_t(0));
    return false;
}

std::shared_ptr<Mixer> GetCurrentMixer()
{
    std::lock_guard<std::mutex> lock(gRegistryMutex);
    return gDevices.empty() ? nullptr : gDevices.back()->GetMixer();
}

} // namespace sys::audio
