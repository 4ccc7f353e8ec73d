// The 3-D device: state, vertex processing, clipping, primitive assembly and Clear.
#include "sys/display/device.h"

#include "sys/display/blit.h"
#include "sys/display/direct_draw.h"
#include "sys/display/display_log.h"
#include "sys/display/surface.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>

namespace sys::display
{

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            float s = 0;
            for (int k = 0; k < 4; ++k)
                s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

Matrix OrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar)
{
    Matrix m;
    m.m[0][0] = 2.0f / (right - left);
    m.m[1][1] = 2.0f / (top - bottom);
    m.m[2][2] = 1.0f / (zFar - zNear);
    m.m[3][0] = (left + right) / (left - right);
    m.m[3][1] = (top + bottom) / (bottom - top);
    m.m[3][2] = zNear / (zNear - zFar);
    return m;
}

namespace
{

// Pre-transformed and projected vertices are cut to this many pixels around the target, which
// keeps the rasteriser's fixed-point set-up far from overflow.
constexpr float GUARD_PIXELS = 16384.0f;
// Nearer than this to the eye (w), a vertex is cut away before the divide.
constexpr float MIN_W = 1e-6f;
constexpr int MAX_CLIP_VERTICES = 3 + 8;

void ColorToFloats(uint32_t c, float out[4])
{
    out[0] = static_cast<float>((c >> 16) & 0xFF);
    out[1] = static_cast<float>((c >> 8) & 0xFF);
    out[2] = static_cast<float>(c & 0xFF);
    out[3] = static_cast<float>(c >> 24);
}

bool IsRenderableFormat(const PixelFormat& f)
{
    return f.IsRgb() && !f.IsDepth() &&
           (f.mBitCount == 16 || f.mBitCount == 24 || f.mBitCount == 32);
}

} // namespace

namespace
{

std::mutex gCreateAnswersMutex;
std::atomic<uint64_t> gDevicesCreated{0};
std::deque<Result> gCreateAnswers;

} // namespace

void QueueCreateDeviceAnswer(Result answer)
{
    std::lock_guard<std::mutex> lock(gCreateAnswersMutex);
    gCreateAnswers.push_back(answer);
}

void ClearCreateDeviceAnswers()
{
    std::lock_guard<std::mutex> lock(gCreateAnswersMutex);
    gCreateAnswers.clear();
}

Result CreateDevice(const Direct3D& direct3d, const Guid& device,
                    std::shared_ptr<Surface> renderTarget, std::unique_ptr<Device>* out)
{
    if (out == nullptr)
        return Result::Pointer;
    out->reset();
    {
        std::lock_guard<std::mutex> lock(gCreateAnswersMutex);
        if (const Result injected = TakeAnswer(gCreateAnswers); Failed(injected))
            return injected;
    }
    const DeviceDesc* desc = direct3d.FindDevice(device);
    if (desc == nullptr)
        return Result::NotFound;
    if (renderTarget != nullptr && Failed(renderTarget->IsLost()))
        return Result::SurfaceLost;
    *out = Device::Create(std::move(renderTarget), *desc);
    if (*out == nullptr)
        return Result::InvalidParams;
    (*out)->SetTextureFormats(direct3d.GetTextureFormats());
    return Result::Ok;
}

std::unique_ptr<Device> Device::Create(std::shared_ptr<Surface> renderTarget,
                                       const DeviceDesc& caps)
{
    if (renderTarget == nullptr || !IsRenderableFormat(renderTarget->GetPixelFormat()))
    {
        DisplayLog("Device: no usable render target");
        return nullptr;
    }
    return std::make_unique<Device>(std::move(renderTarget), caps);
}

uint64_t Device::CreatedCount()
{
    return gDevicesCreated.load();
}

