// Frames at the device: beginning a scene with its refusals and lost-surface recovery, ending
// it and presenting, fills outside a frame, and the flip and present status.
#include "render/platform.h"

#include "platform/application.h"
#include "platform/log.h"
#include "platform/window_manager_seam.h"
#include "render/renderer.h"
#include "sys/clock.h"
#include "sys/display/vertex_formats.h"

#include <algorithm>
#include <cmath>

using namespace sys::display;

namespace
{
constexpr const char* kSource = "platform";

bool IsMainWindowForeground()
{
    TApplication* application = TApplication::Get();
    return application && application->GetImpl() &&
           sys::IsForegroundWindow(application->GetImpl()->mMainWindow);
}

bool IsDrawingSuspended()
{
    TApplication* application = TApplication::Get();
    TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr;
    return manager && manager->IsDrawingSuspended();
}

// trunc(channel x mask) AND mask, as the surface's raw fill value.
uint32_t ChannelValue(float channel, uint32_t mask)
{
    const double value = std::trunc(static_cast<double>(channel) * static_cast<double>(mask));
    if (!(value > 0.0))
        return 0;
    const uint64_t raw = value >= 4294967295.0 ? 0xFFFFFFFFull : static_cast<uint64_t>(value);
    return static_cast<uint32_t>(raw) & mask;
}
} // namespace

bool TPlatform::BeginScene(bool copyFront)
{
    TPlatformData& d = *mData;
    if (!d.mDevice || d.mDxBroken)
        return false;
    TDXContext& context = *d.mContext;
    const auto& front = context.GetFrontBuffer();
    if (!front || !d.mBackBuffer)
        return false;
    if (Failed(front->IsLost()))
    {
        if (IsMainWindowForeground())
            MarkDirectXBroken();
        return false;
    }
    if (Failed(d.mBackBuffer->IsLost()))
        return false;
    DxResult hr = front->GetFlipStatus(GFS_ISFLIPDONE);
    if (hr == DxResult::WasStillDrawing)
        return false;
    if (Failed(hr))
        ReportDxError(hr, kSource, __LINE__);
    if (copyFront && d.mFullScreen && !context.RestoreFrontToBack())
    {
        MarkDirectXBroken();
        return false;
    }
    hr = d.mDevice->BeginScene();
    if (hr == DxResult::SurfaceLost)
    {
        Log("TRenderer::BeginDraw: DDERR_SURFACELOST on BeginScene");
        if (d.mInRestore)
        {
            MarkDirectXBroken();
            return false;
        }
        d.Restore();
        if (d.mDxBroken || !d.mDevice)
        {
            d.mInScene = false;
            return false;
        }
        hr = d.mDevice->BeginScene();
        if (Failed(hr))
        {
            ReportDxError(hr, kSource, __LINE__);
            MarkDirectXBroken();
            d.mInScene = false;
            return false;
        }
    }
    else if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        d.mInScene = false;
        return false;
    }
    ++d.mWorkingCount;
    ApplyViewport(d.mScreenRect, false);
    context.Clear(CLEAR_ZBUFFER);
    ApplyViewport(d.mViewport, false);
    d.mInScene = true;
    return true;
}

void TPlatform::EndDraw(bool present)
{
    TPlatformData& d = *mData;
    if (!d.mInScene || !d.mDevice)
        return;
    d.mInScene = false;
    DxResult hr = d.mDevice->EndScene();
    if (hr == DxResult::SceneEndFailed)
    {
        MarkDirectXBroken();
        return;
    }
    if (Succeeded(hr) && present && !IsDrawingSuspended())
        hr = d.mContext->Present();
    if (hr == DxResult::SurfaceLost)
    {
        Log("TPlatform::EndDraw: DDERR_SURFACELOST on UpdateFrame or EndScene");
        d.Restore();
    }
    else if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        Log("TPlatform::EndDraw: Unexpected error (see above) on UpdateFrame or EndScene");
        d.Restore();
    }
}

