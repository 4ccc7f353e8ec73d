// Draw state at the device: blend modes and their texture stages, filters, address and cull
// modes, depth, transforms, lights, options, viewports with their clamping, 2-D and 3-D modes,
// vertex kinds with the 2-D projection, and the plain, indexed and expanded draws.
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"

#include <algorithm>
#include <cstring>

using namespace sys::display;

namespace
{
constexpr const char* kSource = "platform";
constexpr uint32_t kMaxIndices = 65535;
constexpr uint32_t kVertexBytes = 32;
constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;

Matrix ToMatrix(const TMat4& m)
{
    Matrix out;
    std::memcpy(out.m, m.m, sizeof(out.m));
    return out;
}

ColorValue ToColor(const TVec4& v)
{
    return ColorValue{v.x, v.y, v.z, v.w};
}

void Check(DxResult hr, int line)
{
    if (Failed(hr))
        ReportDxError(hr, kSource, line);
}
} // namespace

bool TPlatform::IsAlphaTarget() const
{
    return mData->mRenderTargetKind == 4 && mData->mRenderTargetTexture != nullptr;
}

void TPlatform::SetBlendMode(int32_t mode)
{
    TPlatformData& d = *mData;
    d.mBlendMode = mode;
    Device* device = d.mDevice;
    if (!device)
        return;
    const bool alphaTarget = IsAlphaTarget();
    auto blend = [&](uint32_t source, uint32_t dest)
    {
        Check(device->SetRenderState(RS_SRCBLEND, source), __LINE__);
        Check(device->SetRenderState(RS_DESTBLEND, dest), __LINE__);
        Check(device->SetRenderState(RS_ALPHABLENDENABLE, 1), __LINE__);
    };
    switch (mode)
    {
    case kBlendAlpha:
        blend(BLEND_SRCALPHA, alphaTarget ? BLEND_ONE : BLEND_INVSRCALPHA);
        break;
    case kBlendOpaque:
        Check(device->SetRenderState(RS_ALPHABLENDENABLE, 0), __LINE__);
        break;
    case kBlendAdditive:
        blend(BLEND_SRCALPHA, BLEND_ONE);
        break;
    case kBlendSubtractive:
        if (alphaTarget && d.mNewSubtractive)
            blend(BLEND_ONE, BLEND_ONE);
        else if (alphaTarget)
            blend(BLEND_SRCALPHA, BLEND_INVSRCALPHA);
        else
            blend(BLEND_ZERO, BLEND_INVSRCCOLOR);
        break;
    case kBlendMultiply:
        blend(BLEND_ZERO, BLEND_SRCCOLOR);
        break;
    default:
        break;
    }
    ApplyTextureStages();
}

void TPlatform::ApplyTextureStages()
{
    TPlatformData& d = *mData;
    Device* device = d.mDevice;
    if (!device)
        return;
    auto stage = [&](TextureStageState which, uint32_t value)
    { Check(device->SetTextureStageState(0, which, value), __LINE__); };
    Check(device->SetRenderState(RS_TEXTUREFACTOR, kOpaqueWhite), __LINE__);
    const int32_t mode = d.mBlendMode;
    if (IsAlphaTarget())
    {
        // The source's alpha arrives as grey with alpha 1.
        if (mode == kBlendSubtractive && d.mNewSubtractive)
        {
            stage(TSS_COLORARG1, TA_TFACTOR);
        }
        else if (d.mFacadeTextureBound)
        {
            stage(TSS_COLORARG1, TA_TEXTURE | TA_ALPHAREPLICATE);
            if (d.mNewRenderBlend)
            {
                stage(TSS_COLORARG2, TA_DIFFUSE | TA_ALPHAREPLICATE);
                stage(TSS_COLOROP, TOP_MODULATE);
            }
        }
        else
        {
            stage(TSS_COLORARG1, TA_DIFFUSE | TA_ALPHAREPLICATE);
            if (d.mNewRenderBlend)
                stage(TSS_COLOROP, TOP_SELECTARG1);
        }
        if (!d.mNewRenderBlend)
            stage(TSS_COLOROP, TOP_SELECTARG1);
        stage(TSS_ALPHAARG1, TA_TFACTOR);
        stage(TSS_ALPHAOP, TOP_SELECTARG1);
        return;
    }
    stage(TSS_COLORARG1, TA_TEXTURE);
    if (d.mNewRenderBlend)
        stage(TSS_COLORARG2, TA_CURRENT);
    stage(TSS_COLOROP, TOP_MODULATE);
    if (mode == kBlendOpaque || (mode == kBlendSubtractive && d.mNewSubtractive))
    {
        stage(TSS_ALPHAARG1, TA_TFACTOR);
        stage(TSS_ALPHAOP, TOP_SELECTARG1);
    }
    else
    {
        stage(TSS_ALPHAARG1, TA_TEXTURE);
        stage(TSS_ALPHAOP, TOP_MODULATE);
    }
}

