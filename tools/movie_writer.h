// Writing films (".ogv"): one Theora stream (Ogg serial 1) and at most one Vorbis stream (serial
// 2), at a fixed quality and keyframe interval, pages interleaved by time, so that the same input
// always gives the same bytes. The encoder tool and the tests that need films both write through
// it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace movietool
{

// One picture as three planes of the picture's size (each chroma plane subsampled as the pixel
// format says: 4:2:0 halves both ways, 4:2:2 only across, 4:4:4 not at all; halves round up).
struct MovieFrame
{
    std::vector<uint8_t> mY;
    std::vector<uint8_t> mCb;
    std::vector<uint8_t> mCr;
    // Tests: instead of the encoded picture, a packet the decoder refuses (its frame is skipped).
    bool mCorrupt = false;
};

enum class MoviePixels
{
    k420,
    k422,
    k444
};

struct MovieSpec
{
    uint32_t mWidth = 0; // the picture
    uint32_t mHeight = 0;
    // Where the picture sits in the coded frame (whose size is the picture's and the offset's,
    // rounded up to whole 16-pixel blocks).
    uint32_t mPictureX = 0;
    uint32_t mPictureY = 0;
    uint32_t mFpsNumerator = 24;
    uint32_t mFpsDenominator = 1;
    MoviePixels mPixels = MoviePixels::k420;
    std::vector<std::pair<std::string, std::string>> mComments;
    // Interleaved signed 16-bit samples; no channels means no sound stream.
    uint32_t mChannels = 0;
    uint32_t mSampleRate = 0;
    std::vector<int16_t> mSamples;
};

// The chroma plane's size for a picture of width x height.
void ChromaSize(MoviePixels pixels, uint32_t width, uint32_t height, uint32_t& chromaWidth,
                uint32_t& chromaHeight);

// The film's bytes; false with `error` set when the spec or a frame's planes do not fit together
// or an encoder refuses its settings.
bool WriteMovie(const MovieSpec& spec, const std::vector<MovieFrame>& frames, std::string& out,
                std::string& error);

// A frame of one colour (video-range Y'CbCr values).
MovieFrame SolidFrame(const MovieSpec& spec, uint8_t y, uint8_t cb, uint8_t cr);

} // namespace movietool
