// The conversion of a decoded film picture (Y'CbCr, BT.601 video range, 4:2:0, 4:2:2 or 4:4:4) to
// opaque A8R8G8B8 pixels: only the picture region of the coded frame, each chroma sample shared by
// the pixels it covers.
#pragma once

#include <theora/codec.h>

#include <cstddef>
#include <cstdint>

struct TMoviePictureRegion
{
    th_pixel_fmt mFormat = TH_PF_420;
    uint32_t mX = 0; // in the coded frame, from its top left
    uint32_t mY = 0;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
};

// Writes width x height pixels to `out`, rows `pitch` pixels apart. The planes must hold the
// region (the decoder's frames always do).
void ConvertMoviePicture(const th_ycbcr_buffer planes, const TMoviePictureRegion& region,
                         uint32_t* out, size_t pitch);