std::unique_ptr<TTextureData> TPlatform::CreateTextureData()
{
    return std::make_unique<TDxTextureData>();
}

void TPlatform::SetTexture(const std::shared_ptr<TTexture>& texture)
{
    TPlatformData& d = *mData;
    if (!CheckDevice())
        return;
    std::shared_ptr<Surface> surface;
    if (texture && !texture->IsPlainSurface())
        if (auto* store = dynamic_cast<TDxTextureData*>(texture->GetData()))
            surface = store->GetSurface();
    Check(d.mDevice->SetTexture(0, surface), __LINE__);
    d.mFacadeTextureBound = texture != nullptr;
    ApplyTextureStages();
}

void TPlatform::SetTextureFilter(int32_t filter)
{
    Device* device = mData->mDevice;
    if (!device || (filter != 0 && filter != 1))
        return;
    const uint32_t value = filter == 0 ? TFILTER_POINT : TFILTER_LINEAR;
    Check(device->SetTextureStageState(0, TSS_MINFILTER, value), __LINE__);
    Check(device->SetTextureStageState(0, TSS_MAGFILTER, value), __LINE__);
    Check(device->SetTextureStageState(0, TSS_MIPFILTER, filter == 0 ? TFP_POINT : TFP_LINEAR),
          __LINE__);
}

void TPlatform::SetTextureAddress(int32_t u, int32_t v)
{
    Device* device = mData->mDevice;
    if (!device)
        return;
    auto address = [](int32_t mode) -> uint32_t {
        return mode == 1 ? TADDRESS_WRAP : mode == 2 ? TADDRESS_MIRROR : TADDRESS_CLAMP;
    };
    Check(device->SetTextureStageState(0, TSS_ADDRESSU, address(u)), __LINE__);
    Check(device->SetTextureStageState(0, TSS_ADDRESSV, address(v)), __LINE__);
}

void TPlatform::SetCullMode(int32_t mode)
{
    if (Device* device = mData->mDevice)
        Check(device->SetRenderState(RS_CULLMODE, mode == 2   ? CULL_CW
                                                  : mode == 3 ? CULL_CCW
                                                              : CULL_NONE),
              __LINE__);
}

void TPlatform::SetShadeMode(int32_t mode)
{
    if (Device* device = mData->mDevice)
        Check(device->SetRenderState(RS_SHADEMODE, mode == 2 ? SHADE_GOURAUD : SHADE_FLAT),
              __LINE__);
}

void TPlatform::SetZEnable(bool on)
{
    mData->mZEnable = on;
    if (Device* device = mData->mDevice)
        Check(device->SetRenderState(RS_ZENABLE, on ? 1 : 0), __LINE__);
}

void TPlatform::SetZWrite(bool on)
{
    mData->mZWrite = on;
    if (Device* device = mData->mDevice)
        Check(device->SetRenderState(RS_ZWRITEENABLE, on ? 1 : 0), __LINE__);
}

void TPlatform::SetWorldMatrix(const TMat4& m)
{
    if (Device* device = mData->mDevice)
        device->SetTransform(TS_WORLD, ToMatrix(m));
}

void TPlatform::SetViewMatrix(const TMat4& m)
{
    if (Device* device = mData->mDevice)
        Check(device->SetTransform(TS_VIEW, ToMatrix(m)), __LINE__);
}

void TPlatform::SetProjectionMatrix(const TMat4& m)
{
    TPlatformData& d = *mData;
    if (!d.mDevice)
        return;
    Check(d.mDevice->SetTransform(TS_PROJECTION, ToMatrix(m)), __LINE__);
    d.mProjection = m;
    d.mProjectionDirty = true;
}

void TPlatform::SetAmbient(const TVec4& colour)
{
    if (Device* device = mData->mDevice)
        Check(device->SetRenderState(RS_AMBIENT, TColor(colour).GetPacked()), __LINE__);
}

