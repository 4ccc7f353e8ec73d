// Y'CbCr to A8R8G8B8 in 8.8 fixed point (R = 1.164 (Y - 16) + 1.596 (Cr - 128), G = 1.164 (Y - 16)
// - 0.391 (Cb - 128) - 0.813 (Cr - 128), B = 1.164 (Y - 16) + 2.018 (Cb - 128)), through tables of
// each term so that a pixel costs a few additions; a chroma row's terms are worked out once for
// every picture row that shares it.
#include "services/movie/movie_picture.h"

#include <algorithm>
#include <vector>

namespace
{

struct Terms
{
    int32_t mY[256];
    int32_t mRed[256];    // of Cr
    int32_t mGreenB[256]; // of Cb
    int32_t mGreenR[256]; // of Cr
    int32_t mBlue[256];   // of Cb
    Terms()
    {
        for (int i = 0; i < 256; ++i)
        {
            mY[i] = 298 * (i - 16) + 128;
            mRed[i] = 409 * (i - 128);
            mGreenB[i] = -100 * (i - 128);
            mGreenR[i] = -208 * (i - 128);
            mBlue[i] = 516 * (i - 128);
        }
    }
};

const Terms& GetTerms()
{
    static const Terms terms;
    return terms;
}

inline uint32_t Channel(int32_t value)
{
    return static_cast<uint32_t>(std::clamp(value >> 8, 0, 255));
}

} // namespace

void ConvertMoviePicture(const th_ycbcr_buffer planes, const TMoviePictureRegion& region,
                         uint32_t* out, size_t pitch)
{
    const Terms& terms = GetTerms();
    const int shiftX = region.mFormat == TH_PF_444 ? 0 : 1;
    const int shiftY = region.mFormat == TH_PF_420 ? 1 : 0;
    const uint32_t firstChroma = region.mX >> shiftX;
    const uint32_t lastChroma = (region.mX + region.mWidth - 1) >> shiftX;
    const size_t chromaCount = lastChroma - firstChroma + 1;
    // Per chroma sample of the current chroma row: the red, green and blue terms.
    thread_local std::vector<int32_t> rowTerms;
    rowTerms.resize(chromaCount * 3);
    int64_t termsRow = -1;
    for (uint32_t y = 0; y < region.mHeight; ++y)
    {
        const uint32_t frameY = region.mY + y;
        const uint32_t chromaY = frameY >> shiftY;
        if (chromaY != termsRow)
        {
            termsRow = chromaY;
            const unsigned char* cb =
                planes[1].data + static_cast<ptrdiff_t>(chromaY) * planes[1].stride + firstChroma;
            const unsigned char* cr =
                planes[2].data + static_cast<ptrdiff_t>(chromaY) * planes[2].stride + firstChroma;
            for (size_t c = 0; c < chromaCount; ++c)
            {
                rowTerms[c * 3] = terms.mRed[cr[c]];
                rowTerms[c * 3 + 1] = terms.mGreenB[cb[c]] + terms.mGreenR[cr[c]];
                rowTerms[c * 3 + 2] = terms.mBlue[cb[c]];
            }
        }
        const unsigned char* luma =
            planes[0].data + static_cast<ptrdiff_t>(frameY) * planes[0].stride + region.mX;
        uint32_t* row = out + y * pitch;
        for (uint32_t x = 0; x < region.mWidth; ++x)
        {
            const int32_t* t = &rowTerms[(((region.mX + x) >> shiftX) - firstChroma) * 3];
            const int32_t l = terms.mY[luma[x]];
            row[x] =
                0xFF000000u | Channel(l + t[0]) << 16 | Channel(l + t[1]) << 8 | Channel(l + t[2]);
        }
    }
}
