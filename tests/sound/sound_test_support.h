// Helpers of the sound layer's tests: Ogg files encoded here with libvorbisenc, their PCM as
// libvorbisfile decodes it, and a fixture with a scratch asset folder, a manual clock, the
// manual audio output and a sound manager, where time moves only with the pulled samples.
#pragma once

#include "platform/files/asset_manager.h"
#include "support/file_layer_fixture.h"
#include "sound/ogg_encode.h"
#include "sound/ogg_memory_source.h"
#include "sound/ogg_data_source.h"
#include "sound/sound.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"
#include "sys/clock.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace soundtest
{

// What libvorbisfile decodes from the bytes: 16-bit little-endian interleaved PCM, to the end or
// the first hole (or on over holes).
inline std::vector<int16_t> DecodeOgg(const std::string& bytes, bool overHoles = false)
{
    OggMemory memory{&bytes, 0};
    ov_callbacks callbacks = OggMemoryCallbacks();
    OggVorbis_File file;
    std::vector<int16_t> pcm;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0)
        return pcm;
    char chunk[4096];
    int section = 0;
    for (;;)
    {
        const long got = ov_read(&file, chunk, sizeof(chunk), 0, 2, 1, &section);
        if (got == OV_HOLE && overHoles)
            continue;
        if (got <= 0)
            break;
        const size_t at = pcm.size();
        pcm.resize(at + size_t(got) / 2);
        std::memcpy(pcm.data() + at, chunk, size_t(got));
    }
    ov_clear(&file);
    return pcm;
}

// Records the ends it is told, in order.
class RecordingCallBack : public TSoundCallBack
{
public:
    void OnSoundEnd(const std::shared_ptr<TSoundInstance>& instance,
                    const std::shared_ptr<TSound>& next) override
    {
        mEnds.push_back({instance, next});
    }
    std::vector<std::pair<std::shared_ptr<TSoundInstance>, std::shared_ptr<TSound>>> mEnds;
};

class SoundTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        FileLayerTest::SetUp();
        sys::SetManualClock(true, 100000);
        StartPlatformTime();
        sys::audio::ClearFaults();
        sys::audio::SetOutputKind(mOutput);
        sys::audio::EnableCallLog(true);
        ClearSoundDataSourceBuilders();
        RegisterOggBuilder();
        SetAssetManager(&mAssets);
    }

    void TearDown() override
    {
        mManager.reset();
        SetAssetManager(nullptr);
        ClearSoundDataSourceBuilders();
        sys::audio::EnableCallLog(false);
        sys::audio::ResetOutputKind();
        sys::audio::ClearFaults();
        sys::SetManualClock(false);
        FileLayerTest::TearDown();
    }

    // Writes the Ogg file under assets/ and rescans, so the file layer knows it.
    std::string AddOgg(const std::string& name, const std::vector<int16_t>& pcm, int channels,
                       int rate)
    {
        std::string bytes = EncodeOgg(pcm, channels, rate);
        AddFile(name, bytes);
        return bytes;
    }
    void AddFile(const std::string& name, const std::string& bytes)
    {
        const size_t slash = name.rfind('/');
        if (slash != std::string::npos)
            Folder("assets/" + name.substr(0, slash));
        Write("assets/" + name, bytes);
        ClearPathMap();
        InitFileSystem();
    }

    TSoundManager& StartManager()
    {
        mManager = std::make_unique<TSoundManager>();
        mManager->Init();
        return *mManager;
    }

    // Plays `ms` of time: pulls the samples in 50 ms steps, moves the clock with them, services
    // the streams (under the lock, so the sound thread cannot come in between) and dispatches.
    std::vector<int16_t> Run(uint32_t ms)
    {
        std::vector<int16_t> mixed;
        for (uint32_t done = 0; done < ms; done += 50)
        {
            const uint32_t step = std::min<uint32_t>(50, ms - done);
            std::vector<int16_t> out(size_t(step) * 441 / 10 * 2);
            sys::audio::RenderManual(out.data(), static_cast<uint32_t>(out.size() / 2));
            mixed.insert(mixed.end(), out.begin(), out.end());
            sys::AdvanceManualClock(step);
            mManager->Lock();
            mManager->Update(true);
            mManager->Unlock();
            mManager->DispatchNotifications();
        }
        return mixed;
    }

    std::vector<std::string> Calls(uint32_t buffer)
    {
        return sys::audio::CallsOf(sys::audio::GetCallLog(), buffer);
    }

    sys::audio::OutputKind mOutput = sys::audio::OutputKind::Manual;
    TAssetManager mAssets;
    std::unique_ptr<TSoundManager> mManager;
};

} // namespace soundtest