void TPlatform::SetMaterial(const TMaterial& material)
{
    Device* device = mData->mDevice;
    if (!device)
        return;
    Material m;
    m.diffuse = ToColor(material.mDiffuse);
    m.ambient = ToColor(material.mAmbient);
    m.specular = ToColor(material.mSpecular);
    m.emissive = ToColor(material.mEmissive);
    m.power = material.mPower;
    Check(device->SetMaterial(m), __LINE__);
}

void TPlatform::SetLight(uint32_t index, const TLight* light)
{
    Device* device = mData->mDevice;
    if (!device)
        return;
    if (!light)
    {
        Check(device->LightEnable(index, false), __LINE__);
        return;
    }
    DxResult hr = device->LightEnable(index, true);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return;
    }
    Light out;
    const int type = static_cast<int>(light->mType);
    // Other types leave the light's type 0, which the device refuses.
    out.type = 0;
    if (type == 0)
        out.type = LIGHT_DIRECTIONAL;
    else if (type == 1)
        out.type = LIGHT_POINT;
    else if (type == 2)
        out.type = LIGHT_SPOT;
    out.diffuse = ToColor(light->mDiffuse);
    out.specular = ToColor(light->mSpecular);
    out.ambient = ToColor(light->mAmbient);
    out.position = Vector3{light->mPosition.x, light->mPosition.y, light->mPosition.z};
    out.direction = Vector3{light->mDirection.x, light->mDirection.y, light->mDirection.z};
    out.range = light->mRange;
    out.attenuation0 = light->mAttenuation0;
    out.attenuation1 = light->mAttenuation1;
    out.attenuation2 = light->mAttenuation2;
    out.theta = light->mTheta;
    out.phi = light->mPhi;
    out.falloff = 1.0f;
    hr = device->SetLight(index, out);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        device->LightEnable(index, false);
    }
}

void TPlatform::SetOption(const TString& name, const TString& value)
{
    TPlatformData& d = *mData;
    const bool on = value.ToInt() > 0;
    if (name == "antialias")
    {
        d.mAntialias = on;
        if (d.mDevice)
            Check(d.mDevice->SetRenderState(RS_ANTIALIAS,
                                            on ? ANTIALIAS_SORTINDEPENDENT : ANTIALIAS_NONE),
                  __LINE__);
    }
    else if (name == "hint_antialias")
    {
        d.mHintAntialias = on;
    }
    else if (name == "new_subtractive")
    {
        d.mNewSubtractive = on;
    }
    else if (name == "new_render_blend")
    {
        d.mNewRenderBlend = on;
    }
}

TString TPlatform::GetOption(const TString& name) const
{
    const TPlatformData& d = *mData;
    if (name == "antialias")
        return d.mAntialias ? "1" : "0";
    if (name == "hint_antialias")
        return d.mHintAntialias ? "1" : "0";
    if (name == "new_subtractive")
        return d.mNewSubtractive ? "1" : "0";
    if (name == "16bitmode")
        return d.mLowMemoryVideo || d.mBitDepth == 16 || d.mBitDepth == 15 ? "1" : "0";
    return TString();
}

void TPlatform::GetViewport(int& left, int& top, int& right, int& bottom) const
{
    const TRect& v = mData->mViewport;
    left = v.left;
    top = v.top;
    right = v.right;
    bottom = v.bottom;
}

bool TPlatform::ApplyViewport(const TRect& rect, bool clip)
{
    TPlatformData& d = *mData;
    if (!d.mDevice)
        return false;
    TRect r = rect;
    if (clip)
        r.SetIntersection(rect, d.mClipRect);
    const int w = d.mScreenRect.Width();
    const int h = d.mScreenRect.Height();
    int x = std::max(r.left, 0);
    int y = std::max(r.top, 0);
    int right = std::max(r.right, x);
    int bottom = std::max(r.bottom, y);
    if (x >= w)
        x = w - 1;
    if (y >= h)
        y = h - 1;
    right = std::min(right, w);
    bottom = std::min(bottom, h);
    int width = right - x;
    int height = bottom - y;
    float s = 1.0f;
    TApplication* application = TApplication::Get();
    if (application && application->GetImpl() && application->GetImpl()->GetViewportScale(s))
    {
        auto scaled = [s](int value)
        { return static_cast<int>(static_cast<float>(value) * s + 0.5f); };
        x = scaled(x);
        y = scaled(y);
        width = scaled(width);
        height = scaled(height);
        if (s != 0.0f && static_cast<float>(x + width) / s > static_cast<float>(w))
            width = scaled(w) - x;
        if (s != 0.0f && static_cast<float>(y + height) / s > static_cast<float>(h))
            height = scaled(h) - y;
    }
    Viewport viewport;
    viewport.x = static_cast<uint32_t>(std::max(x, 0));
    viewport.y = static_cast<uint32_t>(std::max(y, 0));
    viewport.width = static_cast<uint32_t>(std::max(width, 0));
    viewport.height = static_cast<uint32_t>(std::max(height, 0));
    DxResult hr = d.mDevice->SetViewport(viewport);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return false;
    }
    return true;
}

