// The drawn cursor of the display's objects: span lists of the visible cursor pixels with their
// blend entries for the display's format, two save-under surfaces and a composition surface, the
// draw with its throttle and overlap copy, erasing, showing, restoring after a lost display and
// the hardware cursor of hosted games.
#include "render/display/dx_context.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "platform/seams/window_manager_seam.h"
#include "render/display/platform.h"
#include "render/textures/texture.h"
#include "render/textures/texture_helpers.h"
#include "sys/process/identity.h"
#include "sys/window/window.h"

#include <algorithm>

using namespace sys::display;
using texture_helpers::CountBits;
using texture_helpers::LowestBit;

namespace
{
constexpr const char* kSource = "directx";
constexpr uint32_t kRefreshMs = 16;

void SetDirty()
{
    TApplication* application = TApplication::Get();
    if (application && application->GetWindowManager())
        application->GetWindowManager()->SetDirty();
}

TApplicationImpl* Impl()
{
    TApplication* application = TApplication::Get();
    return application ? application->GetImpl() : nullptr;
}

Rect Intersect(const Rect& a, const Rect& b)
{
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool gRestoringMouseImage = false;
} // namespace

MouseTextureListener::~MouseTextureListener()
{
    if (mContext)
        mContext->DetachListener(this);
}

bool MouseTextureListener::Run()
{
    if (!mContext)
        return false;
    mContext->RestoreMouseImage();
    return true;
}

void TDXContext::DetachListener(MouseTextureListener* listener)
{
    if (mListener == listener)
        mListener = nullptr;
}

TBlendEntry TDXContext::MakeEntry(uint32_t argb) const
{
    TBlendEntry entry;
    const uint32_t a = argb >> 24;
    const uint32_t c[3] = {(argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF};
    entry.mInverseAlpha = static_cast<uint8_t>(255 - a);
    const PixelFormat& f = mDisplayMode.mPixelFormat;
    const uint32_t masks[3] = {f.mRMask, f.mGMask, f.mBMask};
    uint16_t* adds[3] = {&entry.mRedAdd, &entry.mGreenAdd, &entry.mBlueAdd};
    for (int i = 0; i < 3; ++i)
    {
        if (f.mBitCount == 15 || f.mBitCount == 16)
            *adds[i] = static_cast<uint16_t>(((a * c[i]) >> (16 - CountBits(masks[i])))
                                             << LowestBit(masks[i]));
        else if (f.mBitCount == 24 || f.mBitCount == 32)
            *adds[i] = static_cast<uint16_t>(a * c[i]);
    }
    return entry;
}

bool TDXContext::BuildSpans(const std::shared_ptr<TTexture>& texture, bool alpha, TSpanList& spans)
{
    spans.clear();
    if (!texture)
        return true;
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture->Lock(pixels, pitch))
    {
        mCursorDisabled = true;
        mImageLost = true;
        return false;
    }
    const TTextureData& data = *texture->GetData();
    for (uint32_t y = 0; y < data.mSurfaceHeight; ++y)
    {
        const uint32_t* row = pixels + static_cast<size_t>(y) * pitch;
        TRowSpan* open = nullptr;
        for (uint32_t x = 0; x < data.mSurfaceWidth; ++x)
        {
            uint32_t argb = row[x];
            bool visible = false;
            if (alpha)
            {
                visible = (argb >> 24) != 0;
            }
            else
            {
                const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
                visible = !(r >= 248 && g == 0 && b >= 248);
                argb |= 0xFF000000u;
            }
            if (!visible)
            {
                open = nullptr;
                continue;
            }
            if (!open)
            {
                spans.push_back(TRowSpan{static_cast<uint16_t>(x), static_cast<uint16_t>(y), {}});
                open = &spans.back();
            }
            open->mPixels.push_back(MakeEntry(argb));
        }
    }
    texture->Unlock();
    return true;
}

void TDXContext::ReleaseMouseSurfaces()
{
    mSaveUnder[0].Destroy();
    mSaveUnder[1].Destroy();
    mComposition.Destroy();
}

bool TDXContext::CreateMouseSurfaces()
{
    ReleaseMouseSurfaces();
    mSurfacesMissing = false;
    if (mCursorDisabled || !mDisplay.GetDirectDraw() || mCursorWidth <= 0 || mCursorHeight <= 0)
        return true;
    SurfaceDesc desc = mDisplayMode;
    desc.mFlags = (desc.mFlags & ~SD_PITCH) | SD_CAPS | SD_WIDTH | SD_HEIGHT | SD_PIXELFORMAT;
    desc.mFlags &= ~SD_REFRESHRATE;
    desc.mWidth = static_cast<uint32_t>(mCursorWidth);
    desc.mHeight = static_cast<uint32_t>(mCursorHeight);
    desc.mCaps = CAPS_OFFSCREENPLAIN;
    DirectDraw& dd = *mDisplay.GetDirectDraw();
    CDisplaySurface* records[3] = {&mSaveUnder[0], &mSaveUnder[1], &mComposition};
    for (CDisplaySurface* record : records)
    {
        DxResult hr = record->Create(dd, desc);
        if (hr == DxResult::OutOfVideoMemory)
        {
            if (mDirect3D)
                mDirect3D->EvictManagedTextures();
            hr = record->Create(dd, desc);
            if (hr == DxResult::OutOfVideoMemory)
            {
                // No room: the drawn cursor is silently off.
                ReleaseMouseSurfaces();
                mCursorDisabled = true;
                return true;
            }
        }
        if (Failed(hr))
        {
            ReportDxError(hr, kSource, __LINE__);
            ReleaseMouseSurfaces();
            mSurfacesMissing = true;
            return false;
        }
    }
    return true;
}

bool TDXContext::SetMouseImage(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                               bool alphaImage)
{
    if (!mDevice)
        return false;
    TMutexGuard guard(mMouseMutex, true);
    const bool wasDrawn = mCursorDrawn;
    EraseMouse();
    if (IsEnabled("activex") && alphaImage)
        return SetHardwareCursor(texture, hotX, hotY);

    if (alphaImage)
    {
        mAlphaTexture = texture;
        mAlphaHotX = hotX;
        mAlphaHotY = hotY;
        BuildSpans(texture, true, mAlphaSpans);
        mAlphaListActive = texture != nullptr;
    }
    else
    {
        mKeyedTexture = texture;
        mKeyedHotX = hotX;
        mKeyedHotY = hotY;
        BuildSpans(texture, false, mKeyedSpans);
    }
    TApplication* application = TApplication::Get();
    if (mKeyedTexture && !mListener && application)
    {
        mListener = new MouseTextureListener(this);
        application->AddRestoreTask(mListener);
    }
    const std::shared_ptr<TTexture>& active = mAlphaListActive ? mAlphaTexture : mKeyedTexture;
    if (mAlphaListActive == alphaImage && active)
    {
        mHotOffsetX = -(mAlphaListActive ? mAlphaHotX : mKeyedHotX);
        mHotOffsetY = -(mAlphaListActive ? mAlphaHotY : mKeyedHotY);
        mCursorWidth = static_cast<int>(active->GetData()->mSurfaceWidth);
        mCursorHeight = static_cast<int>(active->GetData()->mSurfaceHeight);
        if (!CreateMouseSurfaces())
        {
            mCursorDisabled = true;
            mImageLost = true;
            return false;
        }
    }
    if (wasDrawn)
    {
        ResetMouse();
        ReadMousePosition();
        DrawMouse(mMouseX, mMouseY, true);
    }
    return true;
}

void TDXContext::RestoreMouseImage()
{
    if (gRestoringMouseImage)
    {
        Log("Second concurrent call to RestoreMouseImage");
        return;
    }
    gRestoringMouseImage = true;
    TMutexGuard guard(mMouseMutex, true);
    const std::shared_ptr<TTexture> keyed = mKeyedTexture;
    const std::shared_ptr<TTexture> alpha = mAlphaTexture;
    const bool alphaActive = mAlphaListActive;
    mCursorDisabled = false;
    bool ok = SetMouseImage(keyed, mKeyedHotX, mKeyedHotY, false);
    if (alpha || alphaActive)
        ok = SetMouseImage(alpha, mAlphaHotX, mAlphaHotY, true) && ok;
    if (ok)
        mImageLost = false;
    mCursorDrawn = false;
    gRestoringMouseImage = false;
}

void TDXContext::ReadMousePosition()
{
    GetMousePosition(mMouseX, mMouseY);
}

void TDXContext::GetMousePosition(int& x, int& y)
{
    sys::GetCursorPos(x, y);
    if (TApplicationImpl* impl = Impl())
        sys::ScreenToClient(impl->mMainWindow, x, y);
    float scale = 1.0f;
    if (ViewportScaling(scale) && scale != 0.0f)
    {
        x = static_cast<int>(static_cast<float>(x) / scale);
        y = static_cast<int>(static_cast<float>(y) / scale);
    }
}

Rect TDXContext::RootClip() const
{
    TApplication* application = TApplication::Get();
    TWindowManagerSeam* manager = application ? application->GetWindowManager() : nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (manager)
        manager->GetRootRect(left, top, right, bottom);
    if (right <= left || bottom <= top)
    {
        // No root yet: the whole back buffer.
        const auto& back = mDisplay.GetBackBuffer();
        return back ? back->GetRect() : Rect{};
    }
    float scale = 1.0f;
    if (!ViewportScaling(scale))
        scale = 1.0f;
    return Rect{static_cast<int32_t>(static_cast<float>(left) * scale),
                static_cast<int32_t>(static_cast<float>(top) * scale),
                static_cast<int32_t>(static_cast<float>(right) * scale),
                static_cast<int32_t>(static_cast<float>(bottom) * scale)};
}

Surface* TDXContext::RestoreTarget() const
{
    return (mRestoreToBackBuffer ? mDisplay.GetBackBuffer() : mDisplay.GetFrontBuffer()).get();
}

Rect TDXContext::OnSurface(const Surface* surface, const Rect& client) const
{
    if (surface != mDisplay.GetFrontBuffer().get() || !mDisplay.IsWindowed())
        return client;
    const sys::ScreenRect& window = mDisplay.GetWindowRect();
    return Rect{client.left + window.left, client.top + window.top, client.right + window.left,
                client.bottom + window.top};
}

DxResult TDXContext::PutBackground(const Rect* clip)
{
    if (!mCursorDrawn)
        return DxResult::Ok;
    Surface* target = RestoreTarget();
    Surface* saved = mSaveUnder[mSaveUnderIndex].mSurface.get();
    mCursorDrawn = false;
    if (!target || !saved)
        return DxResult::Ok;
    Rect dest = mDrawnRect;
    Rect source = mDrawnSource;
    if (clip)
    {
        const Rect cut = Intersect(dest, *clip);
        if (cut.IsEmpty())
            return DxResult::Ok;
        source = Rect{source.left + cut.left - dest.left, source.top + cut.top - dest.top,
                      source.right - (dest.right - cut.right),
                      source.bottom - (dest.bottom - cut.bottom)};
        dest = cut;
    }
    const Rect onTarget = OnSurface(target, dest);
    DxResult hr = target->Blt(&onTarget, saved, &source, BLT_WAIT, nullptr);
    if (hr == DxResult::SurfaceLost)
        mImageLost = true;
    else if (Failed(hr))
        SetDirty();
    return hr;
}

bool TDXContext::SystemDrawsPointer() const
{
    return mDisplay.IsWindowed() && (mHardwareCursor != 0 || sys::IsSystemCursorShown());
}

bool TDXContext::ShouldDrawMouse(const sys::ScreenRect& bounds, bool moved)
{
    if (SystemDrawsPointer())
    {
        ReadMousePosition();
        return false;
    }
    if (!mPositionKnown)
    {
        if (!moved)
            return false;
        ReadMousePosition();
        mPositionKnown = true;
    }
    if (!moved && GetPlatformTime() - mLastDrawTime < kRefreshMs)
        return false;
    if (mCursorDisabled)
        return false;
    const int left = bounds.left + mMouseX + mHotOffsetX;
    const int top = bounds.top + mMouseY + mHotOffsetY;
    if (left >= 0 && top >= 0 && left + mCursorWidth <= mDesktopWidth &&
        top + mCursorHeight <= mDesktopHeight)
    {
        if (moved && IsWindowsVistaOrLater())
        {
            TPlatform* platform = TPlatform::Instance();
            return platform && platform->IsFullScreen() && !IsHostPageGame();
        }
        return true;
    }
    SetDirty();
    return false;
}

void TDXContext::DrawMouse(int x, int y, bool force, int* outX, int* outY)
{
    // The periodic refresh waits briefly for the mutex; everything else waits for it.
    const bool undemanded = x == -1 && y == -1 && !force;
    TMutexGuard guard(mMouseMutex, !undemanded);
    if (outX)
        *outX = mMouseX;
    if (outY)
        *outY = mMouseY;
    if (!guard.IsHeld() || mCursorDisabled || mCursorWidth <= 0 || mCursorHeight <= 0)
        return;
    TApplicationImpl* impl = Impl();
    if (impl && !impl->mPump.mApplicationActive)
        return;
    if (SystemDrawsPointer() || mCursorInPresented)
    {
        ReadMousePosition();
        return;
    }
    if (!mCursorShown || !mComposition.mSurface || !mSaveUnder[0].mSurface)
        return;
    const bool moved = x != -1 || y != -1;
    if (!force && !ShouldDrawMouse(mDisplay.GetWindowRect(), moved))
        return;
    if (x == -1 && y == -1)
        ReadMousePosition();
    else
    {
        mMouseX = x;
        mMouseY = y;
    }
    if (outX)
        *outX = mMouseX;
    if (outY)
        *outY = mMouseY;

    Rect bounds;
    if (force)
    {
        bounds = RootClip();
    }
    else
    {
        const sys::ScreenRect& window = mDisplay.GetWindowRect();
        bounds = Rect{0, 0, window.right - window.left, window.bottom - window.top};
    }
    const Rect full{mMouseX + mHotOffsetX, mMouseY + mHotOffsetY,
                    mMouseX + mHotOffsetX + mCursorWidth, mMouseY + mHotOffsetY + mCursorHeight};
    const Rect cut = Intersect(full, bounds);
    if (cut.IsEmpty())
        return;
    const Rect source{cut.left - full.left, cut.top - full.top,
                      mCursorWidth - (full.right - cut.right),
                      mCursorHeight - (full.bottom - cut.bottom)};
    Surface* target = (force ? mDisplay.GetBackBuffer() : mDisplay.GetFrontBuffer()).get();
    if (!target)
        return;
    const int other = 1 - mSaveUnderIndex;
    Surface& saveOther = *mSaveUnder[other].mSurface;
    Surface& saveCurrent = *mSaveUnder[mSaveUnderIndex].mSurface;
    Surface& composition = *mComposition.mSurface;

    // (1) What the screen shows under the new place.
    const Rect onTarget = OnSurface(target, cut);
    DxResult hr = saveOther.Blt(&source, target, &onTarget, BLT_WAIT, nullptr);
    if (Failed(hr))
    {
        if (hr == DxResult::SurfaceLost)
            mImageLost = true;
        return;
    }
    // (2) Where the old cursor still covers the screen, its saved background is the truth.
    if (mCursorDrawn && RestoreTarget() == target)
    {
        const Rect overlap = Intersect(mDrawnRect, cut);
        if (!overlap.IsEmpty())
        {
            const Rect from{overlap.left - mDrawnRect.left + mDrawnSource.left,
                            overlap.top - mDrawnRect.top + mDrawnSource.top,
                            overlap.right - mDrawnRect.left + mDrawnSource.left,
                            overlap.bottom - mDrawnRect.top + mDrawnSource.top};
            const Rect to{overlap.left - cut.left + source.left, overlap.top - cut.top + source.top,
                          overlap.right - cut.left + source.left,
                          overlap.bottom - cut.top + source.top};
            saveOther.Blt(&to, &saveCurrent, &from, BLT_WAIT, nullptr);
        }
    }
    // (3) The cursor over that background.
    composition.Blt(nullptr, &saveOther, nullptr, BLT_WAIT, nullptr);
    SurfaceDesc locked;
    if (Succeeded(composition.Lock(nullptr, &locked, LOCK_WAIT)))
    {
        BlendSpans(locked);
        composition.Unlock(nullptr);
    }
    // (4) The old place gets its background back.
    if (mCursorDrawn)
    {
        if (PutBackground(nullptr) == DxResult::SurfaceLost)
            return;
    }
    // (5) The cursor at the new place.
    mRestoreToBackBuffer = force;
    hr = target->Blt(&onTarget, &composition, &source, BLT_WAIT, nullptr);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return;
    }
    // (6)
    mSaveUnderIndex = other;
    mDrawnRect = cut;
    mDrawnSource = source;
    mCursorDrawn = true;
    mLastDrawTime = GetPlatformTime();
}