Device::Device(std::shared_ptr<Surface> renderTarget, const DeviceDesc& caps)
    : mTarget(std::move(renderTarget)), mCaps(caps),
      mTextureFormats(DefaultDisplayConfig().mTextureFormats)
{
    gDevicesCreated++;
    uint32_t* rs = mRenderStates;
    rs[RS_ANTIALIAS] = ANTIALIAS_NONE;
    rs[RS_TEXTUREPERSPECTIVE] = 1;
    rs[RS_ZENABLE] = FindDepthBuffer() != nullptr ? 1 : 0;
    rs[RS_FILLMODE] = FILL_SOLID;
    rs[RS_SHADEMODE] = SHADE_GOURAUD;
    rs[RS_ZWRITEENABLE] = 1;
    rs[RS_ALPHATESTENABLE] = 0;
    rs[RS_LASTPIXEL] = 1;
    rs[RS_SRCBLEND] = BLEND_ONE;
    rs[RS_DESTBLEND] = BLEND_ZERO;
    rs[RS_CULLMODE] = CULL_CCW;
    rs[RS_ZFUNC] = CMP_LESSEQUAL;
    rs[RS_ALPHAREF] = 0;
    rs[RS_ALPHAFUNC] = CMP_ALWAYS;
    rs[RS_ALPHABLENDENABLE] = 0;
    rs[RS_SPECULARENABLE] = 0;
    rs[RS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[RS_CLIPPING] = 1;
    rs[RS_LIGHTING] = 1;
    rs[RS_AMBIENT] = 0;
    rs[RS_COLORVERTEX] = 1;
    rs[RS_LOCALVIEWER] = 1;
    rs[RS_NORMALIZENORMALS] = 0;
    rs[RS_DIFFUSEMATERIALSOURCE] = MCS_COLOR1;
    rs[RS_SPECULARMATERIALSOURCE] = MCS_COLOR2;
    rs[RS_AMBIENTMATERIALSOURCE] = MCS_MATERIAL;
    rs[RS_EMISSIVEMATERIALSOURCE] = MCS_MATERIAL;
    for (uint32_t s = 0; s < TEXTURE_STAGE_COUNT; ++s)
    {
        uint32_t* ts = mStageStates[s];
        ts[TSS_COLOROP] = s == 0 ? TOP_MODULATE : TOP_DISABLE;
        ts[TSS_COLORARG1] = TA_TEXTURE;
        ts[TSS_COLORARG2] = TA_CURRENT;
        ts[TSS_ALPHAOP] = s == 0 ? TOP_SELECTARG1 : TOP_DISABLE;
        ts[TSS_ALPHAARG1] = TA_TEXTURE;
        ts[TSS_ALPHAARG2] = TA_CURRENT;
        ts[TSS_TEXCOORDINDEX] = s;
        ts[TSS_ADDRESS] = TADDRESS_WRAP;
        ts[TSS_ADDRESSU] = TADDRESS_WRAP;
        ts[TSS_ADDRESSV] = TADDRESS_WRAP;
        ts[TSS_MAGFILTER] = TFILTER_POINT;
        ts[TSS_MINFILTER] = TFILTER_POINT;
        ts[TSS_MIPFILTER] = TFP_NONE;
    }
    mViewport.width = mTarget->GetWidth();
    mViewport.height = mTarget->GetHeight();
    // One thread by default: measured on the 2-D frame, the bands' gain on full-screen layers is
    // lost again when the next small draws pull the picture back from the other cores' caches.
    mThreadCount = 1;
}

void Device::SetRasterThreads(uint32_t count)
{
    mThreadCount = std::clamp(count, 1u, 16u);
    if (mThreads != nullptr && mThreads->GetCount() != mThreadCount)
        mThreads.reset();
}

Result Device::GetCaps(DeviceDesc* desc) const
{
    if (desc == nullptr)
        return Result::Pointer;
    *desc = mCaps;
    return Result::Ok;
}

Result Device::EnumTextureFormats(const std::function<bool(const PixelFormat&)>& callback) const
{
    return EnumerateEntries(mTextureFormats, callback);
}

Result Device::SetRenderTarget(std::shared_ptr<Surface> target, uint32_t /*flags*/)
{
    if (target == nullptr || !IsRenderableFormat(target->GetPixelFormat()))
        return Result::InvalidParams;
    mTarget = std::move(target);
    // The platform resets the viewport to the whole of the new target.
    mViewport = Viewport{0, 0, mTarget->GetWidth(), mTarget->GetHeight(), 0.0f, 1.0f};
    return Result::Ok;
}

Result Device::GetRenderTarget(std::shared_ptr<Surface>* target) const
{
    if (target == nullptr)
        return Result::Pointer;
    *target = mTarget;
    return Result::Ok;
}

Result Device::BeginScene()
{
    if (const Result injected = TakeAnswer(mBeginSceneAnswers); Failed(injected))
        return injected;
    if (mInScene)
        return Result::Fail;
    if (Failed(mTarget->IsLost()))
        return Result::SurfaceLost;
    mInScene = true;
    return Result::Ok;
}

Result Device::EndScene()
{
    if (const Result injected = TakeAnswer(mEndSceneAnswers); Failed(injected))
    {
        mInScene = false;
        return injected;
    }
    if (!mInScene)
        return Result::Fail;
    mInScene = false;
    return Result::Ok;
}

Surface* Device::FindDepthBuffer() const
{
    std::shared_ptr<Surface> depth;
    if (Failed(mTarget->GetAttachedSurface(CAPS_ZBUFFER, &depth)) || depth == nullptr)
        return nullptr;
    if (!depth->GetPixelFormat().IsDepth() || depth->GetWidth() < mTarget->GetWidth() ||
        depth->GetHeight() < mTarget->GetHeight())
        return nullptr;
    // The attachment keeps it alive as long as the render target does.
    return depth.get();
}

Result Device::Clear(uint32_t count, const Rect* rects, uint32_t flags, uint32_t color, float z,
                     uint32_t /*stencil*/)
{
    if ((flags & (CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL)) == 0)
        return Result::InvalidParams;
    if (Failed(mTarget->IsLost()))
        return Result::SurfaceLost;
    Surface* depth = FindDepthBuffer();
    if ((flags & (CLEAR_ZBUFFER | CLEAR_STENCIL)) != 0 && depth == nullptr)
        return Result::InvalidParams;
    Rect viewport{static_cast<int32_t>(mViewport.x), static_cast<int32_t>(mViewport.y),
                  static_cast<int32_t>(mViewport.x + mViewport.width),
                  static_cast<int32_t>(mViewport.y + mViewport.height)};
    Rect whole = viewport;
    if (rects == nullptr)
        count = 0;
    uint32_t n = count == 0 ? 1 : count;
    const bool argb32 = mTarget->GetPixelFormat().mBitCount == 32;
    const uint32_t raw = argb32 ? color : PackArgb(mTarget->GetChannelLayout(), color);
    const uint32_t depthBytes = depth != nullptr ? depth->GetPixelFormat().BytesPerPixel() : 0;
    const bool clearDepth = (flags & CLEAR_ZBUFFER) != 0 && (depthBytes == 2 || depthBytes == 4);
    const uint32_t depthValue = QuantizeDepth(z, depthBytes);
    for (uint32_t i = 0; i < n; ++i)
    {
        Rect r = count == 0 ? whole : rects[i];
        r.left = std::max(r.left, viewport.left);
        r.top = std::max(r.top, viewport.top);
        r.right = std::min(r.right, viewport.right);
        r.bottom = std::min(r.bottom, viewport.bottom);
        if (r.IsEmpty())
            continue;
        if (flags & CLEAR_TARGET)
            FillPixels(*mTarget, r, raw);
        if (clearDepth)
            FillPixels(*depth, r, depthValue);
    }
    return Result::Ok;
}

Result Device::SetRenderState(RenderState state, uint32_t value)
{
    if (state >= RENDER_STATE_COUNT)
        return Result::InvalidParams;
    mRenderStates[state] = value;
    return Result::Ok;
}

Result Device::GetRenderState(RenderState state, uint32_t* value) const
{
    if (value == nullptr)
        return Result::Pointer;
    if (state >= RENDER_STATE_COUNT)
        return Result::InvalidParams;
    *value = mRenderStates[state];
    return Result::Ok;
}

Result Device::SetTextureStageState(uint32_t stage, TextureStageState state, uint32_t value)
{
    if (stage >= TEXTURE_STAGE_COUNT || state >= TEXTURE_STAGE_STATE_COUNT || state == 0)
        return Result::InvalidParams;
    mStageStates[stage][state] = value;
    if (state == TSS_ADDRESS)
    {
        mStageStates[stage][TSS_ADDRESSU] = value;
        mStageStates[stage][TSS_ADDRESSV] = value;
    }
    return Result::Ok;
}

Result Device::GetTextureStageState(uint32_t stage, TextureStageState state, uint32_t* value) const
{
    if (value == nullptr)
        return Result::Pointer;
    if (stage >= TEXTURE_STAGE_COUNT || state >= TEXTURE_STAGE_STATE_COUNT || state == 0)
        return Result::InvalidParams;
    *value = mStageStates[stage][state];
    return Result::Ok;
}

Result Device::SetTexture(uint32_t stage, std::shared_ptr<Surface> texture)
{
    if (stage >= TEXTURE_STAGE_COUNT)
        return Result::InvalidParams;
    if (texture != nullptr && MakeTextureView(texture.get()).mLevelCount == 0)
        return Result::InvalidPixelFormat;
    mTextures[stage] = std::move(texture);
    return Result::Ok;
}

Result Device::GetTexture(uint32_t stage, std::shared_ptr<Surface>* texture) const
{
    if (texture == nullptr)
        return Result::Pointer;
    if (stage >= TEXTURE_STAGE_COUNT)
        return Result::InvalidParams;
    *texture = mTextures[stage];
    return Result::Ok;
}

const Matrix* Device::TransformSlot(TransformState which) const
{
    switch (which)
    {
    case TS_WORLD:
        return &mWorld;
    case TS_VIEW:
        return &mView;
    case TS_PROJECTION:
        return &mProjection;
    }
    return nullptr;
}

Result Device::SetTransform(TransformState which, const Matrix& matrix)
{
    const Matrix* slot = TransformSlot(which);
    if (slot == nullptr)
        return Result::InvalidParams;
    *const_cast<Matrix*>(slot) = matrix;
    return Result::Ok;
}

Result Device::GetTransform(TransformState which, Matrix* matrix) const
{
    if (matrix == nullptr)
        return Result::Pointer;
    const Matrix* slot = TransformSlot(which);
    if (slot == nullptr)
        return Result::InvalidParams;
    *matrix = *slot;
    return Result::Ok;
}

Result Device::SetViewport(const Viewport& viewport)
{
    if (const Result injected = TakeAnswer(mSetViewportAnswers); injected != Result::Ok)
        return injected;
    uint64_t right = static_cast<uint64_t>(viewport.x) + viewport.width;
    uint64_t bottom = static_cast<uint64_t>(viewport.y) + viewport.height;
    if (right > mTarget->GetWidth() || bottom > mTarget->GetHeight())
        return Result::InvalidParams;
    if (!(viewport.minZ >= 0.0f && viewport.maxZ <= 1.0f && viewport.minZ <= viewport.maxZ))
        return Result::InvalidParams;
    mViewport = viewport;
    return Result::Ok;
}

Result Device::GetViewport(Viewport* viewport) const
{
    if (viewport == nullptr)
        return Result::Pointer;
    *viewport = mViewport;
    return Result::Ok;
}

Result Device::SetMaterial(const Material& material)
{
    mMaterial = material;
    return Result::Ok;
}

Result Device::GetMaterial(Material* material) const
{
    if (material == nullptr)
        return Result::Pointer;
    *material = mMaterial;
    return Result::Ok;
}

Result Device::SetLight(uint32_t index, const Light& light)
{
    if (light.type != LIGHT_POINT && light.type != LIGHT_SPOT && light.type != LIGHT_DIRECTIONAL)
        return Result::InvalidParams;
    if (light.type != LIGHT_DIRECTIONAL && !(light.range >= 0.0f))
        return Result::InvalidParams;
    mLights[index] = light;
    return Result::Ok;
}

Result Device::GetLight(uint32_t index, Light* light) const
{
    if (light == nullptr)
        return Result::Pointer;
    auto it = mLights.find(index);
    if (it == mLights.end())
        return Result::InvalidParams;
    *light = it->second;
    return Result::Ok;
}

Result Device::LightEnable(uint32_t index, bool enable)
{
    if (enable && mLights.find(index) == mLights.end())
    {
        Light light;
        light.type = LIGHT_DIRECTIONAL;
        light.diffuse = ColorValue{1, 1, 1, 0};
        light.direction = Vector3{0, 0, 1};
        mLights[index] = light;
    }
    mLightEnabled[index] = enable;
    return Result::Ok;
}

Result Device::GetLightEnable(uint32_t index, bool* enable) const
{
    if (enable == nullptr)
        return Result::Pointer;
    auto it = mLightEnabled.find(index);
    if (it == mLightEnabled.end())
        return Result::InvalidParams;
    *enable = it->second;
    return Result::Ok;
}

// ---- drawing ----

bool Device::PrepareDraw(uint32_t fvf)
{
    const uint32_t* rs = mRenderStates;
    const uint32_t* ts = mStageStates[0];
    if (mViewport.width == 0 || mViewport.height == 0)
        return false;

    RenderTargetView target;
    target.mBits = mTarget->GetBits();
    target.mWidth = static_cast<int32_t>(mTarget->GetWidth());
    target.mHeight = static_cast<int32_t>(mTarget->GetHeight());
    target.mPitch = mTarget->GetPitch();
    target.mLayout = mTarget->GetChannelLayout();
    const PixelFormat& format = mTarget->GetPixelFormat();
    target.mArgb32 = format.mBitCount == 32 && format.mRMask == 0x00FF0000u &&
                     format.mGMask == 0x0000FF00u && format.mBMask == 0x000000FFu;
    DepthTargetView depth;
    Surface* depthSurface = FindDepthBuffer();
    if (depthSurface != nullptr)
    {
        depth.mBits = depthSurface->GetBits();
        depth.mWidth = static_cast<int32_t>(depthSurface->GetWidth());
        depth.mHeight = static_cast<int32_t>(depthSurface->GetHeight());
        depth.mPitch = depthSurface->GetPitch();
        depth.mBytesPerPixel = depthSurface->GetPixelFormat().BytesPerPixel();
    }
    mRasterizer.SetTarget(target, depthSurface != nullptr ? &depth : nullptr);
    mTargetView = target;
    mDepthView = depth;
    mHasDepthView = depthSurface != nullptr;

    PixelState& ps = mPixelState;
    ps.mColorOp = static_cast<TextureOp>(ts[TSS_COLOROP]);
    ps.mColorArg1 = ts[TSS_COLORARG1];
    ps.mColorArg2 = ts[TSS_COLORARG2];
    ps.mAlphaOp = static_cast<TextureOp>(ts[TSS_ALPHAOP]);
    ps.mAlphaArg1 = ts[TSS_ALPHAARG1];
    ps.mAlphaArg2 = ts[TSS_ALPHAARG2];
    ps.mTextureFactor = rs[RS_TEXTUREFACTOR];
    mTextureView = MakeTextureView(mTextures[0].get());
    SamplerState sampler;
    sampler.mMagFilter = ts[TSS_MAGFILTER] >= TFILTER_LINEAR ? TFILTER_LINEAR : TFILTER_POINT;
    sampler.mMinFilter = ts[TSS_MINFILTER] >= TFILTER_LINEAR ? TFILTER_LINEAR : TFILTER_POINT;
    sampler.mMipFilter = ts[TSS_MIPFILTER] == TFP_POINT    ? TFP_POINT
                         : ts[TSS_MIPFILTER] == TFP_LINEAR ? TFP_LINEAR
                                                           : TFP_NONE;
    auto address = [](uint32_t v)
    {
        return v == TADDRESS_WRAP     ? TADDRESS_WRAP
               : v == TADDRESS_MIRROR ? TADDRESS_MIRROR
                                      : TADDRESS_CLAMP;
    };
    sampler.mAddressU = address(ts[TSS_ADDRESSU]);
    sampler.mAddressV = address(ts[TSS_ADDRESSV]);
    ps.mSampler.Bind(mTextureView.mLevelCount > 0 ? &mTextureView : nullptr, sampler);
    ps.mSpecularEnable = rs[RS_SPECULARENABLE] != 0;
    ps.mAlphaTest = rs[RS_ALPHATESTENABLE] != 0;
    ps.mAlphaFunc = static_cast<CompareFunc>(rs[RS_ALPHAFUNC]);
    ps.mAlphaRef = rs[RS_ALPHAREF] & 0xFF;
    ps.mBlend = rs[RS_ALPHABLENDENABLE] != 0;
    ps.mSrcBlend = static_cast<BlendFactor>(rs[RS_SRCBLEND]);
    ps.mDestBlend = static_cast<BlendFactor>(rs[RS_DESTBLEND]);
    ps.mZEnable = rs[RS_ZENABLE] != 0;
    ps.mZWrite = rs[RS_ZWRITEENABLE] != 0;
    ps.mZFunc = static_cast<CompareFunc>(rs[RS_ZFUNC]);
    ps.mLastPixel = rs[RS_LASTPIXEL] != 0;
    ps.mScissor = Rect{static_cast<int32_t>(mViewport.x), static_cast<int32_t>(mViewport.y),
                       static_cast<int32_t>(mViewport.x + mViewport.width),
                       static_cast<int32_t>(mViewport.y + mViewport.height)};
    mRasterizer.SetState(&ps);

    mPreTransformed = (fvf & FVF_XYZRHW) != 0;
    mClipNearFar = rs[RS_CLIPPING] != 0;
    mCullMode = rs[RS_CULLMODE];
    mFlatShade = rs[RS_SHADEMODE] == SHADE_FLAT;
    // The guard band keeps projected coordinates within GUARD_PIXELS of the origin.
    mGuardX = std::max(1.0f, 2.0f * GUARD_PIXELS / static_cast<float>(mViewport.width) - 1.0f);
    mGuardY = std::max(1.0f, 2.0f * GUARD_PIXELS / static_cast<float>(mViewport.height) - 1.0f);
    return true;
}

void Device::TransformVertices(uint32_t fvf, const void* vertices, uint32_t count)
{
    // Grown only: shrinking and growing again would clear the array at the next larger draw.
    if (mClipVertices.size() < count)
    {
        mClipVertices.resize(count);
        mOffScissor.resize(count);
        mScreen.resize(count);
    }
    mVertexCount = count;
    Matrix wvp;
    const bool lit = fvf == FVF_VERTEX && mRenderStates[RS_LIGHTING] != 0;
    if (fvf != FVF_TLVERTEX)
        wvp = Multiply(Multiply(mWorld, mView), mProjection);
    if (lit)
    {
        std::vector<Light>& lights = mActiveLights; // kept: no allocation per draw
        lights.clear();
        for (const auto& [index, enabled] : mLightEnabled)
            if (enabled)
                lights.push_back(mLights[index]);
        mLighting.Prepare(mWorld, mView, mMaterial, mRenderStates[RS_AMBIENT], lights,
                          mRenderStates[RS_SPECULARENABLE] != 0,
                          mRenderStates[RS_NORMALIZENORMALS] != 0,
                          mRenderStates[RS_LOCALVIEWER] != 0);
    }
    auto part = [&](uint32_t begin, uint32_t end)
    {
        TransformRange(fvf, static_cast<const uint8_t*>(vertices), wvp, lit, begin, end);
        MarkOffScissor(begin, end);
    };
    // A long array is shared among the band threads, each a contiguous part, when the draw
    // before was theirs too (they are then still awake): done on the calling thread alone, it
    // held up the threads for a good part of a batched draw (its first writes fetch the lines
    // the threads read at the previous draw). Waking sleeping threads for it costs more than
    // it saves: a batch of 500 small particles that stays on the calling thread drew a third
    // slower when its 2000 vertices woke the threads at every draw.
    constexpr uint32_t SHARED_VERTICES = 512;
    if (mThreadCount < 2 || count < SHARED_VERTICES || !mLastDrawBanded || mThreads == nullptr)
    {
        part(0, count);
        return;
    }
    const uint32_t parts = mThreads->GetCount();
    auto task = [&](uint32_t k) { part(count * k / parts, count * (k + 1) / parts); };
    mThreads->Run(task, parts);
}

void Device::TransformRange(uint32_t fvf, const uint8_t* bytes, const Matrix& wvp, bool lit,
                            uint32_t begin, uint32_t end)
{
    if (fvf == FVF_TLVERTEX)
    {
        for (uint32_t i = begin; i < end; ++i)
        {
            TLVertex in;
            std::memcpy(&in, bytes + i * VERTEX_STRIDE, sizeof in);
            ClipVertex& out = mClipVertices[i];
            out.x = in.sx;
            out.y = in.sy;
            out.z = in.sz;
            out.w = 1.0f;
            out.rhw = in.rhw;
            ColorToFloats(in.diffuse, out.diffuse);
            ColorToFloats(in.specular, out.specular);
            out.u = in.u;
            out.v = in.v;
        }
        return;
    }
    const auto& m = wvp.m;
    for (uint32_t i = begin; i < end; ++i)
    {
        const uint8_t* src = bytes + i * VERTEX_STRIDE;
        ClipVertex& out = mClipVertices[i];
        float x, y, z;
        if (fvf == FVF_VERTEX)
        {
            Vertex in;
            std::memcpy(&in, src, sizeof in);
            x = in.x;
            y = in.y;
            z = in.z;
            out.u = in.u;
            out.v = in.v;
            if (lit)
            {
                LitVertex c =
                    mLighting.Evaluate(Vector3{in.x, in.y, in.z}, Vector3{in.nx, in.ny, in.nz});
                std::copy(c.diffuse, c.diffuse + 4, out.diffuse);
                std::copy(c.specular, c.specular + 4, out.specular);
            }
            else
            {
                // Without lighting and without vertex colours: white, no specular.
                std::fill(out.diffuse, out.diffuse + 4, 255.0f);
                std::fill(out.specular, out.specular + 4, 0.0f);
            }
        }
        else
        {
            LVertex in;
            std::memcpy(&in, src, sizeof in);
            x = in.x;
            y = in.y;
            z = in.z;
            out.u = in.u;
            out.v = in.v;
            ColorToFloats(in.diffuse, out.diffuse);
            ColorToFloats(in.specular, out.specular);
        }
        out.x = x * m[0][0] + y * m[1][0] + z * m[2][0] + m[3][0];
        out.y = x * m[0][1] + y * m[1][1] + z * m[2][1] + m[3][1];
        out.z = x * m[0][2] + y * m[1][2] + z * m[2][2] + m[3][2];
        out.w = x * m[0][3] + y * m[1][3] + z * m[2][3] + m[3][3];
        out.rhw = 1.0f;
    }
}

bool Device::Inside(const ClipVertex& v) const
{
    if (mPreTransformed)
        return std::fabs(v.x) <= GUARD_PIXELS && std::fabs(v.y) <= GUARD_PIXELS;
    if (!(v.w >= MIN_W))
        return false;
    if (mClipNearFar && !(v.z >= 0.0f && v.z <= v.w))
        return false;
    return std::fabs(v.x) <= mGuardX * v.w && std::fabs(v.y) <= mGuardY * v.w;
}

int Device::ClipPolygon(ClipVertex* poly, int count, ClipVertex* scratch)
{
    // Plane distances: inside where >= 0. Projected vertices are cut in clip space against
    // w > 0, the near and far planes (with CLIPPING) and the guard band; pre-transformed ones
    // only against the guard band in pixels.
    auto distance = [this](const ClipVertex& v, int plane) -> float
    {
        float w = mPreTransformed ? 1.0f : v.w;
        float gx = mPreTransformed ? GUARD_PIXELS : mGuardX * w;
        float gy = mPreTransformed ? GUARD_PIXELS : mGuardY * w;
        switch (plane)
        {
        case 0:
            return gx - v.x;
        case 1:
            return gx + v.x;
        case 2:
            return gy - v.y;
        case 3:
            return gy + v.y;
        case 4:
            return v.w - MIN_W;
        case 5:
            return v.z;
        default:
            return v.w - v.z;
        }
    };
    int planes = mPreTransformed ? 4 : (mClipNearFar ? 7 : 5);
    ClipVertex* in = poly;
    ClipVertex* out = scratch;
    for (int p = 0; p < planes && count > 0; ++p)
    {
        int n = 0;
        for (int i = 0; i < count; ++i)
        {
            const ClipVertex& a = in[i];
            const ClipVertex& b = in[(i + 1) % count];
            float da = distance(a, p);
            float db = distance(b, p);
            if (da >= 0)
                out[n++] = a;
            if ((da >= 0) != (db >= 0) && n < MAX_CLIP_VERTICES)
            {
                float t = da / (da - db);
                ClipVertex c;
                auto lerp = [t](float x, float y) { return x + (y - x) * t; };
                c.x = lerp(a.x, b.x);
                c.y = lerp(a.y, b.y);
                c.z = lerp(a.z, b.z);
                c.w = lerp(a.w, b.w);
                c.rhw = lerp(a.rhw, b.rhw);
                for (int k = 0; k < 4; ++k)
                {
                    c.diffuse[k] = lerp(a.diffuse[k], b.diffuse[k]);
                    c.specular[k] = lerp(a.specular[k], b.specular[k]);
                }
                c.u = lerp(a.u, b.u);
                c.v = lerp(a.v, b.v);
                out[n++] = c;
            }
            if (n >= MAX_CLIP_VERTICES)
                break;
        }
        std::swap(in, out);
        count = n;
    }
    if (in != poly)
        std::copy(in, in + count, poly);
    return count;
}

RasterVertex Device::Project(const ClipVertex& v) const
{
    RasterVertex r;
    if (mPreTransformed)
    {
        r.x = v.x;
        r.y = v.y;
        r.z = v.z;
        r.rhw = v.rhw;
    }
    else
    {
        float rhw = 1.0f / v.w;
        float halfW = static_cast<float>(mViewport.width) * 0.5f;
        float halfH = static_cast<float>(mViewport.height) * 0.5f;
        r.x = static_cast<float>(mViewport.x) + (1.0f + v.x * rhw) * halfW;
        r.y = static_cast<float>(mViewport.y) + (1.0f - v.y * rhw) * halfH;
        r.z = mViewport.minZ + v.z * rhw * (mViewport.maxZ - mViewport.minZ);
        r.rhw = rhw;
    }
    std::copy(v.diffuse, v.diffuse + 4, r.diffuse);
    std::copy(v.specular, v.specular + 4, r.specular);
    r.u = v.u;
    r.v = v.v;
    return r;
}

void Device::DrawTriangle(uint32_t i0, uint32_t i1, uint32_t i2, uint32_t flat,
                          Rasterizer& rasterizer)
{
    ClipVertex poly[MAX_CLIP_VERTICES];
    ClipVertex scratch[MAX_CLIP_VERTICES];
    poly[0] = mClipVertices[i0];
    poly[1] = mClipVertices[i1];
    poly[2] = mClipVertices[i2];
    if (mFlatShade)
    {
        const ClipVertex& f = mClipVertices[flat];
        for (int i = 0; i < 3; ++i)
        {
            std::copy(f.diffuse, f.diffuse + 4, poly[i].diffuse);
            std::copy(f.specular, f.specular + 4, poly[i].specular);
        }
    }
    int count = 3;
    if (!(Inside(poly[0]) && Inside(poly[1]) && Inside(poly[2])))
        count = ClipPolygon(poly, 3, scratch);
    if (count < 3)
        return;
    RasterVertex r[MAX_CLIP_VERTICES];
    for (int i = 0; i < count; ++i)
        r[i] = Project(poly[i]);
    const RasterVertex* outline[MAX_CLIP_VERTICES];
    for (int i = 0; i < count; ++i)
        outline[i] = &r[i];
    if (Culls(outline, count))
        return;
    for (int i = 1; i + 1 < count; ++i)
        rasterizer.DrawTriangle(r[0], r[i], r[i + 1]);
}

bool Device::Culls(const RasterVertex* const* r, int count) const
{
    if (mCullMode != CULL_CW && mCullMode != CULL_CCW)
        return false;
    // Shoelace area in pixels, y down: positive for a clockwise outline on screen.
    double area = 0;
    for (int i = 0; i < count; ++i)
    {
        const RasterVertex& a = *r[i];
        const RasterVertex& b = *r[(i + 1) % count];
        area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return (mCullMode == CULL_CW && area > 0) || (mCullMode == CULL_CCW && area < 0);
}

bool Device::MergeableCorners(uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                              const ClipVertex* v[4]) const
{
    if (mFlatShade)
        return false;
    v[0] = &mClipVertices[a];
    v[1] = &mClipVertices[b];
    v[2] = &mClipVertices[c];
    v[3] = &mClipVertices[d];
    for (int i = 0; i < 4; ++i)
        if (!Inside(*v[i]))
            return false;
    return true;
}

bool Device::DrawAsSplitRectangle(uint32_t a, uint32_t b, uint32_t c, uint32_t d,
                                  Rasterizer& rasterizer)
{
    // As DrawTriangle draws (a, b, c) and (b, d, c) when nothing is clipped: the same projected
    // corners and cull decisions; the rasteriser merges them only where the bytes are the same.
    // Flat shading takes each triangle's first vertex's colours: never merged.
    const ClipVertex* v[4];
    if (!MergeableCorners(a, b, c, d, v))
        return false;
    RasterVertex r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = Project(*v[i]);
    const RasterVertex* first[3] = {&r[0], &r[1], &r[2]};
    const RasterVertex* second[3] = {&r[1], &r[3], &r[2]};
    const bool drawFirst = !Culls(first, 3), drawSecond = !Culls(second, 3);
    if (drawFirst && drawSecond && rasterizer.DrawSplitRectangle(r[0], r[1], r[2], r[3]))
        return true;
    if (drawFirst)
        rasterizer.DrawTriangle(r[0], r[1], r[2]);
    if (drawSecond)
        rasterizer.DrawTriangle(r[1], r[3], r[2]);
    return true;
}

bool Device::DrawAsQuad(uint32_t a, uint32_t b, uint32_t c, uint32_t d, Rasterizer& rasterizer)
{
    // Only sprite-like quads: nothing to clip, one w, a parallelogram on screen with attributes
    // that follow it (d = a + c - b for positions and for every attribute), so one plane
    // describes both triangles. Flat shading takes different vertices' colours: never merged.
    const ClipVertex* v[4];
    if (!MergeableCorners(a, b, c, d, v))
        return false;
    if (!(v[0]->w == v[1]->w && v[0]->w == v[2]->w && v[0]->w == v[3]->w &&
          v[0]->rhw == v[1]->rhw && v[0]->rhw == v[2]->rhw && v[0]->rhw == v[3]->rhw))
        return false;
    RasterVertex r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = Project(*v[i]);
    auto affine = [](float pa, float pb, float pc, float pd, float tolerance)
    {
        float expected = pa + pc - pb;
        return std::fabs(expected - pd) <= tolerance * (1.0f + std::fabs(pd));
    };
    constexpr float POSITION = 1.0f / 4096.0f; // well below the 1/256-pixel snap
    if (!affine(r[0].x, r[1].x, r[2].x, r[3].x, POSITION) ||
        !affine(r[0].y, r[1].y, r[2].y, r[3].y, POSITION) ||
        !affine(r[0].z, r[1].z, r[2].z, r[3].z, 1e-6f) ||
        !affine(r[0].u, r[1].u, r[2].u, r[3].u, 1e-6f) ||
        !affine(r[0].v, r[1].v, r[2].v, r[3].v, 1e-6f))
        return false;
    for (int k = 0; k < 4; ++k)
        if (!affine(r[0].diffuse[k], r[1].diffuse[k], r[2].diffuse[k], r[3].diffuse[k], 1e-4f) ||
            !affine(r[0].specular[k], r[1].specular[k], r[2].specular[k], r[3].specular[k], 1e-4f))
            return false;
    // Both triangles must face the same way (a convex outline) and survive culling alike.
    double cross1 =
        (static_cast<double>(r[1].x) - r[0].x) * (static_cast<double>(r[2].y) - r[0].y) -
        (static_cast<double>(r[2].x) - r[0].x) * (static_cast<double>(r[1].y) - r[0].y);
    double cross2 =
        (static_cast<double>(r[2].x) - r[0].x) * (static_cast<double>(r[3].y) - r[0].y) -
        (static_cast<double>(r[3].x) - r[0].x) * (static_cast<double>(r[2].y) - r[0].y);
    if (!(cross1 * cross2 > 0))
        return false;
    if ((mCullMode == CULL_CW && cross1 > 0) || (mCullMode == CULL_CCW && cross1 < 0))
        return true; // culled as a whole
    rasterizer.DrawQuad(r[0], r[1], r[2], r[3]);
    return true;
}

void Device::DrawLine(uint32_t i0, uint32_t i1)
{
    ClipVertex poly[MAX_CLIP_VERTICES];
    ClipVertex scratch[MAX_CLIP_VERTICES];
    poly[0] = mClipVertices[i0];
    poly[1] = mClipVertices[i1];
    if (mFlatShade)
    {
        std::copy(poly[0].diffuse, poly[0].diffuse + 4, poly[1].diffuse);
        std::copy(poly[0].specular, poly[0].specular + 4, poly[1].specular);
    }
    int count = 2;
    if (!(Inside(poly[0]) && Inside(poly[1])))
    {
        // A two-point polygon clips as a segment: each plane keeps the part inside, and the
        // outline that comes back runs along the segment and back. Its ends are the two points
        // farthest apart, taken in the segment's own direction.
        const ClipVertex a = poly[0], b = poly[1];
        count = ClipPolygon(poly, 2, scratch);
        if (count < 2)
            return;
        auto along = [&](const ClipVertex& v)
        {
            return (v.x - a.x) * (b.x - a.x) + (v.y - a.y) * (b.y - a.y) +
                   (v.z - a.z) * (b.z - a.z) + (v.w - a.w) * (b.w - a.w);
        };
        int lo = 0, hi = 0;
        for (int i = 1; i < count; ++i)
        {
            if (along(poly[i]) < along(poly[lo]))
                lo = i;
            if (along(poly[i]) > along(poly[hi]))
                hi = i;
        }
        if (lo == hi)
            return;
        ClipVertex first = poly[lo], last = poly[hi];
        poly[0] = first;
        poly[1] = last;
    }
    mRasterizer.DrawLine(Project(poly[0]), Project(poly[1]));
}

void Device::DrawPoint(uint32_t i0)
{
    const ClipVertex& v = mClipVertices[i0];
    if (!Inside(v))
        return;
    mRasterizer.DrawPoint(Project(v));
}

bool Device::MissesBand(const BandRows* band, uint32_t a, uint32_t b, uint32_t c) const
{
    if (band == nullptr)
        return false;
    const float ya = mScreen[a].y, yb = mScreen[b].y, yc = mScreen[c].y;
    // NaN (a vertex behind the eye) compares false both ways: drawn.
    return (ya < band->top && yb < band->top && yc < band->top) ||
           (ya > band->bottom && yb > band->bottom && yc > band->bottom);
}

void Device::MarkOffScissor(uint32_t begin, uint32_t end)
{
    // Only vertices that Inside accepts: a triangle of three such is drawn unclipped from their
    // projections, whose snapped coordinates then lie beyond the same side, so it covers no
    // pixel. The side is widened by a pixel against the last bits of the projection. Any other
    // vertex (clipped, behind the eye, NaN) gets no side, and its triangles take the full path.
    const Rect& s = mPixelState.mScissor;
    const float left = static_cast<float>(s.left) - 1.0f;
    const float right = static_cast<float>(s.right) + 1.0f;
    const float top = static_cast<float>(s.top) - 1.0f;
    const float bottom = static_cast<float>(s.bottom) + 1.0f;
    const float halfW = static_cast<float>(mViewport.width) * 0.5f;
    const float halfH = static_cast<float>(mViewport.height) * 0.5f;
    const float originX = static_cast<float>(mViewport.x);
    const float originY = static_cast<float>(mViewport.y);
    constexpr float NOT_KNOWN = std::numeric_limits<float>::quiet_NaN();
    for (uint32_t i = begin; i < end; ++i)
    {
        const ClipVertex& v = mClipVertices[i];
        float x = v.x, y = v.y;
        if (!mPreTransformed)
        {
            if (v.w > MIN_W)
            {
                const float rhw = 1.0f / v.w;
                x = originX + (1.0f + v.x * rhw) * halfW;
                y = originY + (1.0f - v.y * rhw) * halfH;
            }
            else
                x = y = NOT_KNOWN; // behind the eye
        }
        mScreen[i] = ScreenPoint{x, y};
        uint8_t sides = 0;
        if (Inside(v))
            sides = static_cast<uint8_t>((x < left ? 1 : 0) | (x > right ? 2 : 0) |
                                         (y < top ? 4 : 0) | (y > bottom ? 8 : 0));
        mOffScissor[i] = sides;
    }
}

void Device::DrawTriangles(PrimitiveType type, const uint16_t* idx, uint32_t count,
                           Rasterizer& rasterizer, const BandRows* band)
{
    switch (type)
    {
    case PT_TRIANGLELIST:
        for (uint32_t i = 0; i + 2 < count; i += 3)
        {
            // Quads arrive as (a, b, c), (a, c, d).
            if (i + 5 < count && idx[i + 3] == idx[i] && idx[i + 4] == idx[i + 2])
            {
                if ((MissesBand(band, idx[i], idx[i + 1], idx[i + 2]) ||
                     OffScissor(idx[i], idx[i + 1], idx[i + 2])) &&
                    (MissesBand(band, idx[i], idx[i + 2], idx[i + 5]) ||
                     OffScissor(idx[i], idx[i + 2], idx[i + 5])))
                {
                    i += 3;
                    continue;
                }
                if (DrawAsQuad(idx[i], idx[i + 1], idx[i + 2], idx[i + 5], rasterizer))
                {
                    i += 3;
                    continue;
                }
            }
            // Or as the particle renderer sends them: (a, b, c), (b, d, c).
            else if (i + 5 < count && idx[i + 3] == idx[i + 1] && idx[i + 5] == idx[i + 2])
            {
                const bool skipFirst = MissesBand(band, idx[i], idx[i + 1], idx[i + 2]) ||
                                       OffScissor(idx[i], idx[i + 1], idx[i + 2]);
                const bool skipSecond = MissesBand(band, idx[i + 1], idx[i + 4], idx[i + 2]) ||
                                        OffScissor(idx[i + 1], idx[i + 4], idx[i + 2]);
                if ((skipFirst && skipSecond) ||
                    (!skipFirst && !skipSecond &&
                     DrawAsSplitRectangle(idx[i], idx[i + 1], idx[i + 2], idx[i + 4], rasterizer)))
                {
                    i += 3;
                    continue;
                }
            }
            if (!MissesBand(band, idx[i], idx[i + 1], idx[i + 2]) &&
                !OffScissor(idx[i], idx[i + 1], idx[i + 2]))
                DrawTriangle(idx[i], idx[i + 1], idx[i + 2], idx[i], rasterizer);
        }
        break;
    case PT_TRIANGLESTRIP:
        // Every second triangle is reversed so the whole strip keeps one winding.
        for (uint32_t i = 0; i + 2 < count; ++i)
            if (MissesBand(band, idx[i], idx[i + 1], idx[i + 2]) ||
                OffScissor(idx[i], idx[i + 1], idx[i + 2]))
                continue;
            else if (i % 2 == 0)
                DrawTriangle(idx[i], idx[i + 1], idx[i + 2], idx[i], rasterizer);
            else
                DrawTriangle(idx[i + 1], idx[i], idx[i + 2], idx[i], rasterizer);
        break;
    case PT_TRIANGLEFAN:
        // Flat-shaded fans take the colour of each triangle's second vertex.
        if (count == 4 && DrawAsQuad(idx[0], idx[1], idx[2], idx[3], rasterizer))
            break;
        for (uint32_t i = 1; i + 1 < count; ++i)
            if (!MissesBand(band, idx[0], idx[i], idx[i + 1]) &&
                !OffScissor(idx[0], idx[i], idx[i + 1]))
                DrawTriangle(idx[0], idx[i], idx[i + 1], idx[i], rasterizer);
        break;
    default:
        break;
    }
}

bool Device::PlanBands(PrimitiveType type, const uint16_t* idx, uint32_t count, uint32_t bands,
                       int32_t* cuts)
{
    // Worth it when the draw's work, its triangles' pixels within the viewport and a set-up per
    // triangle, is well above the cost of handing it to the threads, and it is tall enough to
    // share out. Many small quads in one draw qualify: each band sets up only the triangles
    // that reach it. Measured with batches of 500 particles: 8 x 8 ones (about 64000) gained
    // nothing from four threads, 24 x 24 ones (about 320000) drew in about half the time.
    constexpr float MIN_WORK = 131072.0f; // in pixels' worth of drawing
    constexpr float SETUP_PIXELS = 32.0f; // one triangle's set-up, likewise
    constexpr float MIN_HEIGHT = 64.0f;
    if (mThreadCount < 2 || count < 3)
        return false;
    // The band edges are cut at equal shares of the work, each triangle's spread evenly over
    // the rows it spans (kept per row as differences, summed up below). Even cuts, the rows
    // shared out alike, left the top and bottom bands of a batch of sprites (which reach the
    // screen's edges less often) with half the work of the others, and their threads idle for
    // the last quarter of the draw.
    const Rect& whole = mPixelState.mScissor;
    const int32_t rows = whole.Height();
    const float top = static_cast<float>(whole.top), bottom = static_cast<float>(whole.bottom);
    const float viewportArea = static_cast<float>(mViewport.width) * mViewport.height;
    // A draw of a few large triangles (a full-screen layer) is cut evenly.
    const uint32_t triangles = type == PT_TRIANGLELIST ? count / 3 : count - 2;
    const bool byWork = triangles >= 16;
    if (byWork)
        mRowWork.assign(static_cast<size_t>(rows) + 1, 0.0f);
    float low = bottom, high = top, work = 0;
    bool known = true;
    for (uint32_t t = 0; t < triangles; ++t)
    {
        const uint32_t first = type == PT_TRIANGLELIST ? 3 * t : type == PT_TRIANGLESTRIP ? t : 0;
        const ScreenPoint pa = mScreen[idx[first]];
        const ScreenPoint pb = mScreen[idx[type == PT_TRIANGLELIST ? 3 * t + 1 : t + 1]];
        const ScreenPoint pc = mScreen[idx[type == PT_TRIANGLELIST ? 3 * t + 2 : t + 2]];
        const float y0 = std::min(std::min(pa.y, pb.y), pc.y);
        const float y1 = std::max(std::max(pa.y, pb.y), pc.y);
        if (!(y1 - y0 < 1e9f)) // NaN (behind the eye) or past the guard band
        {
            known = false;
            break;
        }
        const float from = std::max(y0, top), to = std::min(y1, bottom);
        if (!(from < to))
            continue;
        low = std::min(low, from);
        high = std::max(high, to);
        const float area = std::min(
            std::fabs((pb.x - pa.x) * (pc.y - pa.y) - (pc.x - pa.x) * (pb.y - pa.y)) * 0.5f,
            viewportArea);
        work += area + SETUP_PIXELS;
        if (byWork)
        {
            const float perRow = (area + SETUP_PIXELS) / std::max(y1 - y0, 1.0f);
            mRowWork[static_cast<uint32_t>(from - top)] += perRow;
            mRowWork[std::min(static_cast<int32_t>(to - top) + 1, rows)] -= perRow;
        }
    }
    for (uint32_t k = 0; k <= bands; ++k)
        cuts[k] = whole.top + static_cast<int32_t>(static_cast<int64_t>(rows) * k / bands);
    if (!known)
        return true; // reaches behind the eye: assume it covers the viewport, cut evenly
    if (!(high - low >= MIN_HEIGHT && work >= MIN_WORK))
        return false;
    if (!byWork)
        return true;
    float perRow = 0, total = 0;
    for (int32_t r = 0; r < rows; ++r)
    {
        perRow += mRowWork[static_cast<size_t>(r)];
        total += perRow;
        mRowWork[static_cast<size_t>(r)] = total; // the work of rows 0 .. r
    }
    int32_t r = 0;
    for (uint32_t k = 1; k < bands; ++k)
    {
        const float share = total * static_cast<float>(k) / static_cast<float>(bands);
        while (r < rows && mRowWork[static_cast<size_t>(r)] < share)
            ++r;
        cuts[k] = whole.top + r;
    }
    return true;
}

void Device::DrawIndexed(PrimitiveType type, const uint16_t* idx, uint32_t count)
{
    mLastDrawBanded = false;
    switch (type)
    {
    case PT_POINTLIST:
        for (uint32_t i = 0; i < count; ++i)
            DrawPoint(idx[i]);
        return;
    case PT_LINELIST:
        for (uint32_t i = 0; i + 1 < count; i += 2)
            DrawLine(idx[i], idx[i + 1]);
        return;
    case PT_LINESTRIP:
        for (uint32_t i = 0; i + 1 < count; ++i)
            DrawLine(idx[i], idx[i + 1]);
        return;
    default:
        break;
    }
    // Contiguous bands of the viewport's rows, each taking the whole draw: two per thread, so
    // that a thread which gets its core late leaves the rest to the others. More would set up
    // the triangles crossing their edges more often (measured: three or four per thread were
    // no faster).
    const uint32_t bands = 2 * mThreadCount;
    int32_t cuts[RasterThreads::MAX_BANDS + 1];
    if (!PlanBands(type, idx, count, bands, cuts))
    {
        DrawTriangles(type, idx, count, mRasterizer);
        return;
    }
    if (mThreads == nullptr)
        mThreads = std::make_unique<RasterThreads>(mThreadCount);
    mLastDrawBanded = true;
    uint64_t pixels[RasterThreads::MAX_BANDS] = {};
    auto task = [&](uint32_t k)
    {
        PixelState state = mPixelState;
        state.mScissor.top = cuts[k];
        state.mScissor.bottom = cuts[k + 1];
        if (state.mScissor.IsEmpty())
            return;
        const BandRows band{static_cast<float>(state.mScissor.top) - 1.0f,
                            static_cast<float>(state.mScissor.bottom) + 1.0f};
        Rasterizer rasterizer;
        rasterizer.SetTarget(mTargetView, mHasDepthView ? &mDepthView : nullptr);
        rasterizer.SetState(&state);
        DrawTriangles(type, idx, count, rasterizer, &band);
        pixels[k] = rasterizer.GetPixelCount();
    };
    mThreads->Run(task, bands);
    for (uint32_t k = 0; k < bands; ++k)
        mBandPixels += pixels[k];
}

Result Device::CheckDrawCall(PrimitiveType type, uint32_t fvf)
{
    if (const Result injected = TakeAnswer(mDrawAnswers); Failed(injected))
        return injected;
    if (type < PT_POINTLIST || type > PT_TRIANGLEFAN)
        return Result::InvalidParams;
    if (fvf != FVF_VERTEX && fvf != FVF_LVERTEX && fvf != FVF_TLVERTEX)
        return Result::InvalidParams;
    return Result::Ok;
}

Result Device::DrawPrimitive(PrimitiveType type, uint32_t fvf, const void* vertices, uint32_t count,
                             uint32_t /*flags*/)
{
    if (const Result checked = CheckDrawCall(type, fvf); checked != Result::Ok)
        return checked;
    if (count == 0)
        return Result::Ok;
    if (vertices == nullptr)
        return Result::Pointer;
    if (count > kMaxDrawVertices)
        return Result::InvalidParams;
    if (Failed(mTarget->IsLost()))
        return Result::SurfaceLost;
    if (!PrepareDraw(fvf))
        return Result::Ok;
    TransformVertices(fvf, vertices, count);
    if (mIdentity.size() < count)
    {
        size_t old = mIdentity.size();
        mIdentity.resize(count);
        for (size_t i = old; i < count; ++i)
            mIdentity[i] = static_cast<uint16_t>(i);
    }
    DrawIndexed(type, mIdentity.data(), count);
    return Result::Ok;
}

Result Device::DrawIndexedPrimitive(PrimitiveType type, uint32_t fvf, const void* vertices,
                                    uint32_t vertexCount, const uint16_t* indices,
                                    uint32_t indexCount, uint32_t /*flags*/)
{
    if (const Result checked = CheckDrawCall(type, fvf); checked != Result::Ok)
        return checked;
    if (indexCount == 0 || vertexCount == 0)
        return Result::Ok;
    if (vertices == nullptr || indices == nullptr)
        return Result::Pointer;
    // 16-bit indices reach the first 65536 vertices only; a longer array (a large vertex set
    // drawn through an identity index list) is drawn as far as its indices go.
    vertexCount = std::min(vertexCount, 65536u);
    for (uint32_t i = 0; i < indexCount; ++i)
        if (indices[i] >= vertexCount)
        {
            DisplayLog("DrawIndexedPrimitive: index %u at %u is past %u vertices", indices[i], i,
                       vertexCount);
            return Result::InvalidParams;
        }
    if (Failed(mTarget->IsLost()))
        return Result::SurfaceLost;
    if (!PrepareDraw(fvf))
        return Result::Ok;
    TransformVertices(fvf, vertices, vertexCount);
    DrawIndexed(type, indices, indexCount);
    return Result::Ok;
}

} // namespace sys::display