void TPlatform::SetViewport(int left, int top, int right, int bottom)
{
    TPlatformData& d = *mData;
    if (!d.mDevice)
        return;
    const TRect previous = d.mViewport;
    d.mViewport = TRect(left, top, right, bottom);
    d.mProjectionDirty = true;
    if (!ApplyViewport(d.mViewport, true))
    {
        Log("Bad viewport: %d, %d, %d, %d", left, top, right, bottom);
        d.mViewport = previous;
        ApplyViewport(d.mViewport, true);
    }
}

void TPlatform::PushViewport(int left, int top, int right, int bottom)
{
    mData->mViewportStack.push_back(mData->mViewport);
    SetViewport(left, top, right, bottom);
}

void TPlatform::PopViewport()
{
    TPlatformData& d = *mData;
    if (d.mViewportStack.empty())
    {
        Log("PopViewport: no viewport was pushed");
        return;
    }
    d.mViewport = d.mViewportStack.back();
    d.mViewportStack.pop_back();
    ApplyViewport(d.mViewport, false);
    d.mProjectionDirty = true;
}

bool TPlatform::SetClipRect(const TRect& rect)
{
    mData->mClipRect = rect;
    mData->mProjectionDirty = true;
    return ApplyViewport(mData->mViewport, true);
}

void TPlatform::Begin2d()
{
    TPlatformData& d = *mData;
    d.mFacadeIn2d = true;
    if (Device* device = d.mDevice)
    {
        Check(device->SetRenderState(RS_SPECULARENABLE, 0), __LINE__);
        Check(device->SetRenderState(RS_CLIPPING, 0), __LINE__);
    }
    SetTextureAddress(3, 3);
    SetBlendMode(kBlendAlpha);
    SetTextureFilter(1);
    SetZEnable(false);
    SetZWrite(false);
    SetCullMode(1);
    TMat4 identity;
    identity.SetIdentity();
    SetWorldMatrix(identity);
    SetViewMatrix(identity);
    d.mProjectionDirty = true;
}

void TPlatform::End2d()
{
    TPlatformData& d = *mData;
    d.mFacadeIn2d = false;
    // The facade's texture is unbound through the facade, which forgets it too.
    TRenderer* renderer = TRenderer::Existing();
    if (renderer && &renderer->GetPlatform() == this)
        renderer->SetTexture(nullptr);
    d.mFacadeTextureBound = false;
    if (d.mDevice)
        d.mDevice->SetTexture(0, nullptr);
    TMat4 identity;
    identity.SetIdentity();
    SetWorldMatrix(identity);
    SetViewMatrix(identity);
}

bool TPlatform::Begin3d()
{
    TPlatformData& d = *mData;
    d.mFacadeIn2d = false;
    if (Device* device = d.mDevice)
    {
        Check(device->SetRenderState(RS_SPECULARENABLE, d.mNoSpecularGouraud ? 0 : 1), __LINE__);
        Check(device->SetRenderState(RS_CLIPPING, 1), __LINE__);
    }
    SetZEnable(true);
    SetZWrite(true);
    SetBlendMode(kBlendAlpha);
    SetTextureFilter(1);
    SetTextureAddress(1, 1);
    SetCullMode(3);
    return true;
}

