// Ogg Vorbis files made in memory with libvorbisenc, from tones or noise, for the sound tests and
// benchmarks.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

} // namespace soundtest
