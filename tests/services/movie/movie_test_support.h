// Films for the movie tests, written in memory by the encoder's own writer: solid-colour frames,
// optional sound, and the damage the tests need (a first page with other picture sizes).
#pragma once

#include "movie_writer.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace movietest
{

using movietool::MovieFrame;
using movietool::MovieSpec;

// Video-range Y'CbCr of a few well-separated colours.
struct Colour
{
    uint8_t y, cb, cr;
};
constexpr Colour kColours[] = {{81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {180, 128, 128}};

// The colour's R, G, B as the conversion gives them (0x00RRGGBB).
inline uint32_t Rgb(const Colour& c)
{
    auto clip = [](int v) { return uint32_t(std::clamp(v >> 8, 0, 255)); };
    const int l = 298 * (c.y - 16) + 128, u = c.cb - 128, v = c.cr - 128;
    return clip(l + 409 * v) << 16 | clip(l - 100 * u - 208 * v) << 8 | clip(l + 516 * u);
}

// Within a few steps each way on every channel: the codec is lossy.
inline bool Near(uint32_t a, uint32_t b)
{
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 8)
            return false;
    return true;
}

inline MovieSpec SmallSpec(uint32_t fps = 10)
{
    MovieSpec spec;
    spec.mWidth = 64;
    spec.mHeight = 48;
    spec.mFpsNumerator = fps;
    return spec;
}

// `count` frames cycling through kColours.
inline std::vector<MovieFrame> SolidFrames(const MovieSpec& spec, size_t count)
{
    std::vector<MovieFrame> frames;
    for (size_t i = 0; i < count; ++i)
    {
        const Colour& c = kColours[i % std::size(kColours)];
        frames.push_back(movietool::SolidFrame(spec, c.y, c.cb, c.cr));
    }
    return frames;
}

// `ms` of a 440 Hz tone at 8000 samples a second, mono.
inline void AddTone(MovieSpec& spec, uint32_t ms)
{
    spec.mChannels = 1;
    spec.mSampleRate = 8000;
    spec.mSamples.resize(size_t(ms) * 8);
    for (size_t i = 0; i < spec.mSamples.size(); ++i)
        spec.mSamples[i] = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / 8000));
}

inline std::string Film(const MovieSpec& spec, const std::vector<MovieFrame>& frames)
{
    std::string out, error;
    EXPECT_TRUE(movietool::WriteMovie(spec, frames, out, error)) << error;
    return out;
}

// The film with its first page's Theora identification header claiming another coded and
// picture size (the page's checksum made right again, so only the sizes are wrong).
inline std::string WithClaimedSize(std::string film, uint32_t width, uint32_t height)
{
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(film.size()));
    std::memcpy(buffer, film.data(), film.size());
    ogg_sync_wrote(&sync, static_cast<long>(film.size()));
    ogg_page page;
    EXPECT_EQ(ogg_sync_pageout(&sync, &page), 1);
    // "\x80theora", version (3 bytes), then 16-bit block counts and 24-bit picture sizes.
    unsigned char* header = page.body;
    const uint32_t blocksW = (width + 15) / 16, blocksH = (height + 15) / 16;
    header[10] = static_cast<unsigned char>(blocksW >> 8);
    header[11] = static_cast<unsigned char>(blocksW);
    header[12] = static_cast<unsigned char>(blocksH >> 8);
    header[13] = static_cast<unsigned char>(blocksH);
    for (int i = 0; i < 3; ++i)
    {
        header[14 + i] = static_cast<unsigned char>(width >> (16 - 8 * i));
        header[17 + i] = static_cast<unsigned char>(height >> (16 - 8 * i));
    }
    ogg_page_checksum_set(&page);
    std::string patched(reinterpret_cast<char*>(page.header), page.header_len);
    patched.append(reinterpret_cast<char*>(page.body), page.body_len);
    const size_t first = patched.size();
    ogg_sync_clear(&sync);
    return patched + film.substr(first);
}

} // namespace movietest
