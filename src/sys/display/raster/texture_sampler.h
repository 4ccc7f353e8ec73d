// Texture reads for the rasteriser: mip level choice, WRAP / MIRROR / CLAMP addressing, point and
// bilinear filtering in 1/256-texel fixed point, every format read as A8R8G8B8.
#pragma once

#include "sys/display/raster/blend.h"
#include "sys/display/pixel_format.h"
#include "sys/display/render_states.h"

#include <cstdint>

namespace sys::display
{

class Surface;

constexpr int MAX_TEXTURE_LEVELS = 16;

struct TextureLevel
{
    const uint8_t* mBits = nullptr;
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mPitch = 0;
};

// How texels are stored: 32-bit ARGB read directly (with or without alpha), anything else through
// the format's channel masks.
enum class TexelKind
{
    Argb32,
    Xrgb32,
    Generic,
};

// A texture's mip chain as the sampler reads it.
struct TextureView
{
    TextureLevel mLevels[MAX_TEXTURE_LEVELS];
    int mLevelCount = 0;
    TexelKind mKind = TexelKind::Argb32;
    ChannelLayout mLayout;
};

// The view of a surface and the mip levels attached to it. Empty (0 levels) for a null surface
// or one whose format the sampler cannot read (depth formats).
TextureView MakeTextureView(Surface* surface);

struct SamplerState
{
    TextureFilter mMagFilter = TFILTER_POINT;
    TextureFilter mMinFilter = TFILTER_POINT;
    MipFilter mMipFilter = TFP_NONE;
    TextureAddress mAddressU = TADDRESS_WRAP;
    TextureAddress mAddressV = TADDRESS_WRAP;
};

// Integer texel coordinate after addressing into [0, size).
inline int32_t AddressTexel(int64_t i, int32_t size, TextureAddress mode)
{
    if (i >= 0 && i < size)
        return static_cast<int32_t>(i);
    // Texture sizes are mostly powers of two: a mask instead of a division.
    const bool pow2 = (size & (size - 1)) == 0;
    switch (mode)
    {
    case TADDRESS_WRAP:
    {
        if (pow2)
            return static_cast<int32_t>(i & (size - 1));
        int64_t m = i % size;
        return static_cast<int32_t>(m < 0 ? m + size : m);
    }
    case TADDRESS_MIRROR:
    {
        int64_t period = 2 * static_cast<int64_t>(size);
        int64_t m;
        if (pow2)
            m = i & (period - 1);
        else
        {
            m = i % period;
            if (m < 0)
                m += period;
        }
        return static_cast<int32_t>(m < size ? m : period - 1 - m);
    }
    default: // CLAMP, BORDER
        return static_cast<int32_t>(i < 0 ? 0 : (i >= size ? size - 1 : i));
    }
}

inline uint32_t ReadTexel(const TextureView& view, const TextureLevel& level, int32_t x, int32_t y)
{
    const uint8_t* row = level.mBits + static_cast<int64_t>(y) * level.mPitch;
    switch (view.mKind)
    {
    case TexelKind::Argb32:
        return reinterpret_cast<const uint32_t*>(row)[x];
    case TexelKind::Xrgb32:
        return reinterpret_cast<const uint32_t*>(row)[x] | 0xFF000000u;
    case TexelKind::Generic:
        break;
    }
    uint32_t bpp = view.mLayout.mBytesPerPixel;
    return UnpackArgb(view.mLayout, LoadRawPixel(row + x * bpp, bpp));
}

// Weighted mix of four texels, weights fx, fy in 1/256: first down each column (rounded), then
// across. The vector span loops compute exactly this.
inline uint32_t BilinearMix(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx,
                            uint32_t fy)
{
    uint64_t left = LerpLanes(ExpandLanes(c00), ExpandLanes(c01), fy);
    uint64_t right = LerpLanes(ExpandLanes(c10), ExpandLanes(c11), fy);
    return CompactLanes(LerpLanes(left, right, fx));
}

class TextureSampler
{
public:
    TextureSampler() = default;
    TextureSampler(const TextureView* view, const SamplerState& state) { Bind(view, state); }
    void Bind(const TextureView* view, const SamplerState& state);
    bool IsBound() const { return mView != nullptr && mView->mLevelCount > 0; }
    const TextureView* GetView() const { return mView; }
    const SamplerState& GetState() const { return mState; }

    // Level of detail from the derivatives of u and v (texture units per pixel): log2 of the
    // longer footprint axis in level-0 texels. <= 0 means magnification.
    float ComputeLod(float dudx, float dvdx, float dudy, float dvdy) const;

    // The filtered A8R8G8B8 value at (u, v); texel centres lie at (i + 0.5) / size.
    uint32_t Sample(float u, float v, float lod) const;

    // One level, coordinates in 1/256 texel with centres on multiples of 256 (s = u * size * 256
    // - 128).
    uint32_t SamplePointFixed(int level, int64_t s, int64_t t) const;
    uint32_t SampleLinearFixed(int level, int64_t s, int64_t t) const;

    // Converts a normalised coordinate to the fixed-point form above for a level's size.
    static int64_t ToFixed(float coord, int32_t size);

private:
    uint32_t SampleLevel(int level, float u, float v, bool linear) const;

    const TextureView* mView = nullptr;
    SamplerState mState;
};

} // namespace sys::display
