// The 2-D fast path's span loops: one row of an affine polygon with one diffuse colour, no depth
// and no specular, into 32-bit pixels, with fixed-point texel stepping and vector blends.
#pragma once

#include "sys/display/raster/rasterizer.h"
#include "sys/display/raster/span_kernels.h"
#include "sys/display/raster/texture_sampler.h"

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

struct SpanCoords;

// The 2-D fast path: affine polygons with one diffuse colour, no depth, no specular and a 32-bit
// texture (or none), drawn into A8R8G8B8 pixels (other targets convert a row around it). Texel
// centres sit on whole coordinates. It gives the same bytes as the general path.
struct FastPlan
{
    enum class Source
    {
        Constant,
        Point,
        Linear,
        TwoLevels // a blend of two mip levels (each point or bilinear as mLinear says)
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
    int mLevelIndex = 0;
    bool mLinear = false;    // TwoLevels: the filter within each level
    uint32_t mMipWeight = 0; // TwoLevels: share of the next level, 1..255 of 256
    uint32_t mOrMask = 0;
    TextureAddress mAddressU = TADDRESS_CLAMP;
    TextureAddress mAddressV = TADDRESS_CLAMP;
    uint32_t mConstant = 0; // Source::Constant: the combined colour
    bool mGenericCombine = false;
    // With the general combine: the texel's alpha as grey, mGreyAlpha as alpha (same result).
    bool mAlphaAsGrey = false;
    uint32_t mGreyAlpha = 0;
    uint32_t mMultiplier = 0xFFFFFFFFu; // per-channel MODULATE factor (all 255: none)
    bool mConstAlpha = false;
    uint32_t mAlphaValue = 0;
    uint32_t mDiffuse = 0;
    uint32_t mSpecular = 0;
    bool mAlphaTest = false;
    CompareFunc mAlphaFunc = CMP_ALWAYS;
    uint32_t mAlphaRef = 0;
    // Rows copied one texel per pixel: the kernel chosen once per polygon (null: the plan's own
    // scalar loop) and what it applies.
    SpanKernel mRowKernel = nullptr;
    SpanOp mRowOp;
    // The widest instruction set the span loops may use (Scalar: the scalar loops only).
    SpanIsa mIsa = SpanIsa::Scalar;
    // Bilinear rows that all take the four-at-a-time loop: that loop, chosen once per polygon
    // (null: each row is dispatched on its own).
    uint64_t (*mLinearRow)(const FastPlan& p, uint32_t* dst, int64_t n,
                           const SpanCoords& c) = nullptr;
    // What that loop would otherwise work out at every row, worked out with it: a row then
    // starts from its first pixel's coordinates alone. 32-byte vectors, which the loop reads
    // where it needs them rather than keep in registers.
    struct QuadRows
    {
        alignas(32) int64_t mLaneS[4]; // lane k: k steps along the row and To256's rounding half
        alignas(32) int64_t mLaneT[4];
        alignas(32) int64_t mStepS[4]; // four pixels' steps
        alignas(32) int64_t mStepT[4];
        alignas(32) int32_t mMaxST[8];     // CLAMP: the last texel in 1/256, s and t alternating
        alignas(32) int32_t mLastXY[8];    // the last texel with a neighbour right (below), alike
        alignas(32) int16_t mToOffset[16]; // 4 and the pitch alternating: (x, y) to a byte offset
        alignas(32) uint16_t mOrMask[16];  // per channel, a pixel's four lanes at a time
        alignas(32) uint16_t mMultiplier[16];
        alignas(32) uint16_t mAlpha[16]; // the replaced alpha in every lane
        alignas(32) uint16_t mRound[16]; // 128 and 257: the division by 255
        alignas(32) uint16_t mTimes257[16];
        alignas(32) uint32_t mAlphaBits[8]; // 0xFF000000
        bool mSkipClear = false;            // samples of four clear texels leave the pixel alone
    } mQuad;
};

// Chooses the instruction set and the row kernel for a plan whose other fields are set.
void PrepareRowKernel(FastPlan& plan);

// Texel coordinates of a span's first pixel and their steps per pixel, in 1/2^24 texel; s2, t2
// for the next mip level when two are blended.
struct SpanCoords
{
    int64_t s = 0, t = 0, ds = 0, dt = 0;
    int64_t s2 = 0, t2 = 0, ds2 = 0, dt2 = 0;
};

// Draws n pixels from dst on (coordinates unused for an untextured plan). Answers the pixels
// written.
uint64_t DispatchFastSpan(const FastPlan& p, uint32_t* dst, int64_t n, const SpanCoords& c);

// A polygon whose rows are all the same span [.., .. + n) over `rows` rows from dst on (a pitch
// apart), texel coordinates c at the first pixel, stepped by (sDy, tDy) a row: drawn here, one
// texel per pixel, when every row would be a 1:1 copy inside the texture level. False (nothing
// drawn) otherwise; `written` gets the pixels written.
bool DrawAlignedRect(const FastPlan& p, uint8_t* dst, int64_t pitch, int64_t n, int64_t rows,
                     const SpanCoords& c, int64_t sDy, int64_t tDy, uint64_t& written);

// Sets mLinearRow when every row of a polygon whose texel coordinates lie within [sLo, sHi] x
// [tLo, tHi] (in 1/2^24 texel) would be drawn by the four-at-a-time bilinear loop anyway, so
// that rows skip the dispatch. ds and dt are the polygon's steps along a row.
void PrepareLinearRows(FastPlan& p, int64_t sLo, int64_t sHi, int64_t tLo, int64_t tHi, int64_t ds,
                       int64_t dt);

} // namespace sys::display
