// Helpers of the sound layer's tests: Ogg files encoded here with libvorbisenc, their PCM as
// libvorbisfile decodes it, and a fixture with a scratch asset folder, a manual clock, the
// manual audio output and a sound manager, where time moves only with the pulled samples.
#pragma once

#include "platform/asset_manager.h"
#include "platform/file_test_support.h"
#include "sound/ogg_data_source.h"
#include "sound/sound.h"
#include "sound/sound_manager.h"
#include "sys/audio/direct_sound.h"
#include "sys/audio/test_hooks.h"
#include "sys/clock.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace soundtest
{

// `frames` frames of a sine per channel (channel c at 220 x (c + 1) Hz), amplitude 8000.
inline std::vector<int16_t> Tone(int channels, int rate, uint32_t frames, double hz = 220.0)
{
    std::vector<int16_t> pcm(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[size_t(i) * channels + c] = static_cast<int16_t>(
                std::lround(8000 * std::sin(2 * M_PI * hz * (c + 1) * i / rate)));
    return pcm;
}

// Pseudo-random noise: it compresses badly, so most of its file is sound rather than headers.
inline std::vector<int16_t> Noise(int channels, uint32_t frames)
{
    std::vector<int16_t> pcm(size_t(frames) * channels);
    uint32_t state = 12345;
    for (auto& sample : pcm)
    {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<int16_t>(static_cast<int32_t>(state >> 16) - 32768) / 4;
    }
    return pcm;
}

inline std::string EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate)
{
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.4f) != 0)
        return {};
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 7);
    std::string out;
    ogg_page page;
    auto append = [&]
    {
        out.append(reinterpret_cast<const char*>(page.header), page.header_len);
        out.append(reinterpret_cast<const char*>(page.body), page.body_len);
    };
    ogg_packet header, commentPacket, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentPacket, &codebooks);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codebooks);
    while (ogg_stream_flush(&stream, &page))
        append();
    auto drain = [&]
    {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet))
            {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page))
                    append();
            }
        }
    };
    const size_t frames = pcm.size() / channels;
    for (size_t done = 0; done < frames;)
    {
        const int n = static_cast<int>(std::min<size_t>(1024, frames - done));
        float** buffer = vorbis_analysis_buffer(&dsp, n);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i)
                buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, n);
        drain();
        done += n;
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page))
        append();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

// What libvorbisfile decodes from the bytes: 16-bit little-endian interleaved PCM.
inline std::vector<int16_t> DecodeOgg(const std::string& bytes)
{
    struct Memory
    {
        const std::string* bytes;
        size_t at;
    } memory{&bytes, 0};
    ov_callbacks callbacks = {
        [](void* p, size_t size, size_t count, void* s) -> size_t
        {
            auto* m = static_cast<Memory*>(s);
            const size_t n = std::min(size * count, m->bytes->size() - m->at);
            std::memcpy(p, m->bytes->data() + m->at, n);
            m->at += n;
            return size ? n / size : 0;
        },
        [](void* s, ogg_int64_t offset, int whence) -> int
        {
            auto* m = static_cast<Memory*>(s);
            const ogg_int64_t base = whence == 0 ? 0 : whence == 1 ? m->at : m->bytes->size();
            m->at =
                static_cast<size_t>(std::clamp<ogg_int64_t>(base + offset, 0, m->bytes->size()));
            return 0;
        },
        nullptr, [](void* s) -> long { return static_cast<long>(static_cast<Memory*>(s)->at); }};
    OggVorbis_File file;
    std::vector<int16_t> pcm;
    if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0)
        return pcm;
    char chunk[4096];
    int section = 0;
    for (;;)
    {
        const long got = ov_read(&file, chunk, sizeof(chunk), 0, 2, 1, &section);
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
