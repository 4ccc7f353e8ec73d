// Y'CbCr to A8R8G8B8 in 8.8 fixed point: R = (298 (Y - 16) + 409 (Cr - 128) + 128) >> 8,
// G = (298 (Y - 16) - 100 (Cb - 128) - 208 (Cr - 128) + 128) >> 8,
// B = (298 (Y - 16) + 516 (Cb - 128) + 128) >> 8, each clamped to 0..255. A chroma row is spread
// to one value per pixel once for every picture row that shares it; the rows are then worked
// eight pixels at a time with SSE2 (every x86-64 processor has it), the rest one by one, both
// giving exactly the same values.
#include "services/movie/movie_picture.h"

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace
{

inline uint32_t Channel(int32_t value)
{
    return static_cast<uint32_t>(std::clamp(value >> 8, 0, 255));
}

// u and v centred (Cb - 128, Cr - 128).
inline uint32_t Pixel(int y, int u, int v)
{
    const int32_t l = 298 * (y - 16) + 128;
    return 0xFF000000u | Channel(l + 409 * v) << 16 | Channel(l - 100 * u - 208 * v) << 8 |
           Channel(l + 516 * u);
}

// One row: luma bytes, chroma already spread and centred (Cb - 128, Cr - 128).
void ConvertRow(const unsigned char* luma, const int16_t* u, const int16_t* v, uint32_t* out,
                uint32_t width)
{
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i sixteen = _mm_set1_epi16(16);
    const __m128i round = _mm_set1_epi32(128);
    const __m128i red = _mm_set_epi16(409, 298, 409, 298, 409, 298, 409, 298);
    const __m128i greenU = _mm_set_epi16(-100, 298, -100, 298, -100, 298, -100, 298);
    const __m128i greenV = _mm_set_epi16(128, -208, 128, -208, 128, -208, 128, -208);
    const __m128i blue = _mm_set_epi16(516, 298, 516, 298, 516, 298, 516, 298);
    const __m128i one = _mm_set1_epi16(1);
    const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
    // Two lanes of four pixels: the products of (a, b) pairs with the weights, summed.
    auto channel =
        [&](__m128i pairsLo, __m128i pairsHi, __m128i weights, __m128i addLo, __m128i addHi)
    {
        const __m128i lo =
            _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairsLo, weights), addLo), 8);
        const __m128i hi =
            _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairsHi, weights), addHi), 8);
        return _mm_packs_epi32(lo, hi);
    };
    for (; x + 8 <= width; x += 8)
    {
        const __m128i y = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + x)), zero),
            sixteen);
        const __m128i cu = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + x));
        const __m128i cv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + x));
        const __m128i r =
            channel(_mm_unpacklo_epi16(y, cv), _mm_unpackhi_epi16(y, cv), red, round, round);
        // G needs three terms: (Y, Cb) with (298, -100), then (Cr, 1) with (-208, 128) added in
        // 32 bits before the shift.
        const __m128i g = channel(_mm_unpacklo_epi16(y, cu), _mm_unpackhi_epi16(y, cu), greenU,
                                  _mm_madd_epi16(_mm_unpacklo_epi16(cv, one), greenV),
                                  _mm_madd_epi16(_mm_unpackhi_epi16(cv, one), greenV));
        const __m128i b =
            channel(_mm_unpacklo_epi16(y, cu), _mm_unpackhi_epi16(y, cu), blue, round, round);
        // Clamped to bytes, then laid out B, G, R, A.
        const __m128i b8 = _mm_packus_epi16(b, zero);
        const __m128i g8 = _mm_packus_epi16(g, zero);
        const __m128i r8 = _mm_packus_epi16(r, zero);
        const __m128i bg = _mm_unpacklo_epi8(b8, g8);
        const __m128i ra = _mm_unpacklo_epi8(r8, opaque);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(bg, ra));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi16(bg, ra));
    }
#endif
    for (; x < width; ++x)
        out[x] = Pixel(luma[x], u[x], v[x]);
}

// One chroma row spread to one centred value per pixel of the region's row.
void Spread(const unsigned char* chroma, uint32_t firstX, int shiftX, int16_t* out, uint32_t width)
{
    uint32_t x = 0;
#if defined(__SSE2__)
    // Whole blocks of sixteen pixels whose chroma samples line up with them.
    if ((firstX & static_cast<uint32_t>(shiftX)) == 0)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i centre = _mm_set1_epi16(128);
        const uint32_t step = shiftX != 0 ? 16 : 8;
        for (; x + step <= width; x += step)
        {
            const __m128i c =
                _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(
                                                    chroma + ((firstX + x) >> shiftX))),
                                                zero),
                              centre);
            if (shiftX != 0)
            {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(c, c));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8), _mm_unpackhi_epi16(c, c));
            }
            else
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), c);
        }
    }
#endif
    for (; x < width; ++x)
        out[x] = static_cast<int16_t>(chroma[(firstX + x) >> shiftX] - 128);
}

} // namespace

void ConvertMoviePicture(const th_ycbcr_buffer planes, const TMoviePictureRegion& region,
                         uint32_t* out, size_t pitch)
{
    const int shiftX = region.mFormat == TH_PF_444 ? 0 : 1;
    const int shiftY = region.mFormat == TH_PF_420 ? 1 : 0;
    thread_local std::vector<int16_t> spreadU, spreadV;
    spreadU.resize(region.mWidth);
    spreadV.resize(region.mWidth);
    int64_t spreadRow = -1;
    for (uint32_t y = 0; y < region.mHeight; ++y)
    {
        const uint32_t frameY = region.mY + y;
        const uint32_t chromaY = frameY >> shiftY;
        if (chromaY != spreadRow)
        {
            spreadRow = chromaY;
            const unsigned char* cb =
                planes[1].data + static_cast<ptrdiff_t>(chromaY) * planes[1].stride;
            const unsigned char* cr =
                planes[2].data + static_cast<ptrdiff_t>(chromaY) * planes[2].stride;
            Spread(cb, region.mX, shiftX, spreadU.data(), region.mWidth);
            Spread(cr, region.mX, shiftX, spreadV.data(), region.mWidth);
        }
        const unsigned char* luma =
            planes[0].data + static_cast<ptrdiff_t>(frameY) * planes[0].stride + region.mX;
        ConvertRow(luma, spreadU.data(), spreadV.data(), out + y * pitch, region.mWidth);
    }
}