void TDXContext::BlendSpans(SurfaceDesc& locked)
{
    const TSpanList& spans = mAlphaListActive ? mAlphaSpans : mKeyedSpans;
    const PixelFormat& f = locked.mPixelFormat;
    const uint32_t bits = f.mBitCount;
    auto* base = static_cast<uint8_t*>(locked.mSurface);
    for (const TRowSpan& span : spans)
    {
        if (span.mY >= locked.mHeight)
            continue;
        uint8_t* row = base + static_cast<size_t>(span.mY) * locked.mPitch;
        for (size_t i = 0; i < span.mPixels.size(); ++i)
        {
            const uint32_t x = span.mX + static_cast<uint32_t>(i);
            if (x >= locked.mWidth)
                break;
            const TBlendEntry& e = span.mPixels[i];
            const uint32_t inv = e.mInverseAlpha;
            if (bits == 15 || bits == 16)
            {
                uint8_t* p = row + x * 2;
                const uint32_t pixel = LoadRawPixel(p, 2);
                auto channel = [&](uint32_t mask, uint32_t add)
                { return (((inv * (pixel & mask)) >> 8) + add) & mask; };
                StoreRawPixel(p, 2,
                              channel(f.mRMask, e.mRedAdd) | channel(f.mGMask, e.mGreenAdd) |
                                  channel(f.mBMask, e.mBlueAdd));
            }
            else if (bits == 24 || bits == 32)
            {
                uint8_t* p = row + x * (bits / 8);
                p[0] = static_cast<uint8_t>((p[0] * inv + e.mBlueAdd) >> 8);
                p[1] = static_cast<uint8_t>((p[1] * inv + e.mGreenAdd) >> 8);
                p[2] = static_cast<uint8_t>((p[2] * inv + e.mRedAdd) >> 8);
            }
        }
    }
}

