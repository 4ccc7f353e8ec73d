// Frames at the device: beginning a scene with its refusals and lost-surface recovery, ending
// it and presenting, fills outside a frame, and the flip and present status.
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/seams/window_manager_seam.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "sys/clock.h"
#include "sys/display/vertex_formats.h"

#include <algorithm>
#include <bit>
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

// What of `piece` lies outside `cut`, as up to four rectangles appended to `out`: the bands above
// and below the cut, then the parts left and right of it.
void SubtractRect(const Rect& piece, const Rect& cut, std::vector<Rect>& out)
{
    const Rect inside{std::max(piece.left, cut.left), std::max(piece.top, cut.top),
                      std::min(piece.right, cut.right), std::min(piece.bottom, cut.bottom)};
    if (inside.IsEmpty())
    {
        out.push_back(piece);
        return;
    }
    const Rect parts[4] = {{piece.left, piece.top, piece.right, inside.top},
                           {piece.left, inside.bottom, piece.right, piece.bottom},
                           {piece.left, inside.top, inside.left, inside.bottom},
                           {inside.right, inside.top, piece.right, inside.bottom}};
    for (const Rect& part : parts)
        if (!part.IsEmpty())
            out.push_back(part);
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
    // The depth buffer is cleared later, where the scene's first draws test it.
    d.mDepthCleared.clear();
    ApplyViewport(d.mViewport, false);
    d.mInScene = true;
    return true;
}

void TPlatform::ClearDepthWhereTested()
{
    TPlatformData& d = *mData;
    uint32_t zEnable = 0;
    if (Failed(d.mDevice->GetRenderState(RS_ZENABLE, &zEnable)) || zEnable == 0)
        return;
    Viewport viewport;
    if (Failed(d.mDevice->GetViewport(&viewport)))
        return;
    const Rect tested{static_cast<int32_t>(viewport.x), static_cast<int32_t>(viewport.y),
                      static_cast<int32_t>(viewport.x + viewport.width),
                      static_cast<int32_t>(viewport.y + viewport.height)};
    if (tested.IsEmpty())
        return;
    for (const Rect& cleared : d.mDepthCleared)
        if (cleared.left <= tested.left && cleared.top <= tested.top &&
            tested.right <= cleared.right && tested.bottom <= cleared.bottom)
            return;
    std::vector<Rect> pieces{tested};
    for (const Rect& cleared : d.mDepthCleared)
    {
        std::vector<Rect> left;
        for (const Rect& piece : pieces)
            SubtractRect(piece, cleared, left);
        pieces.swap(left);
        if (pieces.empty())
            break;
    }
    if (!pieces.empty())
        d.mContext->Clear(CLEAR_ZBUFFER, static_cast<uint32_t>(pieces.size()), pieces.data());
    // Kept whole even when earlier parts covered it, so its next draws stop at the first test.
    d.mDepthCleared.push_back(tested);
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
    // The finished frame goes into the facade's frame texture; never from a render target's own
    // end, which would copy at the end of every target and call itself.
    TRenderer* renderer = TRenderer::Existing();
    if (!d.mEndingRenderTarget && renderer && &renderer->GetPlatform() == this)
    {
        if (std::shared_ptr<TTexture> frame = renderer->GetFrameTexture())
        {
            if (BeginRenderTarget(frame, 0))
            {
                d.mCopyingFrame = true;
                EndRenderTarget();
                d.mCopyingFrame = false;
            }
            else
                renderer->SetFrameTexture(nullptr);
        }
    }
    const bool presentAnyway = renderer && renderer->IsPresentWhileSuspended();
    if (Succeeded(hr) && present && (presentAnyway || !IsDrawingSuspended()))
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
    ColorFill(*d.mBackBuffer, area, colour);
}

void TPlatform::FillRect(const TRect& rect, const TVec4& colour,
                         const std::shared_ptr<TTexture>& target)
{
    if (!target)
    {
        FillRect(rect, colour);
        return;
    }
    auto* store = dynamic_cast<TDxTextureData*>(target->GetData());
    if (!store || !store->GetSurface())
        return;
    TRect area;
    area.SetIntersection(rect, TRect(0, 0, static_cast<int32_t>(target->GetWidth()),
                                     static_cast<int32_t>(target->GetHeight())));
    if (area.Width() > 0 && area.Height() > 0)
        ColorFill(*store->GetSurface(), area, colour);
}