void TPlatform::FillRect(const TRect& rect, const TVec4& colour)
{
    TPlatformData& d = *mData;
    if (!d.mBackBuffer)
        return;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer && &renderer->GetPlatform() == this && renderer->InDrawBlock())
    {
        FillRectInFrame(*renderer, rect, colour);
        return;
    }
    TRect bounds;
    bounds.SetIntersection(d.mScreenRect, d.mClipRect);
    TRect area;
    area.SetIntersection(rect, bounds);
    if (area.Width() <= 0 || area.Height() <= 0)
        return;
    float s = 1.0f;
    TApplication* application = TApplication::Get();
    if (application && application->GetImpl() && application->GetImpl()->GetViewportScale(s))
    {
        auto scaled = [s](int value) { return static_cast<int>(static_cast<float>(value) * s); };
        area = TRect(scaled(area.left), scaled(area.top), scaled(area.right), scaled(area.bottom));
    }
    const PixelFormat& format = d.mBackBuffer->GetPixelFormat();
    BltFx fx;
    fx.mFillColor = ChannelValue(colour.x, format.mRMask) + ChannelValue(colour.y, format.mGMask) +
                    ChannelValue(colour.z, format.mBMask) + ChannelValue(colour.w, format.mAMask);
    const Rect dest{area.left, area.top, area.right, area.bottom};
    DxResult hr = d.mBackBuffer->Blt(&dest, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
    if (Failed(hr))
        ReportDxError(hr, kSource, __LINE__);
}

void TPlatform::FillRectInFrame(TRenderer& renderer, const TRect& rect, const TVec4& colour)
{
    TPlatformData& d = *mData;
    const bool was3d = renderer.InBegin3d();
    if (was3d)
        renderer.End3d();
    const bool entered = !renderer.InBegin2d() && renderer.Begin2d();
    // 2-D positions are relative to the viewport.
    const float left = static_cast<float>(rect.left - d.mViewport.left);
    const float top = static_cast<float>(rect.top - d.mViewport.top);
    const float right = static_cast<float>(rect.right - d.mViewport.left);
    const float bottom = static_cast<float>(rect.bottom - d.mViewport.top);
    const float alpha = IsAlphaTarget() ? colour.w : 1.0f;
    const uint32_t packed = TColor(TVec4(colour.x, colour.y, colour.z, alpha)).GetPacked();
    const LVertex quad[4] = {{left, top, 0.1f, 0.5f, packed, 0xFF000000u, 0, 0},
                             {right, top, 0.1f, 0.5f, packed, 0xFF000000u, 1, 0},
                             {right, bottom, 0.1f, 0.5f, packed, 0xFF000000u, 1, 1},
                             {left, bottom, 0.1f, 0.5f, packed, 0xFF000000u, 0, 1}};
    std::shared_ptr<Surface> previous;
    d.mDevice->GetTexture(0, &previous);
    const bool wasBound = d.mFacadeTextureBound;
    d.mFacadeTextureBound = false;
    d.mDevice->SetTexture(0, nullptr);
    SetBlendMode(kBlendAlpha);
    DrawVertices(PT_TRIANGLEFAN, TVertexSet{kVertexColored, quad, 4});
    d.mDevice->SetTexture(0, previous);
    d.mFacadeTextureBound = wasBound;
    if (entered)
        renderer.End2d();
    if (was3d)
        renderer.Begin3d();
}

void TPlatform::EndRenderTarget()
{
    // Render targets into textures come with the textures; without one begun there is nothing
    // to copy back.
    if (!mData->mRenderTargetTexture)
        return;
}

void TPlatform::WaitForFlip()
{
    const auto& front = GetContext()->GetFrontBuffer();
    if (!front)
        return;
    while (front->GetFlipStatus(GFS_ISFLIPDONE) == DxResult::WasStillDrawing)
        sys::SleepMs(1);
}

bool TPlatform::IsPresentDone()
{
    TPlatformData* d = mData.get();
    if (!d || !d->mContext || !d->mBackBuffer)
        return false;
    const DxResult hr = d->mFullScreen ? d->mBackBuffer->GetFlipStatus(GFS_ISFLIPDONE)
                                       : d->mBackBuffer->GetBltStatus(GBS_ISBLTDONE);
    return hr != DxResult::WasStillDrawing;
}

void TPlatform::FlipToGDISurface()
{
    if (mData->mDirectDraw)
        mData->mDirectDraw->FlipToGDISurface();
}
