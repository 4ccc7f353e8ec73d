// The 2-D fast path's span loops: one row of an affine polygon with one diffuse colour, no depth
// and no specular, into 32-bit pixels, with fixed-point texel stepping and vector blends.
#pragma once

#include "sys/display/rasterizer.h"
#include "sys/display/texture_sampler.h"

#include <cstdint>

namespace sys::display
{

// Texel coordinates are stepped in 1/2^24 texel, fine enough that the rounding of a plane's
// gradient moves no sample by a visible amount across a screen; samples are taken at 1/256.
constexpr int TEX_BITS = 24;
constexpr int64_t TEX_ONE = int64_t{1} << TEX_BITS;
inline int64_t To256(int64_t s)
{
    return (s + (TEX_ONE >> 9)) >> (TEX_BITS - 8);
}

// The 2-D fast path: affine triangles with one diffuse colour, no depth, no specular, a 32-bit
// target and a 32-bit texture level (or none). Texture coordinates step in 1/2^24 texel; texel
// centres sit on whole numbers. It gives the same bytes as the general path.
struct FastPlan
{
    enum class Source
    {
        Constant,
        Point,
        Linear
    };
    enum class Blend
    {
        Off,
        SrcAlpha,
        SrcAlphaOne,
        Generic
    };
    Source mSource = Source::Constant;
    Blend mBlend = Blend::Off;
    const PixelState* mState = nullptr;
    const TextureView* mView = nullptr;
    const TextureLevel* mLevel = nullptr;
    uint32_t mOrMask = 0;
    TextureAddress mAddressU = TADDRESS_CLAMP;
    TextureAddress mAddressV = TADDRESS_CLAMP;
    uint32_t mConstant = 0; // Source::Constant: the combined colour
    bool mGenericCombine = false;
    uint32_t mMultiplier = 0xFFFFFFFFu; // per-channel MODULATE factor (all 255: none)
    bool mConstAlpha = false;
    uint32_t mAlphaValue = 0;
    uint32_t mDiffuse = 0;
    uint32_t mSpecular = 0;
    bool mAlphaTest = false;
    CompareFunc mAlphaFunc = CMP_ALWAYS;
    uint32_t mAlphaRef = 0;
    // Texel coordinate planes: s = u * width - 0.5, t = v * height - 0.5.
    double mScaleS = 0, mScaleT = 0;
};

// Draws n pixels from dst on; s, t are the first pixel's texel coordinates and ds, dt their steps
// per pixel, in 1/2^24 texel (unused for an untextured plan). Answers the pixels written.
uint64_t DispatchFastSpan(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t,
                          int64_t ds, int64_t dt);

} // namespace sys::display