void TPlatform::Rebuild2dProjection()
{
    TPlatformData& d = *mData;
    d.mProjectionDirty = false;
    const float offX = static_cast<float>(std::max(d.mClipRect.left - d.mViewport.left, 0));
    const float offY = static_cast<float>(std::max(d.mClipRect.top - d.mViewport.top, 0));
    TRect visible;
    visible.SetIntersection(d.mViewport, d.mScreenRect);
    visible.SetIntersection(visible, d.mClipRect);
    const float w = static_cast<float>(visible.Width());
    const float h = static_cast<float>(visible.Height());
    const float p = d.mPixelOffset;
    const float l = offX - p;
    const float r = offX + w - p;
    const float b = offY + h - p;
    const float t = offY - p;
    const float zn = d.mNearPlane;
    const float zf = d.mFarPlane;
    // The off-centre left-handed orthographic matrix, then depth passed through.
    TMat4 m(2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, 1.0f / (zf - zn), 0,
            (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    m.m[2][2] = 1;
    m.m[2][3] = 0;
    m.m[3][2] = 0;
    m.m[3][3] = 1;
    SetProjectionMatrix(m);
}

uint32_t TPlatform::SelectVertexKind(int32_t kind)
{
    TPlatformData& d = *mData;
    const bool lit = kind == kVertexLit || kind == kVertexColored || kind == kVertexTransformed;
    Check(d.mDevice->SetRenderState(RS_LIGHTING, lit ? 0 : 1), __LINE__);
    if (kind != kVertexTransformed && d.mProjectionDirty && d.mFacadeIn2d)
        Rebuild2dProjection();
    switch (kind)
    {
    case kVertexLit:
    case kVertexColored:
        return FVF_LVERTEX;
    case kVertexTransformed:
        return FVF_TLVERTEX;
    default:
        return FVF_VERTEX;
    }
}

void TPlatform::DrawVertices(uint32_t primitive, const TVertexSet& set)
{
    TPlatformData& d = *mData;
    if (d.mDxBroken || !d.mDevice)
        return;
    static const TString kBrokenIndexed("brokenindexedverts");
    if (IsEnabled(kBrokenIndexed))
    {
        const uint32_t n = std::min(set.mCount, kMaxIndices);
        if (d.mIndexBuffer.empty() || d.mIndexCapacity < n)
        {
            uint32_t capacity = std::max<uint32_t>(d.mIndexCapacity, 1);
            while (capacity < n)
                capacity = std::min(capacity * 2, kMaxIndices);
            d.mIndexBuffer.resize(capacity);
            for (uint32_t i = 0; i < capacity; ++i)
                d.mIndexBuffer[i] = static_cast<uint16_t>(i);
            d.mIndexCapacity = static_cast<uint16_t>(capacity);
        }
        DrawIndexedVertices(primitive, set, d.mIndexBuffer.data(), n);
        return;
    }
    const uint32_t fvf = SelectVertexKind(set.mKind);
    ClearDepthWhereTested();
    DxResult hr = d.mDevice->DrawPrimitive(static_cast<PrimitiveType>(primitive), fvf,
                                           set.mVertices, set.mCount, 0);
    if (hr == DxResult::OutOfVideoMemory)
    {
        Log("DrawVertices out of video memory");
        TApplication::OutOfVideoMemory();
    }
    else if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        MarkDirectXBroken();
    }
}

void TPlatform::DrawIndexedVertices(uint32_t primitive, const TVertexSet& set,
                                    const uint16_t* indices, uint32_t indexCount)
{
    TPlatformData& d = *mData;
    if (d.mDxBroken || !d.mDevice)
        return;
    const uint32_t fvf = SelectVertexKind(set.mKind);
    ClearDepthWhereTested();
    const auto type = static_cast<PrimitiveType>(primitive);
    if (!(mIndexed && mBrokenIndexedVerts))
    {
        Check(d.mDevice->DrawIndexedPrimitive(type, fvf, set.mVertices, set.mCount, indices,
                                              indexCount, 0),
              __LINE__);
        return;
    }
    // Expanded into a plain draw. An index past the vertices is refused, as the device does.
    for (uint32_t i = 0; i < indexCount; ++i)
    {
        if (indices[i] >= set.mCount)
        {
            Log("DrawIndexedVertices: index %u of %u vertices refused", indices[i], set.mCount);
            return;
        }
    }
    d.mExpandedVertices.resize(static_cast<size_t>(indexCount) * kVertexBytes);
    const auto* from = static_cast<const uint8_t*>(set.mVertices);
    for (uint32_t i = 0; i < indexCount; ++i)
        std::memcpy(d.mExpandedVertices.data() + static_cast<size_t>(i) * kVertexBytes,
                    from + static_cast<size_t>(indices[i]) * kVertexBytes, kVertexBytes);
    Check(d.mDevice->DrawPrimitive(type, fvf, d.mExpandedVertices.data(), indexCount, 0), __LINE__);
}