void TDXContext::EraseMouse()
{
    TMutexGuard guard(mMouseMutex, true);
    PutBackground(nullptr);
    mCursorDrawn = false;
    if (mPositionKnown)
    {
        ResetMouse();
        SetDirty();
    }
}

void TDXContext::SetCursorShape(bool show)
{
    sys::SetCursor(show && mHardwareCursor != 0 && mDisplay.IsWindowed() ? mHardwareCursor : 0);
}

void TDXContext::ShowMouse(bool show)
{
    TMutexGuard guard(mMouseMutex, true);
    SetCursorShape(show);
    if (mHardwareCursor != 0 && mDisplay.IsWindowed())
        sys::ShowSystemCursor(show);
    if (show == mCursorShown)
        return;
    mCursorShown = show;
    if (show)
        DrawMouse(-1, -1, true);
    else
        EraseMouse();
}

std::shared_ptr<TTexture> TDXContext::GetCursorTexture() const
{
    if (!mKeyedTexture || mCursorWidth <= 0 || mCursorHeight <= 0)
        return nullptr;
    return mKeyedTexture;
}

bool TDXContext::SetHardwareCursor(const std::shared_ptr<TTexture>& texture, int hotX, int hotY)
{
    if (!IsWindowsXPOrLater())
        return false;
    mAlphaTexture = texture;
    mHardwareHotX = hotX;
    mHardwareHotY = hotY;
    constexpr int side = sys::kColorCursorSize;
    std::vector<uint32_t> block(static_cast<size_t>(side) * side, 0);
    if (texture)
    {
        if (auto* store = dynamic_cast<TDxTextureData*>(texture->GetData()))
        {
            // The image may be larger than the cursor: copy it whole, keep the top-left corner.
            const uint32_t pitch = std::max<uint32_t>(side, store->mImageWidth);
            const uint32_t rows = std::max<uint32_t>(side, store->mImageHeight);
            std::vector<uint32_t> image(static_cast<size_t>(pitch) * rows, 0);
            if (store->CopyToMemory(pitch, rows, image.data()))
                for (int y = 0; y < side; ++y)
                    std::copy_n(image.data() + static_cast<size_t>(y) * pitch, side,
                                block.data() + static_cast<size_t>(y) * side);
        }
    }
    sys::CursorHandle cursor = sys::CreateColorCursor(block.data(), hotX, hotY);
    if (mHardwareCursor != 0)
        sys::DestroyCursor(mHardwareCursor);
    mHardwareCursor = cursor;
    sys::SetCursor(cursor);
    return cursor != 0;
}

void TDXContext::RefreshMousePosition(int& x, int& y)
{
    TMutexGuard guard(mMouseMutex, true);
    ReadMousePosition();
    x = mMouseX;
    y = mMouseY;
}
