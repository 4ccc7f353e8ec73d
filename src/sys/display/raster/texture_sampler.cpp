// Texture reads: level choice, addressing and filtering.
#include "sys/display/raster/texture_sampler.h"

#include "sys/display/surface.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sys::display
{

TextureView MakeTextureView(Surface* surface)
{
    TextureView view;
    if (surface == nullptr)
        return view;
    const PixelFormat& format = surface->GetPixelFormat();
    if (format.IsDepth() || !format.IsRgb())
        return view;
    view.mLayout = surface->GetChannelLayout();
    if (format.mBitCount == 32 && format.mRMask == 0x00FF0000u && format.mGMask == 0x0000FF00u &&
        format.mBMask == 0x000000FFu)
        view.mKind = format.HasAlpha() && format.mAMask == 0xFF000000u ? TexelKind::Argb32
                                                                       : TexelKind::Xrgb32;
    else
        view.mKind = TexelKind::Generic;
    for (Surface* level = surface; level != nullptr && view.mLevelCount < MAX_TEXTURE_LEVELS;
         level = level->GetNextMipLevel().get())
    {
        TextureLevel& out = view.mLevels[view.mLevelCount++];
        out.mBits = level->GetBits();
        out.mWidth = static_cast<int32_t>(level->GetWidth());
        out.mHeight = static_cast<int32_t>(level->GetHeight());
        out.mPitch = level->GetPitch();
        if (out.mWidth <= 0 || out.mHeight <= 0 || out.mBits == nullptr)
        {
            --view.mLevelCount;
            break;
        }
    }
    return view;
}

void TextureSampler::Bind(const TextureView* view, const SamplerState& state)
{
    mView = view;
    mState = state;
}

namespace
{
constexpr float kMaxLod = 64.0f;
} // namespace

float TextureSampler::ComputeLod(float dudx, float dvdx, float dudy, float dvdy) const
{
    if (!IsBound())
        return 0.0f;
    float w = static_cast<float>(mView->mLevels[0].mWidth);
    float h = static_cast<float>(mView->mLevels[0].mHeight);
    float xLen = (dudx * w) * (dudx * w) + (dvdx * h) * (dvdx * h);
    float yLen = (dudy * w) * (dudy * w) + (dvdy * h) * (dvdy * h);
    float rho2 = std::max(xLen, yLen);
    if (!(rho2 > 0.0f))
        return 0.0f;
    // Derivatives that overflow (absurd texture coordinates) give an infinite footprint; held
    // far past the last level so that callers can turn it into a level number.
    return std::min(0.5f * std::log2(rho2), kMaxLod);
}

int64_t TextureSampler::ToFixed(float coord, int32_t size)
{
    // Far-away coordinates only matter modulo the texture; keep them within +-2^40, then round
    // half up without a branch (biased to positive so truncation is a floor).
    constexpr double limit = 1099511627776.0; // 2^40
    double s = static_cast<double>(coord) * size * 256.0 - 128.0;
    if (!(s > -limit)) // NaN too
        s = -limit;
    else if (s > limit)
        s = limit;
    return static_cast<int64_t>(s + (2.0 * limit + 0.5)) - (int64_t{2} << 40);
}

uint32_t TextureSampler::SamplePointFixed(int level, int64_t s, int64_t t) const
{
    const TextureLevel& l = mView->mLevels[level];
    int32_t x = AddressTexel((s + 128) >> 8, l.mWidth, mState.mAddressU);
    int32_t y = AddressTexel((t + 128) >> 8, l.mHeight, mState.mAddressV);
    return ReadTexel(*mView, l, x, y);
}

uint32_t TextureSampler::SampleLinearFixed(int level, int64_t s, int64_t t) const
{
    const TextureLevel& l = mView->mLevels[level];
    int64_t sx = s >> 8;
    int64_t sy = t >> 8;
    uint32_t fx = static_cast<uint32_t>(s & 255);
    uint32_t fy = static_cast<uint32_t>(t & 255);
    int32_t x0 = AddressTexel(sx, l.mWidth, mState.mAddressU);
    int32_t x1 = AddressTexel(sx + 1, l.mWidth, mState.mAddressU);
    int32_t y0 = AddressTexel(sy, l.mHeight, mState.mAddressV);
    int32_t y1 = AddressTexel(sy + 1, l.mHeight, mState.mAddressV);
    uint32_t c00 = ReadTexel(*mView, l, x0, y0), c10 = ReadTexel(*mView, l, x1, y0);
    uint32_t c01 = ReadTexel(*mView, l, x0, y1), c11 = ReadTexel(*mView, l, x1, y1);
#if defined(__SSE2__)
    // The same two rounding steps as BilinearMix, in vector lanes.
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    __m128i top = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c00)),
                                                       _mm_cvtsi32_si128(static_cast<int>(c10))),
                                    zero);
    __m128i bottom = _mm_unpacklo_epi8(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c01)),
                                                          _mm_cvtsi32_si128(static_cast<int>(c11))),
                                       zero);
    __m128i v = _mm_add_epi16(_mm_mullo_epi16(top, _mm_set1_epi16(static_cast<short>(256 - fy))),
                              _mm_mullo_epi16(bottom, _mm_set1_epi16(static_cast<short>(fy))));
    v = _mm_srli_epi16(_mm_add_epi16(v, c128), 8);
    const short wl = static_cast<short>(256 - fx), wr = static_cast<short>(fx);
    __m128i h = _mm_mullo_epi16(v, _mm_set_epi16(wr, wr, wr, wr, wl, wl, wl, wl));
    h = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(h, _mm_srli_si128(h, 8)), c128), 8);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(h, zero)));
#else
    return BilinearMix(c00, c10, c01, c11, fx, fy);
#endif
}

uint32_t TextureSampler::SampleLevel(int level, float u, float v, bool linear) const
{
    const TextureLevel& l = mView->mLevels[level];
    int64_t s = ToFixed(u, l.mWidth);
    int64_t t = ToFixed(v, l.mHeight);
    return linear ? SampleLinearFixed(level, s, t) : SamplePointFixed(level, s, t);
}

uint32_t TextureSampler::Sample(float u, float v, float lod) const
{
    if (!IsBound())
        return 0xFFFFFFFFu;
    if (!(lod > 0.0f) || mState.mMipFilter == TFP_NONE || mView->mLevelCount == 1)
    {
        bool linear = (lod > 0.0f ? mState.mMinFilter : mState.mMagFilter) == TFILTER_LINEAR;
        return SampleLevel(0, u, v, linear);
    }
    bool linear = mState.mMinFilter == TFILTER_LINEAR;
    int last = mView->mLevelCount - 1;
    if (mState.mMipFilter == TFP_POINT)
    {
        int level = static_cast<int>(std::floor(lod + 0.5f));
        return SampleLevel(std::min(level, last), u, v, linear);
    }
    int level = static_cast<int>(std::floor(lod));
    if (level >= last)
        return SampleLevel(last, u, v, linear);
    uint32_t f = static_cast<uint32_t>((lod - static_cast<float>(level)) * 256.0f + 0.5f);
    uint32_t a = SampleLevel(level, u, v, linear);
    if (f == 0)
        return a;
    uint32_t b = SampleLevel(level + 1, u, v, linear);
    if (f >= 256)
        return b;
    return CompactLanes(LerpLanes(ExpandLanes(a), ExpandLanes(b), f));
}

} // namespace sys::display
