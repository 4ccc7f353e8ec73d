// Triangle, line and point scan conversion and the per-pixel pipeline.
#include "sys/display/raster/rasterizer.h"

#include "sys/display/raster/blend.h"
#include "sys/display/raster/span_loops.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sys::display
{
namespace
{

// Vertex positions are snapped to 1/256 pixel before the edge functions are set up, so coverage
// is decided exactly in integers and shared edges are drawn once.
constexpr int64_t SUBPIXEL = 256;
// Farther than this (in pixels) a vertex is refused; the device clips long before.
constexpr float COORD_LIMIT = 1048576.0f;

int64_t FloorDiv(int64_t n, int64_t d) // d > 0
{
    int64_t q = n / d;
    if ((n % d) != 0 && n < 0)
        --q;
    return q;
}

// Nearest integer, halves away from zero, for values kept within +-2^52 (and NaN as the lower
// limit); inline because the library call shows in every span set-up.
inline int64_t RoundToInt(double v)
{
    constexpr double limit = 4503599627370496.0;
    if (!(v > -limit))
        v = -limit;
    else if (v > limit)
        v = limit;
    int64_t t = static_cast<int64_t>(v);
    double f = v - static_cast<double>(t);
    if (f >= 0.5)
        ++t;
    else if (f <= -0.5)
        --t;
    return t;
}

int64_t CeilDiv(int64_t n, int64_t d)
{
    return -FloorDiv(-n, d);
}

uint32_t ToByte(float v)
{
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<uint32_t>(v + 0.5f);
}

uint32_t PackColor(float r, float g, float b, float a)
{
    return ToByte(a) << 24 | ToByte(r) << 16 | ToByte(g) << 8 | ToByte(b);
}

uint32_t PackColor(const float c[4])
{
    return PackColor(c[0], c[1], c[2], c[3]);
}

uint32_t Complement(uint32_t c)
{
    return ~c;
}

uint32_t ReplicateAlpha(uint32_t c)
{
    uint32_t a = c >> 24;
    return a << 24 | a << 16 | a << 8 | a;
}

inline __attribute__((always_inline)) uint32_t
StageArgument(uint32_t arg, uint32_t texel, uint32_t diffuse, uint32_t specular, uint32_t factor)
{
    uint32_t v;
    switch (arg & TA_SELECTMASK)
    {
    case TA_TEXTURE:
        v = texel;
        break;
    case TA_TFACTOR:
        v = factor;
        break;
    case TA_SPECULAR:
        v = specular;
        break;
    default: // DIFFUSE, and CURRENT, which at stage 0 is the diffuse colour
        v = diffuse;
        break;
    }
    if (arg & TA_COMPLEMENT)
        v = Complement(v);
    if (arg & TA_ALPHAREPLICATE)
        v = ReplicateAlpha(v);
    return v;
}

uint32_t ApplyOp(TextureOp op, uint32_t a, uint32_t b, uint32_t current)
{
    switch (op)
    {
    case TOP_SELECTARG1:
        return a;
    case TOP_SELECTARG2:
        return b;
    case TOP_MODULATE:
        return ModulateArgb(a, b);
    case TOP_MODULATE2X:
    case TOP_MODULATE4X:
    {
        uint32_t shift = op == TOP_MODULATE2X ? 1 : 2;
        uint32_t out = 0;
        for (int s = 0; s < 32; s += 8)
        {
            uint32_t v = Mul255(ChannelOf(a, s), ChannelOf(b, s)) << shift;
            out |= std::min(v, 255u) << s;
        }
        return out;
    }
    case TOP_ADD:
    {
        uint32_t out = 0;
        for (int s = 0; s < 32; s += 8)
            out |= std::min(ChannelOf(a, s) + ChannelOf(b, s), 255u) << s;
        return out;
    }
    default: // DISABLE: the stage passes the current colour through
        return current;
    }
}

uint32_t AddSpecular(uint32_t color, uint32_t specular)
{
    uint32_t out = color & 0xFF000000u;
    for (int s = 0; s < 24; s += 8)
        out |= std::min(ChannelOf(color, s) + ChannelOf(specular, s), 255u) << s;
    return out;
}

bool IsDiffuseArg(uint32_t arg)
{
    return arg == TA_DIFFUSE || arg == TA_CURRENT;
}

} // namespace

uint32_t CombineStage0(const PixelState& state, uint32_t texel, uint32_t diffuse, uint32_t specular)
{
    uint32_t f = state.mTextureFactor;
    uint32_t color;
    if (state.mColorOp == TOP_DISABLE)
        return diffuse; // a disabled first stage disables the whole cascade
    // Both stages selecting their first argument (the alpha pass of a render target draws every
    // texel so) need neither second argument nor the general operation.
    if (state.mColorOp == TOP_SELECTARG1 && state.mAlphaOp == TOP_SELECTARG1)
    {
        color = StageArgument(state.mColorArg1, texel, diffuse, specular, f);
        uint32_t alpha =
            StageArgument(state.mAlphaArg1 & ~TA_ALPHAREPLICATE, texel, diffuse, specular, f);
        return (color & 0x00FFFFFFu) | (alpha & 0xFF000000u);
    }
    uint32_t c1 = StageArgument(state.mColorArg1, texel, diffuse, specular, f);
    uint32_t c2 = StageArgument(state.mColorArg2, texel, diffuse, specular, f);
    color = ApplyOp(state.mColorOp, c1, c2, diffuse);
    uint32_t a1 = StageArgument(state.mAlphaArg1 & ~TA_ALPHAREPLICATE, texel, diffuse, specular, f);
    uint32_t a2 = StageArgument(state.mAlphaArg2 & ~TA_ALPHAREPLICATE, texel, diffuse, specular, f);
    uint32_t alpha = ApplyOp(state.mAlphaOp, a1, a2, diffuse);
    return (color & 0x00FFFFFFu) | (alpha & 0xFF000000u);
}

void Rasterizer::SetTarget(const RenderTargetView& target, const DepthTargetView* depth)
{
    mTarget = target;
    mHasDepth = depth != nullptr && depth->mBits != nullptr &&
                (depth->mBytesPerPixel == 2 || depth->mBytesPerPixel == 4);
    mDepth = mHasDepth ? *depth : DepthTargetView{};
}

bool Rasterizer::DepthPasses(int32_t x, int32_t y, float z) const
{
    if (x >= mDepth.mWidth || y >= mDepth.mHeight)
        return true;
    const uint8_t* cell =
        mDepth.mBits + static_cast<int64_t>(y) * mDepth.mPitch + x * mDepth.mBytesPerPixel;
    uint32_t stored = mDepth.mBytesPerPixel == 2 ? *reinterpret_cast<const uint16_t*>(cell)
                                                 : *reinterpret_cast<const uint32_t*>(cell);
    return CompareValues(mState->mZFunc, QuantizeDepth(z, mDepth.mBytesPerPixel), stored);
}

bool Rasterizer::ScissorContains(int32_t x, int32_t y) const
{
    const Rect& r = mState->mScissor;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

void Rasterizer::ShadeFragment(int32_t x, int32_t y, const Fragment& f)
{
    const PixelState& s = *mState;
    uint8_t* depthCell = nullptr;
    uint32_t depthValue = 0;
    // Without ZENABLE the depth buffer is neither tested nor written.
    bool depth = s.mZEnable && mHasDepth && x < mDepth.mWidth && y < mDepth.mHeight;
    if (depth)
    {
        depthCell =
            mDepth.mBits + static_cast<int64_t>(y) * mDepth.mPitch + x * mDepth.mBytesPerPixel;
        depthValue = QuantizeDepth(f.z, mDepth.mBytesPerPixel);
        if (!f.depthTested)
        {
            uint32_t stored = mDepth.mBytesPerPixel == 2 ? *reinterpret_cast<uint16_t*>(depthCell)
                                                         : *reinterpret_cast<uint32_t*>(depthCell);
            if (!CompareValues(s.mZFunc, depthValue, stored))
                return;
        }
    }
    uint32_t texel = 0xFFFFFFFFu;
    if (f.fixed)
    {
        texel = f.linear ? s.mSampler.SampleLinearFixed(f.level, f.s8, f.t8)
                         : s.mSampler.SamplePointFixed(f.level, f.s8, f.t8);
        if (f.mipWeight != 0)
        {
            uint32_t next = f.linear ? s.mSampler.SampleLinearFixed(f.level + 1, f.s8b, f.t8b)
                                     : s.mSampler.SamplePointFixed(f.level + 1, f.s8b, f.t8b);
            texel = CompactLanes(LerpLanes(ExpandLanes(texel), ExpandLanes(next), f.mipWeight));
        }
    }
    else if (s.mSampler.IsBound())
        texel = s.mSampler.Sample(f.u, f.v, f.lod);
    uint32_t color;
    if (f.stage != nullptr)
    {
        // Texel times the diffuse colour per channel, as the stage states say.
        const StageShortcut& k = *f.stage;
        uint32_t mul = (k.mColorModulate ? f.diffuse & 0x00FFFFFFu : 0x00FFFFFFu) |
                       (k.mAlphaModulate ? f.diffuse & 0xFF000000u : 0xFF000000u);
        color = mul == 0xFFFFFFFFu ? texel : ModulateArgb(texel, mul);
        if (k.mConstAlpha)
            color = (color & 0x00FFFFFFu) | k.mAlphaValue;
        else if (k.mAlphaFromDiffuse)
            color = (color & 0x00FFFFFFu) | (f.diffuse & 0xFF000000u);
    }
    else
        color = CombineStage0(s, texel, f.diffuse, f.specular);
    if (s.mSpecularEnable)
        color = AddSpecular(color, f.specular);
    if (s.mAlphaTest && !CompareValues(s.mAlphaFunc, color >> 24, s.mAlphaRef))
        return;
    if (depth && s.mZWrite)
    {
        if (mDepth.mBytesPerPixel == 2)
            *reinterpret_cast<uint16_t*>(depthCell) = static_cast<uint16_t>(depthValue);
        else
            *reinterpret_cast<uint32_t*>(depthCell) = depthValue;
    }
    uint8_t* row = mTarget.mBits + static_cast<int64_t>(y) * mTarget.mPitch;
    if (mTarget.mArgb32)
    {
        uint32_t* p = reinterpret_cast<uint32_t*>(row) + x;
        *p = s.mBlend ? BlendArgb(color, *p, s.mSrcBlend, s.mDestBlend) : color;
    }
    else
    {
        uint32_t bpp = mTarget.mLayout.mBytesPerPixel;
        uint8_t* p = row + x * bpp;
        if (s.mBlend)
            color = BlendArgb(color, UnpackArgb(mTarget.mLayout, LoadRawPixel(p, bpp)), s.mSrcBlend,
                              s.mDestBlend);
        StoreRawPixel(p, bpp, PackArgb(mTarget.mLayout, color));
    }
    ++mPixelCount;
}

// Per-triangle set-up shared by the span loops: attribute planes over the screen.
class TriangleSpanner
{
public:
    enum Attr
    {
        Z,
        RHW,
        DR,
        DG,
        DB,
        DA,
        SR,
        SG,
        SB,
        SA,
        U,
        V,
        COUNT
    };
    double mX0 = 0, mY0 = 0;
    double mDx[COUNT] = {};
    double mDy[COUNT] = {};
    double mBase[COUNT] = {};
    bool mPerspective = false;
    bool mFlatDiffuse = false;
    bool mFlatSpecular = false;
    uint32_t mDiffuse = 0;
    uint32_t mSpecular = 0;
    float mLod = 0;

    void Setup(const RasterVertex* v[3], const double x[3], const double y[3],
               const TextureSampler& sampler)
    {
        mPerspective = !(v[0]->rhw == v[1]->rhw && v[1]->rhw == v[2]->rhw);
        double f[3][COUNT];
        for (int i = 0; i < 3; ++i)
        {
            double w = mPerspective ? v[i]->rhw : 1.0;
            f[i][Z] = v[i]->z;
            f[i][RHW] = v[i]->rhw;
            for (int c = 0; c < 4; ++c)
            {
                f[i][DR + c] = v[i]->diffuse[c] * w;
                f[i][SR + c] = v[i]->specular[c] * w;
            }
            f[i][U] = v[i]->u * w;
            f[i][V] = v[i]->v * w;
        }
        mX0 = x[0];
        mY0 = y[0];
        const double area = Area(x, y);
        for (int k = 0; k < COUNT; ++k)
            SetPlane(k, f[0][k], f[1][k], f[2][k], x, y, area);
        auto same = [&](const float* a, const float* b, const float* c)
        { return std::equal(a, a + 4, b) && std::equal(a, a + 4, c); };
        mFlatDiffuse = same(v[0]->diffuse, v[1]->diffuse, v[2]->diffuse);
        mFlatSpecular = same(v[0]->specular, v[1]->specular, v[2]->specular);
        mDiffuse = PackColor(v[0]->diffuse);
        mSpecular = PackColor(v[0]->specular);
        if (!mPerspective)
            mLod = sampler.ComputeLod(static_cast<float>(mDx[U]), static_cast<float>(mDx[V]),
                                      static_cast<float>(mDy[U]), static_cast<float>(mDy[V]));
    }

    // The texture coordinates' planes alone, as Setup makes them for corners of one rhw.
    void SetupTexturePlanes(const RasterVertex* v[3], const double x[3], const double y[3])
    {
        mX0 = x[0];
        mY0 = y[0];
        const double area = Area(x, y);
        SetPlane(U, v[0]->u * 1.0, v[1]->u * 1.0, v[2]->u * 1.0, x, y, area);
        SetPlane(V, v[0]->v * 1.0, v[1]->v * 1.0, v[2]->v * 1.0, x, y, area);
    }

    static double Area(const double x[3], const double y[3])
    {
        return (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    }

    void SetPlane(int k, double f0, double f1, double f2, const double x[3], const double y[3],
                  double area)
    {
        const double d1 = f1 - f0;
        const double d2 = f2 - f0;
        mDx[k] = (d1 * (y[2] - y[0]) - d2 * (y[1] - y[0])) / area;
        mDy[k] = (d2 * (x[1] - x[0]) - d1 * (x[2] - x[0])) / area;
        mBase[k] = f0;
    }

    double At(int k, double px, double py) const
    {
        return mBase[k] + mDx[k] * (px - mX0) + mDy[k] * (py - mY0);
    }
};

namespace
{

// For a level of detail that holds over a whole triangle: the one level and filter it samples,
// or false when it blends two levels.
void ChooseLevels(const TextureSampler& sampler, float lod, int& level, bool& linear,
                  uint32_t& weight)
{
    const SamplerState& ss = sampler.GetState();
    int last = sampler.GetView()->mLevelCount - 1;
    level = 0;
    weight = 0;
    if (!(lod > 0.0f) || ss.mMipFilter == TFP_NONE || last == 0)
    {
        linear = (lod > 0.0f ? ss.mMinFilter : ss.mMagFilter) == TFILTER_LINEAR;
        return;
    }
    linear = ss.mMinFilter == TFILTER_LINEAR;
    if (ss.mMipFilter == TFP_POINT)
    {
        level = std::min(static_cast<int>(std::floor(lod + 0.5f)), last);
        return;
    }
    level = static_cast<int>(std::floor(lod));
    if (level >= last)
    {
        level = last;
        return;
    }
    // Between two levels, with the weight rounded as the sampler rounds it; a whole weight
    // (e.g. a sprite at exactly half size) reads one level.
    weight = static_cast<uint32_t>((lod - static_cast<float>(level)) * 256.0f + 0.5f);
    if (weight >= 256)
    {
        ++level;
        weight = 0;
    }
}

StageShortcut ClassifyStage(const PixelState& state)
{
    // The stage as a per-channel product of the texel with the diffuse colour (either may be
    // left out per channel), or with a constant alpha; anything else takes the general combine.
    StageShortcut k;
    const auto diffuse = IsDiffuseArg;
    uint32_t c1 = state.mColorArg1, c2 = state.mColorArg2;
    if (state.mColorOp == TOP_SELECTARG1 && c1 == (TA_TEXTURE | TA_ALPHAREPLICATE) &&
        state.mAlphaOp == TOP_SELECTARG1 && (state.mAlphaArg1 & ~TA_ALPHAREPLICATE) == TA_TFACTOR)
    {
        k.mAlphaAsGrey = true;
        k.mAlphaValue = state.mTextureFactor & 0xFF000000u;
        return k;
    }
    switch (state.mColorOp)
    {
    case TOP_MODULATE:
        if (!((c1 == TA_TEXTURE && diffuse(c2)) || (c2 == TA_TEXTURE && diffuse(c1))))
            return k;
        k.mColorModulate = true;
        break;
    case TOP_SELECTARG1:
        if (c1 != TA_TEXTURE)
            return k;
        break;
    case TOP_SELECTARG2:
        if (c2 != TA_TEXTURE)
            return k;
        break;
    default:
        return k;
    }
    uint32_t a1 = state.mAlphaArg1 & ~TA_ALPHAREPLICATE, a2 = state.mAlphaArg2 & ~TA_ALPHAREPLICATE;
    switch (state.mAlphaOp)
    {
    case TOP_MODULATE:
        if (!((a1 == TA_TEXTURE && diffuse(a2)) || (a2 == TA_TEXTURE && diffuse(a1))))
            return k;
        k.mAlphaModulate = true;
        break;
    case TOP_SELECTARG1:
    case TOP_SELECTARG2:
    {
        uint32_t a = state.mAlphaOp == TOP_SELECTARG1 ? a1 : a2;
        if (a == TA_TFACTOR)
        {
            k.mConstAlpha = true;
            k.mAlphaValue = state.mTextureFactor & 0xFF000000u;
        }
        else if (diffuse(a))
            k.mAlphaFromDiffuse = true;
        else if (a != TA_TEXTURE)
            return k;
        break;
    }
    default:
        return k;
    }
    k.mValid = true;
    return k;
}

// Fills the fast-path plan for a triangle; false when the triangle needs the general path.
bool BuildFastPlan(const PixelState& state, const TriangleSpanner& span, bool depthActive,
                   FastPlan& plan)
{
    if (span.mPerspective || depthActive || !span.mFlatDiffuse || state.mSpecularEnable)
        return false;
    plan = FastPlan{};
    plan.mState = &state;
    plan.mDiffuse = span.mDiffuse;
    plan.mSpecular = span.mSpecular;
    plan.mAlphaTest = state.mAlphaTest;
    plan.mAlphaFunc = state.mAlphaFunc;
    plan.mAlphaRef = state.mAlphaRef;
    if (!state.mBlend)
        plan.mBlend = FastPlan::Blend::Off;
    else if (state.mSrcBlend == BLEND_SRCALPHA && state.mDestBlend == BLEND_INVSRCALPHA)
        plan.mBlend = FastPlan::Blend::SrcAlpha;
    else if (state.mSrcBlend == BLEND_SRCALPHA && state.mDestBlend == BLEND_ONE)
        plan.mBlend = FastPlan::Blend::SrcAlphaOne;
    else
        plan.mBlend = FastPlan::Blend::Generic;

    const TextureSampler& sampler = state.mSampler;
    if (!sampler.IsBound())
    {
        plan.mSource = FastPlan::Source::Constant;
        plan.mConstant = CombineStage0(state, 0xFFFFFFFFu, span.mDiffuse, span.mSpecular);
        return true;
    }
    const TextureView* view = sampler.GetView();
    if (view->mKind == TexelKind::Generic)
        return false;
    const SamplerState& ss = sampler.GetState();
    int level = 0;
    bool linear = false;
    uint32_t weight = 0;
    ChooseLevels(sampler, span.mLod, level, linear, weight);
    plan.mSource = weight != 0 ? FastPlan::Source::TwoLevels
                   : linear    ? FastPlan::Source::Linear
                               : FastPlan::Source::Point;
    plan.mView = view;
    plan.mLevel = &view->mLevels[level];
    plan.mLevelIndex = level;
    plan.mLinear = linear;
    plan.mMipWeight = weight;
    plan.mOrMask = view->mKind == TexelKind::Xrgb32 ? 0xFF000000u : 0;
    plan.mAddressU = ss.mAddressU;
    plan.mAddressV = ss.mAddressV;

    // Stage 0 as a per-channel product with the (flat) diffuse colour where it can be said so.
    const StageShortcut k = ClassifyStage(state);
    plan.mGenericCombine = !k.mValid;
    plan.mAlphaAsGrey = k.mAlphaAsGrey;
    plan.mGreyAlpha = k.mAlphaValue;
    plan.mMultiplier = (k.mColorModulate ? span.mDiffuse & 0x00FFFFFFu : 0x00FFFFFFu) |
                       (k.mAlphaModulate ? span.mDiffuse & 0xFF000000u : 0xFF000000u);
    plan.mConstAlpha = k.mConstAlpha || k.mAlphaFromDiffuse;
    plan.mAlphaValue = k.mAlphaFromDiffuse ? span.mDiffuse & 0xFF000000u : k.mAlphaValue;
    PrepareRowKernel(plan);
    return true;
}

// The outline as DrawPolygon draws it: corners snapped to 1/256 pixel and turned, the first kept
// first, so that inside is positive. False when it covers nothing: a corner beyond the limit (or
// NaN), no area, or no attribute plane through the first three corners.
bool SnapOutline(const RasterVertex* const* in, int n, const RasterVertex** v, int64_t* X,
                 int64_t* Y)
{
    for (int i = 0; i < n; ++i)
    {
        v[i] = in[i];
        if (!(std::fabs(v[i]->x) < COORD_LIMIT && std::fabs(v[i]->y) < COORD_LIMIT))
            return false; // also refuses NaN
        X[i] = RoundToInt(static_cast<double>(v[i]->x) * SUBPIXEL);
        Y[i] = RoundToInt(static_cast<double>(v[i]->y) * SUBPIXEL);
    }
    int64_t area = 0;
    for (int i = 0; i < n; ++i)
    {
        int j = (i + 1) % n;
        area += X[i] * Y[j] - X[j] * Y[i];
    }
    if (area == 0)
        return false;
    if (area < 0)
    {
        // Reverse the outline (keeping the first vertex) so that inside is positive.
        std::reverse(X + 1, X + n);
        std::reverse(Y + 1, Y + n);
        std::reverse(v + 1, v + n);
    }
    // The attribute planes come from the first three vertices.
    return (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]) != 0;
}

// The attribute planes of a snapped outline, from its first three corners (only the texture
// coordinates' without a sampler).
void SetupPlanes(TriangleSpanner& span, const RasterVertex** v, const int64_t* X, const int64_t* Y,
                 const TextureSampler* sampler)
{
    double xs[3], ys[3];
    for (int i = 0; i < 3; ++i)
    {
        xs[i] = static_cast<double>(X[i]) / SUBPIXEL;
        ys[i] = static_cast<double>(Y[i]) / SUBPIXEL;
    }
    if (sampler != nullptr)
        span.Setup(v, xs, ys, *sampler);
    else
        span.SetupTexturePlanes(v, xs, ys);
}

} // namespace

void Rasterizer::DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
{
    const RasterVertex* v[3] = {&a, &b, &c};
    DrawPolygon(v, 3);
}

void Rasterizer::DrawQuad(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c,
                          const RasterVertex& d)
{
    const RasterVertex* v[4] = {&a, &b, &c, &d};
    DrawPolygon(v, 4);
}

bool Rasterizer::DrawSplitRectangle(const RasterVertex& a, const RasterVertex& b,
                                    const RasterVertex& c, const RasterVertex& d)
{
    // Sides along the axes: the quad (b, d, c, a) covers the pixels of the two triangles, the
    // diagonal's once (its two directions are never both top-left), and all three share one
    // bounding box, where the texel planes start.
    if (!(a.x == c.x && b.x == d.x && a.y == b.y && c.y == d.y))
        return false;
    // One depth, rhw, diffuse and specular colour at every corner: those planes are flat, their
    // values the same in all three polygons.
    auto same = [&a](const RasterVertex& p)
    {
        return p.z == a.z && p.rhw == a.rhw && std::equal(a.diffuse, a.diffuse + 4, p.diffuse) &&
               std::equal(a.specular, a.specular + 4, p.specular);
    };
    if (!(same(b) && same(c) && same(d)))
        return false;
    const RasterVertex* whole[4] = {&b, &d, &c, &a};
    if (mState != nullptr && mTarget.mBits != nullptr && mState->mSampler.IsBound())
    {
        // Texture coordinates are read from planes stepped from the box's corner: each
        // triangle's and the quad's must agree there and in their steps, bit for bit.
        const RasterVertex* first[3] = {&a, &b, &c};
        const RasterVertex* second[3] = {&b, &d, &c};
        const RasterVertex* const* outlines[3] = {first, second, whole};
        TriangleSpanner spans[3];
        const RasterVertex* corners[3][4] = {};
        int64_t X[4], Y[4];
        for (int k = 0; k < 3; ++k)
        {
            if (!SnapOutline(outlines[k], k == 2 ? 4 : 3, corners[k], X, Y))
                return false;
            if (k == 2 && std::equal(corners[2], corners[2] + 3, corners[1]))
                spans[2] = spans[1]; // the same corners in the same order: the same planes
            else
                SetupPlanes(spans[k], corners[k], X, Y, nullptr);
        }
        const double ox =
            static_cast<double>(CeilDiv(std::min({X[0], X[1], X[2], X[3]}), SUBPIXEL));
        const double oy =
            static_cast<double>(CeilDiv(std::min({Y[0], Y[1], Y[2], Y[3]}), SUBPIXEL));
        for (int attr : {TriangleSpanner::U, TriangleSpanner::V})
            for (int k = 1; k < 3; ++k)
                if (!(spans[k].mDx[attr] == spans[0].mDx[attr] &&
                      spans[k].mDy[attr] == spans[0].mDy[attr] &&
                      spans[k].At(attr, ox, oy) == spans[0].At(attr, ox, oy)))
                    return false;
    }
    DrawPolygon(whole, 4);
    return true;
}

void Rasterizer::DrawPolygon(const RasterVertex* const* in, int n)
{
    if (mState == nullptr || mTarget.mBits == nullptr)
        return;
    if (n == 4 &&
        !(in[0]->rhw == in[1]->rhw && in[1]->rhw == in[2]->rhw && in[2]->rhw == in[3]->rhw))
    {
        // Perspective-correct attributes are not affine over a quad: two triangles.
        const RasterVertex* first[3] = {in[0], in[1], in[2]};
        const RasterVertex* second[3] = {in[0], in[2], in[3]};
        DrawPolygon(first, 3);
        DrawPolygon(second, 3);
        return;
    }
    Rect scissor = mState->mScissor;
    scissor.left = std::max(scissor.left, 0);
    scissor.top = std::max(scissor.top, 0);
    scissor.right = std::min(scissor.right, mTarget.mWidth);
    scissor.bottom = std::min(scissor.bottom, mTarget.mHeight);
    if (scissor.IsEmpty())
        return;

    const RasterVertex* v[4] = {};
    int64_t X[4], Y[4];
    if (!SnapOutline(in, n, v, X, Y))
        return;

    // The texel planes start from the polygon's own corner, not the scissor's, so a polygon cut
    // into bands samples exactly as it does whole.
    int64_t loX = X[0], hiX = X[0], loY = Y[0], hiY = Y[0];
    for (int i = 1; i < n; ++i)
    {
        loX = std::min(loX, X[i]);
        hiX = std::max(hiX, X[i]);
        loY = std::min(loY, Y[i]);
        hiY = std::max(hiY, Y[i]);
    }
    const int64_t originX = CeilDiv(loX, SUBPIXEL);
    const int64_t originY = CeilDiv(loY, SUBPIXEL);
    int64_t minX = std::max<int64_t>(originX, scissor.left);
    int64_t maxX = std::min<int64_t>(FloorDiv(hiX, SUBPIXEL), scissor.right - 1);
    int64_t minY = std::max<int64_t>(originY, scissor.top);
    int64_t maxY = std::min<int64_t>(FloorDiv(hiY, SUBPIXEL), scissor.bottom - 1);
    if (minX > maxX || minY > maxY)
        return;

    // Edge e runs from vertex e to vertex e + 1; inside is where A x + B y + C > 0, and a pixel
    // centre exactly on a top or left edge counts as inside.
    int64_t A[4], B[4], C[4];
    bool topLeft[4];
    for (int e = 0; e < n; ++e)
    {
        int next = (e + 1) % n;
        int64_t dx = X[next] - X[e];
        int64_t dy = Y[next] - Y[e];
        A[e] = -dy;
        B[e] = dx;
        C[e] = dy * X[e] - dx * Y[e];
        topLeft[e] = dy < 0 || (dy == 0 && dx > 0);
    }

    TriangleSpanner span;
    SetupPlanes(span, v, X, Y, &mState->mSampler);
    const bool textured = mState->mSampler.IsBound();
    // Affine triangles sample one level at coordinates stepped in fixed point, exactly as the
    // fast path does, so both paths give the same bytes.
    int fixedLevel = 0;
    bool fixedLinear = false;
    uint32_t mipWeight = 0;
    const bool fixedTex = textured && !span.mPerspective;
    if (fixedTex)
        ChooseLevels(mState->mSampler, span.mLod, fixedLevel, fixedLinear, mipWeight);
    // What the general path may leave out per pixel.
    const bool depthActive = mState->mZEnable && mHasDepth;
    auto selects = [](uint32_t arg, uint32_t which) { return (arg & TA_SELECTMASK) == which; };
    const bool needSpecular = mState->mSpecularEnable || selects(mState->mColorArg1, TA_SPECULAR) ||
                              selects(mState->mColorArg2, TA_SPECULAR) ||
                              selects(mState->mAlphaArg1, TA_SPECULAR) ||
                              selects(mState->mAlphaArg2, TA_SPECULAR);
    bool needLod = false;
    if (textured)
    {
        const SamplerState& ss = mState->mSampler.GetState();
        needLod = ss.mMagFilter != ss.mMinFilter ||
                  (ss.mMipFilter != TFP_NONE && mState->mSampler.GetView()->mLevelCount > 1);
    }
    const int32_t level0W = textured ? mState->mSampler.GetView()->mLevels[0].mWidth : 0;
    const int32_t level0H = textured ? mState->mSampler.GetView()->mLevels[0].mHeight : 0;
    const bool perspectiveLinear =
        textured && mState->mSampler.GetState().mMagFilter == TFILTER_LINEAR;
    FastPlan plan;
    // Targets of other formats take the fast path through a row of A8R8G8B8 (read, drawn,
    // written back: the plain shifts give unchanged pixels back exactly).
    const bool fast = BuildFastPlan(*mState, span, mState->mZEnable && mHasDepth, plan);
    // The per-pixel path's shortcut; the fast plan made its own.
    const StageShortcut stage = fast ? StageShortcut{} : ClassifyStage(*mState);
    // Texel coordinates s = u * width - 0.5 (likewise t) as integer planes in 1/2^24 texel from
    // the bounding box's corner, shared by both paths.
    struct TexelPlane
    {
        int64_t sOrg = 0, tOrg = 0, sDx = 0, tDx = 0, sDy = 0, tDy = 0;
        void Setup(const TriangleSpanner& span, double w, double h, int64_t ox, int64_t oy)
        {
            constexpr double ONE = static_cast<double>(TEX_ONE);
            // Beyond 65536 texels (absurd coordinates) values are held there, so that the
            // products with pixel distances stay inside 64 bits.
            auto fixed = [](double v)
            {
                constexpr double limit = 1099511627776.0; // 2^40
                return RoundToInt(!(v > -limit) ? -limit : (v > limit ? limit : v));
            };
            double x = static_cast<double>(ox), y = static_cast<double>(oy);
            sOrg = fixed((span.At(TriangleSpanner::U, x, y) * w - 0.5) * ONE);
            tOrg = fixed((span.At(TriangleSpanner::V, x, y) * h - 0.5) * ONE);
            sDx = fixed(span.mDx[TriangleSpanner::U] * w * ONE);
            tDx = fixed(span.mDx[TriangleSpanner::V] * h * ONE);
            sDy = fixed(span.mDy[TriangleSpanner::U] * w * ONE);
            tDy = fixed(span.mDy[TriangleSpanner::V] * h * ONE);
        }
        int64_t S(int64_t dx, int64_t dy) const { return sOrg + dx * sDx + dy * sDy; }
        int64_t T(int64_t dx, int64_t dy) const { return tOrg + dx * tDx + dy * tDy; }
    };
    TexelPlane plane1, plane2;
    if (fixedTex)
    {
        const TextureView* view = mState->mSampler.GetView();
        plane1.Setup(span, view->mLevels[fixedLevel].mWidth, view->mLevels[fixedLevel].mHeight,
                     originX, originY);
        if (mipWeight != 0)
            plane2.Setup(span, view->mLevels[fixedLevel + 1].mWidth,
                         view->mLevels[fixedLevel + 1].mHeight, originX, originY);
    }

    if (fast && plan.mSource == FastPlan::Source::Linear)
    {
        // The texel coordinates at the corners of the rows' bounding box bound every span's.
        const int64_t sx[2] = {plane1.S(minX - originX, minY - originY),
                               plane1.S(maxX - originX, minY - originY)};
        const int64_t ty[2] = {plane1.T(minX - originX, minY - originY),
                               plane1.T(maxX - originX, minY - originY)};
        const int64_t down = maxY - minY;
        int64_t sLo = INT64_MAX, sHi = INT64_MIN, tLo = INT64_MAX, tHi = INT64_MIN;
        for (int k = 0; k < 2; ++k)
            for (int64_t s : {sx[k], sx[k] + down * plane1.sDy})
                sLo = std::min(sLo, s), sHi = std::max(sHi, s);
        for (int k = 0; k < 2; ++k)
            for (int64_t t : {ty[k], ty[k] + down * plane1.tDy})
                tLo = std::min(tLo, t), tHi = std::max(tHi, t);
        PrepareLinearRows(plan, sLo, sHi, tLo, tHi, plane1.sDx, plane1.tDx);
    }

    // Each sloped edge bounds the span on one side by floor(N / d), N = +-K: stepped from row to
    // row with a quotient and remainder instead of a division per row. The bound is (q ^ flip)
    // + add (-q = ~q + 1), the left edges first, so that a row costs a few operations an edge.
    struct EdgeStep
    {
        int64_t q, r, d, dq, dr, flip, add;
    };
    EdgeStep steps[4];
    int sloped = 0, lefts = 0;
    int flat[4], flats = 0;
    for (int e = 0; e < n; ++e)
    {
        int64_t a = A[e] * SUBPIXEL;
        if (a == 0)
        {
            flat[flats++] = e;
            continue;
        }
        // Left edges fill the array from the front, right ones from the back.
        const bool left = a > 0;
        EdgeStep& st = left ? steps[lefts++] : steps[n - 1 - (sloped - lefts)];
        ++sloped;
        st.d = a > 0 ? a : -a;
        // a > 0: top-left xl = -floor(K / a), else floor(-K / a) + 1.
        // a < 0: top-left xr = floor(K / -a), else -floor(-K / -a) - 1.
        const int sign = topLeft[e] ? 1 : -1;
        st.flip = (sign > 0) == left ? -1 : 0;
        st.add = left ? 1 : 0;
        int64_t n0 = sign * (B[e] * minY * SUBPIXEL + C[e]);
        st.q = FloorDiv(n0, st.d);
        st.r = n0 - st.q * st.d;
        int64_t dn = sign * B[e] * SUBPIXEL;
        st.dq = FloorDiv(dn, st.d);
        st.dr = dn - st.dq * st.d;
    }
    EdgeStep* const rights = steps + (n - (sloped - lefts));
    const int rightCount = sloped - lefts;
    // Upright sides (a sprite's rectangle): each bound is the same on every row, and the rows the
    // flat edges let through are one run (each lets through the rows on one side of it). Drawn
    // 1:1 from the texture, such a run is rows stepped by their pitches, with no walk.
    bool upright = fast && mTarget.mArgb32;
    int64_t spanL = minX, spanR = maxX;
    for (int k = 0; k < lefts && upright; ++k)
    {
        upright = steps[k].dq == 0 && steps[k].dr == 0;
        spanL = std::max(spanL, (steps[k].q ^ steps[k].flip) + steps[k].add);
    }
    for (int k = 0; k < rightCount && upright; ++k)
    {
        upright = rights[k].dq == 0 && rights[k].dr == 0;
        spanR = std::min(spanR, (rights[k].q ^ rights[k].flip) + rights[k].add);
    }
    if (upright)
    {
        auto open = [&](int64_t py)
        {
            for (int k = 0; k < flats; ++k)
            {
                const int64_t kk = B[flat[k]] * py * SUBPIXEL + C[flat[k]];
                if (!(kk > 0 || (kk == 0 && topLeft[flat[k]])))
                    return false;
            }
            return true;
        };
        int64_t top = minY, bottom = maxY;
        while (top <= bottom && !open(top))
            ++top;
        while (bottom > top && !open(bottom))
            --bottom;
        if (spanL > spanR || top > bottom)
            return;
        SpanCoords coords;
        coords.s = plane1.S(spanL - originX, top - originY);
        coords.t = plane1.T(spanL - originX, top - originY);
        coords.ds = plane1.sDx;
        coords.dt = plane1.tDx;
        uint64_t written = 0;
        if (DrawAlignedRect(plan, mTarget.mBits + top * mTarget.mPitch + spanL * 4, mTarget.mPitch,
                            spanR - spanL + 1, bottom - top + 1, coords, plane1.sDy, plane1.tDy,
                            written))
        {
            mPixelCount += written;
            return;
        }
    }
    for (int64_t py = minY; py <= maxY; ++py)
    {
        int64_t xl = minX;
        int64_t xr = maxX;
        bool empty = false;
        for (int k = 0; k < flats; ++k)
        {
            const int e = flat[k];
            int64_t kk = B[e] * py * SUBPIXEL + C[e];
            if (!(kk > 0 || (kk == 0 && topLeft[e])))
                empty = true;
        }
        // The carry without a branch: it follows no pattern the processor could guess.
        auto advance = [](EdgeStep& st)
        {
            st.r += st.dr;
            const int64_t carry = -static_cast<int64_t>(st.r >= st.d); // 0 or -1
            st.r -= st.d & carry;
            st.q += st.dq - carry;
        };
        for (int k = 0; k < lefts; ++k)
        {
            xl = std::max(xl, (steps[k].q ^ steps[k].flip) + steps[k].add);
            advance(steps[k]);
        }
        for (int k = 0; k < rightCount; ++k)
        {
            xr = std::min(xr, (rights[k].q ^ rights[k].flip) + rights[k].add);
            advance(rights[k]);
        }
        if (empty || xl > xr)
            continue;

        const double fy = static_cast<double>(py);
        if (fast)
        {
            const int64_t count = xr - xl + 1;
            uint8_t* rowBytes = mTarget.mBits + py * mTarget.mPitch;
            const uint32_t bpp = mTarget.mLayout.mBytesPerPixel;
            uint32_t* dst = reinterpret_cast<uint32_t*>(rowBytes) + xl;
            if (!mTarget.mArgb32)
            {
                if (mRow.size() < static_cast<size_t>(count))
                    mRow.resize(static_cast<size_t>(count));
                dst = mRow.data();
                for (int64_t i = 0; i < count; ++i)
                    dst[i] =
                        UnpackArgb(mTarget.mLayout, LoadRawPixel(rowBytes + (xl + i) * bpp, bpp));
            }
#if defined(__SSE2__)
            // Small primitives jump from row to row, where the hardware does not guess: ask for
            // the destination a row ahead (reading past the polygon is harmless, the target is
            // only prefetched, never accessed out of bounds). Wide rows stream well on their own,
            // and a prefetch per line of them stalls once the misses in flight fill up.
            if (py < maxY && count * bpp <= 512)
            {
                const char* ahead =
                    reinterpret_cast<const char*>(rowBytes + mTarget.mPitch + xl * bpp);
                const char* end = ahead + count * bpp;
                for (const char* line = ahead; line < end; line += 64)
                    _mm_prefetch(line, _MM_HINT_T0);
                _mm_prefetch(end - 1, _MM_HINT_T0);
            }
#endif
            SpanCoords coords;
            if (plan.mSource != FastPlan::Source::Constant)
            {
                coords.s = plane1.S(xl - originX, py - originY);
                coords.t = plane1.T(xl - originX, py - originY);
                coords.ds = plane1.sDx;
                coords.dt = plane1.tDx;
                if (plan.mSource == FastPlan::Source::TwoLevels)
                {
                    coords.s2 = plane2.S(xl - originX, py - originY);
                    coords.t2 = plane2.T(xl - originX, py - originY);
                    coords.ds2 = plane2.sDx;
                    coords.dt2 = plane2.tDx;
                }
            }
            mPixelCount += plan.mLinearRow != nullptr ? plan.mLinearRow(plan, dst, count, coords)
                                                      : DispatchFastSpan(plan, dst, count, coords);
            if (!mTarget.mArgb32)
                for (int64_t i = 0; i < count; ++i)
                    StoreRawPixel(rowBytes + (xl + i) * bpp, bpp,
                                  PackArgb(mTarget.mLayout, dst[i]));
            continue;
        }
        double start[TriangleSpanner::COUNT];
        float step[TriangleSpanner::COUNT];
        for (int k = 0; k < TriangleSpanner::COUNT; ++k)
        {
            start[k] = span.At(k, static_cast<double>(xl), fy);
            step[k] = static_cast<float>(span.mDx[k]);
        }
        Fragment frag{};
        frag.diffuse = span.mDiffuse;
        frag.specular = span.mSpecular;
        frag.lod = span.mLod;
        if (span.mPerspective && textured && !needLod)
            frag.lod = 0.0f; // one level and one filter: the footprint does not matter
        frag.depthTested = depthActive;
        frag.stage = stage.mValid ? &stage : nullptr;
        frag.fixed = fixedTex;
        frag.level = fixedLevel;
        frag.linear = fixedLinear;
        frag.mipWeight = mipWeight;
        const int64_t s0 = plane1.S(xl - originX, py - originY);
        const int64_t t0 = plane1.T(xl - originX, py - originY);
        const int64_t s2 = plane2.S(xl - originX, py - originY);
        const int64_t t2 = plane2.T(xl - originX, py - originY);
        for (int64_t px = xl; px <= xr; ++px)
        {
            float i = static_cast<float>(px - xl);
            auto value = [&](int k) { return static_cast<float>(start[k]) + i * step[k]; };
            frag.z = value(TriangleSpanner::Z);
            // Hidden pixels cost no more than their depth.
            if (depthActive &&
                !DepthPasses(static_cast<int32_t>(px), static_cast<int32_t>(py), frag.z))
                continue;
            float w = 1.0f;
            if (span.mPerspective)
            {
                float rhw = value(TriangleSpanner::RHW);
                w = rhw != 0.0f ? 1.0f / rhw : 0.0f;
            }
            if (!span.mFlatDiffuse)
                frag.diffuse =
                    PackColor(value(TriangleSpanner::DR) * w, value(TriangleSpanner::DG) * w,
                              value(TriangleSpanner::DB) * w, value(TriangleSpanner::DA) * w);
            if (!span.mFlatSpecular && needSpecular)
                frag.specular =
                    PackColor(value(TriangleSpanner::SR) * w, value(TriangleSpanner::SG) * w,
                              value(TriangleSpanner::SB) * w, value(TriangleSpanner::SA) * w);
            if (fixedTex)
            {
                int64_t k = px - xl;
                frag.s8 = To256(s0 + k * plane1.sDx);
                frag.t8 = To256(t0 + k * plane1.tDx);
                frag.s8b = To256(s2 + k * plane2.sDx);
                frag.t8b = To256(t2 + k * plane2.tDx);
            }
            else if (textured && !needLod)
            {
                // One level, one filter: straight to the fixed-point read Sample would make.
                frag.fixed = true;
                frag.level = 0;
                frag.linear = perspectiveLinear;
                frag.s8 = TextureSampler::ToFixed(value(TriangleSpanner::U) * w, level0W);
                frag.t8 = TextureSampler::ToFixed(value(TriangleSpanner::V) * w, level0H);
            }
            else if (textured)
            {
                frag.u = value(TriangleSpanner::U) * w;
                frag.v = value(TriangleSpanner::V) * w;
                if (span.mPerspective && needLod)
                {
                    // d(U/W) = (dU - u dW) / W with U = u * rhw, W = rhw.
                    float dWx = step[TriangleSpanner::RHW];
                    float dWy = static_cast<float>(span.mDy[TriangleSpanner::RHW]);
                    float dudx = (step[TriangleSpanner::U] - frag.u * dWx) * w;
                    float dvdx = (step[TriangleSpanner::V] - frag.v * dWx) * w;
                    float dudy =
                        (static_cast<float>(span.mDy[TriangleSpanner::U]) - frag.u * dWy) * w;
                    float dvdy =
                        (static_cast<float>(span.mDy[TriangleSpanner::V]) - frag.v * dWy) * w;
                    frag.lod = mState->mSampler.ComputeLod(dudx, dvdx, dudy, dvdy);
                }
            }
            ShadeFragment(static_cast<int32_t>(px), static_cast<int32_t>(py), frag);
        }
    }
}

void Rasterizer::DrawLine(const RasterVertex& a, const RasterVertex& b)
{
    if (mState == nullptr || mTarget.mBits == nullptr)
        return;
    if (!(std::fabs(a.x) < COORD_LIMIT && std::fabs(a.y) < COORD_LIMIT &&
          std::fabs(b.x) < COORD_LIMIT && std::fabs(b.y) < COORD_LIMIT))
        return;
    double dx = static_cast<double>(b.x) - a.x;
    double dy = static_cast<double>(b.y) - a.y;
    bool xMajor = std::fabs(dx) >= std::fabs(dy);
    double len = xMajor ? dx : dy;
    if (len == 0.0)
        return;
    // Along the major axis a pixel is lit when the line leaves its diamond, half a pixel past
    // its centre in the direction of travel, between the start (excluded) and the end
    // (included); drawn the other way the rule is mirrored. The minor axis rounds half up.
    // LASTPIXEL adds the pixel that holds the end point.
    const RasterVertex& s = len > 0 ? a : b;
    const RasterVertex& e = len > 0 ? b : a;
    double s0 = xMajor ? s.x : s.y;
    double e0 = xMajor ? e.x : e.y;
    int64_t first, last;
    if (len > 0)
    {
        first = static_cast<int64_t>(std::floor(s0 - 0.5)) + 1;
        last = static_cast<int64_t>(std::floor(e0 - 0.5));
        if (mState->mLastPixel)
            last = std::max(last, static_cast<int64_t>(std::floor(e0 + 0.5)));
    }
    else
    {
        // Travelling towards smaller coordinates from e0 (the start) to s0 (the end).
        first = static_cast<int64_t>(std::ceil(s0 + 0.5));
        last = static_cast<int64_t>(std::ceil(e0 + 0.5)) - 1;
        if (mState->mLastPixel)
            first = std::min(first, static_cast<int64_t>(std::ceil(s0 - 0.5)));
    }
    double span = e0 - s0;
    bool linear = mState->mSampler.IsBound();
    for (int64_t m = first; m <= last; ++m)
    {
        double t = (static_cast<double>(m) - s0) / span;
        t = std::clamp(t, 0.0, 1.0);
        double minor = xMajor ? s.y + (e.y - s.y) * t : s.x + (e.x - s.x) * t;
        int64_t n = static_cast<int64_t>(std::floor(minor + 0.5));
        int64_t px = xMajor ? m : n;
        int64_t py = xMajor ? n : m;
        if (px < 0 || py < 0 || px >= mTarget.mWidth || py >= mTarget.mHeight ||
            !ScissorContains(static_cast<int32_t>(px), static_cast<int32_t>(py)))
            continue;
        auto lerp = [t](float p, float q) { return static_cast<float>(p + (q - p) * t); };
        Fragment frag{};
        frag.z = lerp(s.z, e.z);
        frag.diffuse =
            PackColor(lerp(s.diffuse[0], e.diffuse[0]), lerp(s.diffuse[1], e.diffuse[1]),
                      lerp(s.diffuse[2], e.diffuse[2]), lerp(s.diffuse[3], e.diffuse[3]));
        frag.specular =
            PackColor(lerp(s.specular[0], e.specular[0]), lerp(s.specular[1], e.specular[1]),
                      lerp(s.specular[2], e.specular[2]), lerp(s.specular[3], e.specular[3]));
        if (linear)
        {
            frag.u = lerp(s.u, e.u);
            frag.v = lerp(s.v, e.v);
        }
        frag.lod = 0;
        ShadeFragment(static_cast<int32_t>(px), static_cast<int32_t>(py), frag);
    }
}

void Rasterizer::DrawPoint(const RasterVertex& a)
{
    if (mState == nullptr || mTarget.mBits == nullptr)
        return;
    if (!(std::fabs(a.x) < COORD_LIMIT && std::fabs(a.y) < COORD_LIMIT))
        return;
    int64_t px = static_cast<int64_t>(std::floor(a.x + 0.5));
    int64_t py = static_cast<int64_t>(std::floor(a.y + 0.5));
    if (px < 0 || py < 0 || px >= mTarget.mWidth || py >= mTarget.mHeight ||
        !ScissorContains(static_cast<int32_t>(px), static_cast<int32_t>(py)))
        return;
    Fragment frag{};
    frag.z = a.z;
    frag.diffuse = PackColor(a.diffuse);
    frag.specular = PackColor(a.specular);
    frag.u = a.u;
    frag.v = a.v;
    frag.lod = 0;
    ShadeFragment(static_cast<int32_t>(px), static_cast<int32_t>(py), frag);
}

} // namespace sys::display