void TPlatform::ColorFill(Surface& surface, const TRect& area, const TVec4& colour)
{
    const PixelFormat& format = surface.GetPixelFormat();
    BltFx fx;
    fx.mFillColor = ChannelValue(colour.x, format.mRMask) + ChannelValue(colour.y, format.mGMask) +
                    ChannelValue(colour.z, format.mBMask) + ChannelValue(colour.w, format.mAMask);
    const Rect dest{area.left, area.top, area.right, area.bottom};
    DxResult hr = surface.Blt(&dest, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
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

TRect TPlatform::TargetArea(const TTexture& texture) const
{
    return TRect(0, 0,
                 std::min(mData->mScreenRect.Width(), static_cast<int32_t>(texture.GetWidth())),
                 std::min(mData->mScreenRect.Height(), static_cast<int32_t>(texture.GetHeight())));
}

bool TPlatform::BeginRenderTarget(const std::shared_ptr<TTexture>& texture, int32_t kind)
{
    TPlatformData& d = *mData;
    if (!d.mDevice || d.mDxBroken || !texture)
        return false;
    auto* store = dynamic_cast<TDxTextureData*>(texture->GetData());
    if (!store || !store->GetSurface())
    {
        MarkDirectXBroken();
        return false;
    }
    d.mRenderTargetKind = kind;
    d.mRenderTargetTexture = texture;
    WaitForFlip();
    TApplication* application = TApplication::Get();
    TApplicationImpl* impl = application ? application->GetImpl() : nullptr;
    if (impl)
    {
        d.mSavedViewportScale = impl->mHost.mViewportScaleX;
        impl->mHost.mViewportScaleX = 1.0f;
    }
    PushViewport(0, 0, static_cast<int>(texture->GetWidth()),
                 static_cast<int>(texture->GetHeight()));
    d.mTargetViewport = d.mViewport;
    if (TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr)
        manager->SetDirty();

    const TRect area = TargetArea(*texture);
    const Rect rect{area.left, area.top, area.right, area.bottom};
    bool ok = true;
    if (kind == 2 || kind == 3)
    {
        DxResult hr =
            d.mBackBuffer->Blt(&rect, store->GetSurface().get(), &rect, BLT_WAIT, nullptr);
        if (Failed(hr))
        {
            ReportDxError(hr, kSource, __LINE__);
            Log("BeginRenderTarget failed because of the above DX error.");
            ok = false;
        }
    }
    else if (kind == 4)
    {
        FillRect(area, TVec4(0, 0, 0, 0));
    }
    if (ok)
    {
        WaitForFlip();
        ok = BeginScene(false);
    }
    if (ok)
        return true;
    d.mRenderTargetTexture.reset();
    PopViewport();
    if (impl)
        impl->mHost.mViewportScaleX = d.mSavedViewportScale;
    return false;
}

void TPlatform::EndRenderTarget()
{
    TPlatformData& d = *mData;
    TApplication* application = TApplication::Get();
    if (application && application->GetImpl() && d.mRenderTargetTexture)
        application->GetImpl()->mHost.mViewportScaleX = d.mSavedViewportScale;
    if (!d.mRenderTargetTexture)
        return;
    std::shared_ptr<TTexture> texture = d.mRenderTargetTexture;
    d.mEndingRenderTarget = true;
    EndDraw(false);
    d.mEndingRenderTarget = false;
    PopViewport();
    d.mTargetViewport = d.mScreenRect;
    CopyTargetBack(*texture, d.mRenderTargetKind);
    d.mRenderTargetTexture.reset();
}

void TPlatform::CopyTargetBack(TTexture& texture, int32_t kind)
{
    TPlatformData& d = *mData;
    auto* store = dynamic_cast<TDxTextureData*>(texture.GetData());
    if (!store || !store->GetSurface() || !d.mBackBuffer)
        return;
    Surface& back = *d.mBackBuffer;
    Surface& target = *store->GetSurface();
    const TRect area = TargetArea(texture);
    const Rect rect{area.left, area.top, area.right, area.bottom};
    if (rect.IsEmpty())
        return;
    if (kind != 4 && d.mCopyingFrame && texture.HasAlpha())
    {
        CopyFrameColours(texture, back, rect);
        return;
    }
    if (kind != 4)
    {
        bool copied = false;
        if (back.GetPixelFormat().mBitCount == 32)
            copied = Succeeded(target.Blt(&rect, &back, &rect, BLT_WAIT, nullptr));
        if (!copied)
        {
            // No device contexts here: the lock-and-convert path for every depth.
            SurfaceDesc backDesc;
            if (Failed(back.Lock(nullptr, &backDesc, LOCK_WAIT)))
                return;
            for (int32_t y = rect.top; y < rect.bottom; ++y)
                for (int32_t x = rect.left; x < rect.right; ++x)
                    target.WritePixel(
                        static_cast<uint32_t>(x), static_cast<uint32_t>(y),
                        back.ReadPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
            back.Unlock(nullptr);
        }
        if (kind != 1 && texture.HasAlpha())
        {
            uint32_t* pixels = nullptr;
            int pitch = 0;
            if (texture.Lock(pixels, pitch))
            {
                uint32_t width = 0, height = 0;
                texture.GetSurfaceSize(width, height);
                width = std::min<uint32_t>(width, target.GetWidth());
                height = std::min<uint32_t>(height, target.GetHeight());
                for (uint32_t y = 0; y < height; ++y)
                    for (uint32_t x = 0; x < width; ++x)
                        pixels[static_cast<size_t>(y) * pitch + x] |= 0xFF000000u;
                texture.Unlock();
            }
        }
        return;
    }
    if (!texture.HasAlpha())
        return;
    const PixelFormat& format = back.GetPixelFormat();
    const uint32_t redShift = format.mRMask == 0
                                  ? 0
                                  : static_cast<uint32_t>(std::countr_zero(format.mRMask)) +
                                        static_cast<uint32_t>(std::popcount(format.mRMask)) - 8;
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture.Lock(pixels, pitch))
        return;
    for (int32_t y = rect.top; y < rect.bottom; ++y)
    {
        uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        if (format.mBitCount == 32)
        {
            // Whole rows read straight from the back buffer: a full-screen mask pass is a third
            // cheaper than through one pixel read at a time.
            const auto* from =
                reinterpret_cast<const uint32_t*>(back.GetRow(static_cast<uint32_t>(y)));
            for (int32_t x = rect.left; x < rect.right; ++x)
                row[x] = (row[x] & 0x00FFFFFFu) | (from[x] & 0xFFu) << 24;
            continue;
        }
        for (int32_t x = rect.left; x < rect.right; ++x)
        {
            const uint32_t raw = back.ReadRaw(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            row[x] = (row[x] & 0x00FFFFFFu) | (((raw & format.mRMask) >> redShift) & 0xFFu) << 24;
        }
    }
    texture.Unlock();
}

void TPlatform::CopyFrameColours(TTexture& texture, const Surface& back, const Rect& rect)
{
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture.Lock(pixels, pitch))
        return;
    uint32_t width = 0, height = 0;
    texture.GetSurfaceSize(width, height);
    const int32_t right = std::min(rect.right, static_cast<int32_t>(width));
    const int32_t bottom = std::min(rect.bottom, static_cast<int32_t>(height));
    const PixelFormat& format = back.GetPixelFormat();
    const bool plain = format.mBitCount == 32 && format.mRMask == 0x00FF0000u &&
                       format.mGMask == 0x0000FF00u && format.mBMask == 0x000000FFu;
    for (int32_t y = rect.top; y < bottom; ++y)
    {
        uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        if (plain)
        {
            const auto* from =
                reinterpret_cast<const uint32_t*>(back.GetRow(static_cast<uint32_t>(y)));
            for (int32_t x = rect.left; x < right; ++x)
                row[x] = (row[x] & 0xFF000000u) | (from[x] & 0x00FFFFFFu);
        }
        else
        {
            for (int32_t x = rect.left; x < right; ++x)
                row[x] = (row[x] & 0xFF000000u) |
                         (back.ReadPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y)) &
                          0x00FFFFFFu);
        }
    }
    texture.Unlock();
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
