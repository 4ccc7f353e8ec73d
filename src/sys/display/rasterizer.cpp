// Triangle, line and point scan conversion and the per-pixel pipeline.
#include "sys/display/rasterizer.h"

#include "sys/display/blend.h"

#include <algorithm>
#include <cmath>

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

uint32_t StageArgument(uint32_t arg, uint32_t texel, uint32_t diffuse, uint32_t specular,
                       uint32_t factor)
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

} // namespace

uint32_t CombineStage0(const PixelState& state, uint32_t texel, uint32_t diffuse, uint32_t specular)
{
    uint32_t f = state.mTextureFactor;
    uint32_t color;
    if (state.mColorOp == TOP_DISABLE)
        return diffuse; // a disabled first stage disables the whole cascade
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
        uint32_t stored = mDepth.mBytesPerPixel == 2 ? *reinterpret_cast<uint16_t*>(depthCell)
                                                     : *reinterpret_cast<uint32_t*>(depthCell);
        if (!CompareValues(s.mZFunc, depthValue, stored))
            return;
    }
    uint32_t texel = s.mSampler.IsBound() ? s.mSampler.Sample(f.u, f.v, f.lod) : 0xFFFFFFFFu;
    uint32_t color = CombineStage0(s, texel, f.diffuse, f.specular);
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
        double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
        for (int k = 0; k < COUNT; ++k)
        {
            double d1 = f[1][k] - f[0][k];
            double d2 = f[2][k] - f[0][k];
            mDx[k] = (d1 * (y[2] - y[0]) - d2 * (y[1] - y[0])) / area;
            mDy[k] = (d2 * (x[1] - x[0]) - d1 * (x[2] - x[0])) / area;
            mBase[k] = f[0][k];
        }
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

    double At(int k, double px, double py) const
    {
        return mBase[k] + mDx[k] * (px - mX0) + mDy[k] * (py - mY0);
    }
};

void Rasterizer::DrawTriangle(const RasterVertex& a, const RasterVertex& b, const RasterVertex& c)
{
    if (mState == nullptr || mTarget.mBits == nullptr)
        return;
    Rect scissor = mState->mScissor;
    scissor.left = std::max(scissor.left, 0);
    scissor.top = std::max(scissor.top, 0);
    scissor.right = std::min(scissor.right, mTarget.mWidth);
    scissor.bottom = std::min(scissor.bottom, mTarget.mHeight);
    if (scissor.IsEmpty())
        return;

    const RasterVertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i)
    {
        if (!(std::fabs(v[i]->x) < COORD_LIMIT && std::fabs(v[i]->y) < COORD_LIMIT))
            return; // also refuses NaN
        X[i] = std::llround(static_cast<double>(v[i]->x) * SUBPIXEL);
        Y[i] = std::llround(static_cast<double>(v[i]->y) * SUBPIXEL);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
    if (area == 0)
        return;
    if (area < 0)
    {
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        std::swap(v[1], v[2]);
    }

    int64_t minX = std::max<int64_t>(CeilDiv(std::min({X[0], X[1], X[2]}), SUBPIXEL), scissor.left);
    int64_t maxX =
        std::min<int64_t>(FloorDiv(std::max({X[0], X[1], X[2]}), SUBPIXEL), scissor.right - 1);
    int64_t minY = std::max<int64_t>(CeilDiv(std::min({Y[0], Y[1], Y[2]}), SUBPIXEL), scissor.top);
    int64_t maxY =
        std::min<int64_t>(FloorDiv(std::max({Y[0], Y[1], Y[2]}), SUBPIXEL), scissor.bottom - 1);
    if (minX > maxX || minY > maxY)
        return;

    // Edge e runs from vertex e to vertex e + 1; inside is where A x + B y + C > 0, and a pixel
    // centre exactly on a top or left edge counts as inside.
    int64_t A[3], B[3], C[3];
    bool topLeft[3];
    for (int e = 0; e < 3; ++e)
    {
        int n = (e + 1) % 3;
        int64_t dx = X[n] - X[e];
        int64_t dy = Y[n] - Y[e];
        A[e] = -dy;
        B[e] = dx;
        C[e] = dy * X[e] - dx * Y[e];
        topLeft[e] = dy < 0 || (dy == 0 && dx > 0);
    }

    double xs[3], ys[3];
    for (int i = 0; i < 3; ++i)
    {
        xs[i] = static_cast<double>(X[i]) / SUBPIXEL;
        ys[i] = static_cast<double>(Y[i]) / SUBPIXEL;
    }
    TriangleSpanner span;
    span.Setup(v, xs, ys, mState->mSampler);
    const bool textured = mState->mSampler.IsBound();

    for (int64_t py = minY; py <= maxY; ++py)
    {
        int64_t xl = minX;
        int64_t xr = maxX;
        bool empty = false;
        for (int e = 0; e < 3 && !empty; ++e)
        {
            int64_t a = A[e] * SUBPIXEL;
            int64_t k = B[e] * py * SUBPIXEL + C[e];
            if (a > 0)
                xl = std::max(xl, topLeft[e] ? CeilDiv(-k, a) : FloorDiv(-k, a) + 1);
            else if (a < 0)
                xr = std::min(xr, topLeft[e] ? FloorDiv(k, -a) : CeilDiv(k, -a) - 1);
            else if (!(k > 0 || (k == 0 && topLeft[e])))
                empty = true;
        }
        if (empty || xl > xr)
            continue;

        const double fy = static_cast<double>(py);
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
        for (int64_t px = xl; px <= xr; ++px)
        {
            float i = static_cast<float>(px - xl);
            auto value = [&](int k) { return static_cast<float>(start[k]) + i * step[k]; };
            float w = 1.0f;
            if (span.mPerspective)
            {
                float rhw = value(TriangleSpanner::RHW);
                w = rhw != 0.0f ? 1.0f / rhw : 0.0f;
            }
            frag.z = value(TriangleSpanner::Z);
            if (!span.mFlatDiffuse)
                frag.diffuse =
                    PackColor(value(TriangleSpanner::DR) * w, value(TriangleSpanner::DG) * w,
                              value(TriangleSpanner::DB) * w, value(TriangleSpanner::DA) * w);
            if (!span.mFlatSpecular)
                frag.specular =
                    PackColor(value(TriangleSpanner::SR) * w, value(TriangleSpanner::SG) * w,
                              value(TriangleSpanner::SB) * w, value(TriangleSpanner::SA) * w);
            if (textured)
            {
                frag.u = value(TriangleSpanner::U) * w;
                frag.v = value(TriangleSpanner::V) * w;
                if (span.mPerspective)
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
    // Along the major axis a pixel is lit when the line passes its centre plus half a pixel in
    // the direction of travel: start < centre + 0.5 <= end. The minor axis rounds half up.
    const RasterVertex& s = len > 0 ? a : b;
    const RasterVertex& e = len > 0 ? b : a;
    double s0 = xMajor ? s.x : s.y;
    double e0 = xMajor ? e.x : e.y;
    int64_t first = static_cast<int64_t>(std::floor(s0 - 0.5)) + 1;
    int64_t last = static_cast<int64_t>(std::floor(e0 - 0.5));
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
