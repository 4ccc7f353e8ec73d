// Scan conversion of screen-space triangles, lines and points into a render target: the platform's
// rules (pixel centres at integer coordinates, top-left fill rule), attribute interpolation and the
// per-pixel pipeline (stage 0 combine, specular add, alpha test, depth test, blend).
#pragma once

#include "sys/display/pixel_format.h"
#include "sys/display/rect.h"
#include "sys/display/render_states.h"
#include "sys/display/raster/texture_sampler.h"

#include <cstdint>
#include <vector>

namespace sys::display
{

// A vertex after transformation and the viewport mapping.
struct RasterVertex
{
    float x = 0, y = 0; // pixels; a pixel's centre is at its integer coordinates
    float z = 0;        // depth 0..1
    float rhw = 1;      // 1 / w, for perspective-correct attributes
    float diffuse[4] = {255, 255, 255, 255}; // r, g, b, a in 0..255
    float specular[4] = {0, 0, 0, 0};        // r, g, b, a in 0..255
    float u = 0, v = 0;
};

struct RenderTargetView
{
    uint8_t* mBits = nullptr;
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mPitch = 0;
    ChannelLayout mLayout;
    // 32-bit with the usual red, green, blue masks: read and written as A8R8G8B8. The fourth byte
    // is blended like the others even where the format calls it unused, so a copy of the picture
    // into an alpha texture carries the blended alpha.
    bool mArgb32 = false;
};

struct DepthTargetView
{
    uint8_t* mBits = nullptr;
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mPitch = 0;
    uint32_t mBytesPerPixel = 0; // 2 or 4
};

// Depth 0..1 as the integer the depth buffer stores (16 bits, or 24 bits held in 32).
inline uint32_t QuantizeDepth(float z, uint32_t bytesPerPixel)
{
    float c = z < 0.0f ? 0.0f : (z > 1.0f ? 1.0f : z);
    if (bytesPerPixel == 2)
        return static_cast<uint32_t>(c * 65535.0f + 0.5f);
    return static_cast<uint32_t>(static_cast<double>(c) * 16777215.0 + 0.5);
}

// Everything the pixel pipeline needs for one draw.
struct PixelState
{
    TextureOp mColorOp = TOP_MODULATE;
    uint32_t mColorArg1 = TA_TEXTURE;
    uint32_t mColorArg2 = TA_CURRENT;
    TextureOp mAlphaOp = TOP_SELECTARG1;
    uint32_t mAlphaArg1 = TA_TEXTURE;
    uint32_t mAlphaArg2 = TA_CURRENT;
    uint32_t mTextureFactor = 0xFFFFFFFFu;
    TextureSampler mSampler; // unbound: every sample is opaque white
    bool mSpecularEnable = false;
    bool mAlphaTest = false;
    CompareFunc mAlphaFunc = CMP_ALWAYS;
    uint32_t mAlphaRef = 0;
    bool mBlend = false;
    BlendFactor mSrcBlend = BLEND_ONE;
    BlendFactor mDestBlend = BLEND_ZERO;
    bool mZEnable = false;
    bool mZWrite = false;
    CompareFunc mZFunc = CMP_LESSEQUAL;
    bool mLastPixel = true; // lines also light the pixel holding their end point
    Rect mScissor;          // the only pixels that may be written: viewport within the target
};

// Stage 0 when it is a per-channel product of the texel and the diffuse colour (the usual
// set-ups), so the pixel loops can skip the general combine.
struct StageShortcut
{
    bool mValid = false;
    bool mColorModulate = false;
    bool mAlphaModulate = false;
    bool mConstAlpha = false;
    uint32_t mAlphaValue = 0;
    bool mAlphaFromDiffuse = false; // alpha is the diffuse alpha alone
    // Not a product (mValid stays false): the texel's alpha as grey under the factor's alpha, what
    // a render target's alpha pass draws; the span loops take it without the general combine.
    bool mAlphaAsGrey = false;
};

// Stage 0: combines texel, diffuse, specular and texture factor as the state says.
uint32_t CombineStage0(const PixelState& state, uint32_t texel, uint32_t diffuse,
                       uint32_t specular);

class Rasterizer
{
public:
    void SetTarget(const RenderTargetView& target, const DepthTargetView* depth);
    void SetState(const PixelState* state) { mState = state; }

    // Any winding; culling is the caller's business.
    void DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c);
    // A convex quadrilateral whose attributes are affine over it (a parallelogram of a sprite):
    // the same pixels and values as its two triangles, with one span per row instead of two.
    void DrawQuad(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                  const RasterVertex& d);
    // Triangles (a, b, c) and (b, d, c) of a rectangle with sides along the axes as one quad,
    // where that gives the very bytes the two give; false (nothing drawn) otherwise.
    bool DrawSplitRectangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                            const RasterVertex& d);
    // Diamond-exit rule: a pixel is lit when the line leaves its diamond, so a line from a pixel's
    // centre to the next one's lights the first pixel only (both with LASTPIXEL).
    void DrawLine(const RasterVertex& a, const RasterVertex& b);
    void DrawPoint(const RasterVertex& a);

    // Pixels written since the last reset (tests and benchmarks).
    uint64_t GetPixelCount() const { return mPixelCount; }
    void ResetPixelCount() { mPixelCount = 0; }

private:
    struct Fragment
    {
        float z;
        uint32_t diffuse;
        uint32_t specular;
        float u, v, lod;
        // Affine triangles: texel coordinates in 1/256 at one level, stepped in fixed point.
        bool fixed;
        bool linear;
        int level;
        int64_t s8, t8;
        uint32_t mipWeight; // share of level + 1 (coordinates s8b, t8b), 0: one level
        int64_t s8b, t8b;
        bool depthTested;           // the caller already ran the depth test
        const StageShortcut* stage; // null: the general combine
    };
    void ShadeFragment(int32_t x, int32_t y, const Fragment& f);
    void DrawPolygon(const RasterVertex* const* v, int n);
    bool ScissorContains(int32_t x, int32_t y) const;
    bool DepthPasses(int32_t x, int32_t y, float z) const;

    RenderTargetView mTarget;
    DepthTargetView mDepth;
    bool mHasDepth = false;
    const PixelState* mState = nullptr;
    uint64_t mPixelCount = 0;
    std::vector<uint32_t> mRow; // one span in A8R8G8B8 for targets of other formats

    friend class TriangleSpanner;
};

} // namespace sys::display
