// Memory surfaces: creation, locking, loss and restore, attachments, flips and the checks made
// before a blit.
#include "sys/display/surface.h"

#include "sys/display/blit.h"
#include "sys/display/display_log.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace sys::display
{
namespace
{
// Larger surfaces than these are refused outright; no display surface comes near them.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxBytes = 256ull << 20;
// Bytes a lost surface is filled with, so a missing reload shows as a clear pattern.
constexpr uint8_t kLostPattern = 0xCD;

bool ResolveRect(const Rect* rect, const Surface& surface, Rect* out)
{
    *out = rect != nullptr ? *rect : surface.GetRect();
    return out->IsInside(surface.GetWidth(), surface.GetHeight());
}
} // namespace

bool SurfaceHost::ReserveVideoMemory(uint64_t bytes)
{
    if (bytes > GetFreeVideoMemory())
        return false;
    mUsedVideoMemory += bytes;
    return true;
}

void SurfaceHost::ReleaseVideoMemory(uint64_t bytes)
{
    mUsedVideoMemory = bytes > mUsedVideoMemory ? 0 : mUsedVideoMemory - bytes;
}

uint64_t SurfaceHost::GetFreeVideoMemory() const
{
    return mUsedVideoMemory >= mTotalVideoMemory ? 0 : mTotalVideoMemory - mUsedVideoMemory;
}

int32_t PitchFor(uint32_t width, const PixelFormat& format)
{
    uint32_t bytes = width * format.BytesPerPixel();
    return static_cast<int32_t>((bytes + 3u) & ~3u);
}

bool IsAcceptableSurfaceSize(uint32_t width, uint32_t height, const PixelFormat& format)
{
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
        return false;
    return static_cast<uint64_t>(PitchFor(width, format)) * height <= kMaxBytes;
}

std::shared_ptr<Surface> Surface::Create(uint32_t width, uint32_t height, const PixelFormat& format,
                                         uint32_t caps)
{
    if (!IsSupportedFormat(format))
    {
        DisplayLog("Surface pixel format not supported (%u bits, masks %08x %08x %08x %08x)",
                   format.mBitCount, format.mRMask, format.mGMask, format.mBMask, format.mAMask);
        return nullptr;
    }
    if (!IsAcceptableSurfaceSize(width, height, format))
    {
        DisplayLog("Surface size %ux%u refused", width, height);
        return nullptr;
    }
    return std::make_shared<Surface>(width, height, format, caps, 0u, nullptr, 0u);
}

Surface::Surface(uint32_t width, uint32_t height, const PixelFormat& format, uint32_t caps,
                 uint32_t caps2, std::shared_ptr<SurfaceHost> host, uint64_t videoBytes,
                 SurfaceMemory memory)
    : mWidth(width), mHeight(height), mPitch(PitchFor(width, format)), mFormat(format),
      mLayout(MakeChannelLayout(format)), mCaps(caps), mCaps2(caps2),
      mMemory(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(mPitch) * height))),
      mBytes(static_cast<size_t>(mPitch) * height), mHost(std::move(host)), mVideoBytes(videoBytes)
{
    if (!mMemory)
        throw std::bad_alloc();
    // Rows padded past their pixels keep zeroed padding: no pixel write reaches it.
    if (memory == SurfaceMemory::Cleared ||
        static_cast<uint64_t>(mPitch) != uint64_t{width} * mLayout.mBytesPerPixel)
        std::memset(mMemory.get(), 0, mBytes);
}

Surface::~Surface()
{
    if (mHost && mVideoBytes != 0)
        mHost->ReleaseVideoMemory(mVideoBytes);
}

Result Surface::GetSurfaceDesc(SurfaceDesc* desc) const
{
    if (desc == nullptr)
        return Result::InvalidParams;
    desc->mFlags = SD_CAPS | SD_HEIGHT | SD_WIDTH | SD_PITCH | SD_PIXELFORMAT;
    desc->mWidth = mWidth;
    desc->mHeight = mHeight;
    desc->mPitch = mPitch;
    desc->mPixelFormat = mFormat;
    desc->mCaps = mCaps;
    desc->mCaps2 = mCaps2;
    desc->mSurface = nullptr;
    desc->mBackBufferCount = 0;
    for (const auto& a : mAttached)
    {
        if (a->GetCaps() & CAPS_BACKBUFFER)
        {
            ++desc->mBackBufferCount;
            desc->mFlags |= SD_BACKBUFFERCOUNT;
        }
    }
    desc->mMipMapCount = 0;
    if (mNextMip)
    {
        desc->mMipMapCount = GetMipLevelCount();
        desc->mFlags |= SD_MIPMAPCOUNT;
    }
    return Result::Ok;
}

Result Surface::Lock(const Rect* rect, SurfaceDesc* desc, uint32_t /*flags*/)
{
    if (desc == nullptr)
        return Result::InvalidParams;
    if (mLost)
        return Result::SurfaceLost;
    if (mLocked)
        return Result::SurfaceBusy;
    Rect area;
    if (!ResolveRect(rect, *this, &area))
        return Result::InvalidRect;
    GetSurfaceDesc(desc);
    desc->mFlags |= SD_LPSURFACE;
    desc->mSurface = mMemory.get() + static_cast<size_t>(area.top) * mPitch +
                     static_cast<size_t>(area.left) * mFormat.BytesPerPixel();
    mLocked = true;
    return Result::Ok;
}

Result Surface::Unlock(const Rect* /*rect*/)
{
    if (!mLocked)
        return Result::NotLocked;
    mLocked = false;
    NotifyChanged();
    // A lost surface's writes went nowhere useful; the caller learns of it on the next call.
    return mLost ? Result::SurfaceLost : Result::Ok;
}

Result Surface::Restore()
{
    if (!mLost)
        return Result::Ok;
    if (mHost && mHost->mFocusLost)
        return Result::NoExclusiveMode;
    if (mHost && mHost->mRestoreAnswer != Result::Ok)
        return mHost->mRestoreAnswer;
    mLost = false;
    for (auto& a : mAttached)
        a->Restore();
    if (mNextMip)
        mNextMip->Restore();
    return Result::Ok;
}

void Surface::MarkLost()
{
    mLost = true;
    std::memset(mMemory.get(), kLostPattern, mBytes);
    for (auto& a : mAttached)
        a->MarkLost();
    if (mNextMip)
        mNextMip->MarkLost();
}

Result Surface::GetDC(void** dc)
{
    if (dc != nullptr)
        *dc = nullptr;
    return mLost ? Result::SurfaceLost : Result::CantCreateDC;
}

Result Surface::ReleaseDC(void* /*dc*/)
{
    return Result::CantCreateDC;
}

Result Surface::Blt(const Rect* destRect, Surface* src, const Rect* srcRect, uint32_t flags,
                    const BltFx* fx)
{
    if (flags & (BLT_KEYSRC | BLT_KEYDEST))
        return Result::NotImplemented; // no colour keys on this platform's callers
    if (mLost || (src != nullptr && src->mLost))
        return Result::SurfaceLost;
    if (mLocked || (src != nullptr && src->mLocked))
        return Result::SurfaceBusy;
    if ((mCaps & CAPS_PRIMARYSURFACE) && mHost)
    {
        const Result injected = TakeAnswer(mHost->mPresentAnswers);
        if (injected != Result::Ok)
            return injected;
    }
    Rect dst = destRect != nullptr ? *destRect : GetRect();
    if (dst.IsEmpty())
        return Result::InvalidRect;
    Rect from;
    if (!(flags & BLT_COLORFILL))
    {
        if (src == nullptr)
            return Result::InvalidParams;
        if (!ResolveRect(srcRect, *src, &from))
            return Result::InvalidRect;
    }
    if (mClipper)
    {
        // Cut the destination to the clip rectangle and the source by the same share.
        // The clip rectangle never reaches beyond the surface itself.
        const Rect clip = mClipper();
        const Rect cut{std::max({dst.left, clip.left, 0}), std::max({dst.top, clip.top, 0}),
                       std::min({dst.right, clip.right, static_cast<int32_t>(mWidth)}),
                       std::min({dst.bottom, clip.bottom, static_cast<int32_t>(mHeight)})};
        if (cut.IsEmpty())
            return Result::Ok; // nothing of it is visible
        if (!(flags & BLT_COLORFILL))
        {
            // In 64 bits: a destination may span the whole 32-bit range.
            const int64_t dl = dst.left, dt = dst.top;
            const int64_t dw = int64_t{dst.right} - dl, dh = int64_t{dst.bottom} - dt;
            const int64_t sw = from.Width(), sh = from.Height();
            Rect cutFrom{static_cast<int32_t>(from.left + (cut.left - dl) * sw / dw),
                         static_cast<int32_t>(from.top + (cut.top - dt) * sh / dh),
                         static_cast<int32_t>(from.left + (cut.right - dl) * sw / dw),
                         static_cast<int32_t>(from.top + (cut.bottom - dt) * sh / dh)};
            if (cutFrom.IsEmpty())
                return Result::Ok;
            from = cutFrom;
        }
        dst = cut;
    }
    else if (!dst.IsInside(mWidth, mHeight))
    {
        return Result::InvalidRect;
    }
    if (flags & BLT_COLORFILL)
    {
        if (fx == nullptr)
            return Result::InvalidParams;
        FillPixels(*this, dst, fx->mFillColor);
        NotifyChanged();
        return Result::Ok;
    }
    if (!IsSupportedFormat(src->mFormat) || src->mFormat.IsDepth() != mFormat.IsDepth())
        return Result::InvalidPixelFormat;
    if (from.Width() == dst.Width() && from.Height() == dst.Height())
    {
        if (mCopyListener && mCopyListener(*this, dst, *src, from))
            return Result::Ok;
        CopyPixels(*this, dst, *src, from);
    }
    else
    {
        StretchPixels(*this, dst, *src, from);
    }
    NotifyChanged();
    return Result::Ok;
}

Result Surface::BltFast(uint32_t x, uint32_t y, Surface* src, const Rect* srcRect, uint32_t flags)
{
    if (flags & (BLTFAST_SRCCOLORKEY | BLTFAST_DESTCOLORKEY))
        return Result::NotImplemented;
    if (src == nullptr)
        return Result::InvalidParams;
    if (mLost || src->mLost)
        return Result::SurfaceLost;
    if (mLocked || src->mLocked)
        return Result::SurfaceBusy;
    Rect from;
    if (!ResolveRect(srcRect, *src, &from))
        return Result::InvalidRect;
    if (x > mWidth || y > mHeight)
        return Result::InvalidRect;
    Rect dst{static_cast<int32_t>(x), static_cast<int32_t>(y),
             static_cast<int32_t>(x) + from.Width(), static_cast<int32_t>(y) + from.Height()};
    if (!dst.IsInside(mWidth, mHeight))
        return Result::InvalidRect;
    if (src->mFormat.IsDepth() != mFormat.IsDepth())
        return Result::InvalidPixelFormat;
    CopyPixels(*this, dst, *src, from);
    NotifyChanged();
    return Result::Ok;
}

Result Surface::GetBltStatus(uint32_t /*flags*/)
{
    if (mLost)
        return Result::SurfaceLost;
    return mHost ? TakeAnswer(mHost->mBltStatusAnswers) : Result::Ok;
}

Result Surface::Flip(Surface* target, uint32_t /*flags*/)
{
    if (mLost)
        return Result::SurfaceLost;
    Surface* back = target;
    if (back == nullptr)
    {
        for (auto& a : mAttached)
        {
            if (a->GetCaps() & CAPS_BACKBUFFER)
                back = a.get();
        }
    }
    if (back == nullptr || !(mCaps & CAPS_FLIP))
        return Result::InvalidParams; // not a flip chain
    if (back->mLost)
        return Result::SurfaceLost;
    if (mLocked || back->mLocked)
        return Result::SurfaceBusy;
    if (mHost)
    {
        const Result injected = TakeAnswer(mHost->mPresentAnswers);
        if (injected != Result::Ok)
            return injected;
    }
    SwapPixels(*back);
    NotifyChanged();
    return Result::Ok;
}

Result Surface::GetFlipStatus(uint32_t /*flags*/)
{
    if (mLost)
        return Result::SurfaceLost;
    return mHost ? TakeAnswer(mHost->mFlipStatusAnswers) : Result::Ok;
}

Result Surface::GetAttachedSurface(uint32_t caps, std::shared_ptr<Surface>* out)
{
    if (out == nullptr)
        return Result::InvalidParams;
    out->reset();
    if ((caps & CAPS_MIPMAP) && mNextMip)
    {
        *out = mNextMip;
        return Result::Ok;
    }
    for (auto& a : mAttached)
    {
        if ((a->GetCaps() & caps) == caps)
        {
            *out = a;
            return Result::Ok;
        }
    }
    return Result::NotFound;
}

bool Surface::Holds(const Surface* surface) const
{
    if (surface == this)
        return true;
    for (const auto& a : mAttached)
    {
        if (a->Holds(surface))
            return true;
    }
    return mNextMip && mNextMip->Holds(surface);
}

void Surface::SetNextMipLevel(std::shared_ptr<Surface> next)
{
    // A chain that led back here would never end.
    if (next && next->Holds(this))
        return;
    mNextMip = std::move(next);
}

Result Surface::AddAttachedSurface(const std::shared_ptr<Surface>& surface)
{
    if (!surface || surface->Holds(this))
        return Result::InvalidParams;
    for (auto& a : mAttached)
    {
        if (a == surface)
            return Result::Ok;
    }
    // Only one depth buffer can be attached; a second is refused as the platform does.
    if (surface->GetCaps() & CAPS_ZBUFFER)
    {
        for (auto& a : mAttached)
        {
            if (a->GetCaps() & CAPS_ZBUFFER)
                return Result::InvalidParams;
        }
    }
    mAttached.push_back(surface);
    return Result::Ok;
}

Result Surface::DeleteAttachedSurface(uint32_t /*flags*/, Surface* surface)
{
    for (auto it = mAttached.begin(); it != mAttached.end(); ++it)
    {
        if (surface == nullptr || it->get() == surface)
        {
            mAttached.erase(it);
            return Result::Ok;
        }
    }
    return Result::NotFound;
}

Surface* Surface::GetMipLevel(uint32_t n)
{
    Surface* level = this;
    while (level != nullptr && n > 0)
    {
        level = level->mNextMip.get();
        --n;
    }
    return level;
}

uint32_t Surface::GetMipLevelCount() const
{
    uint32_t count = 1;
    for (const Surface* level = mNextMip.get(); level != nullptr; level = level->mNextMip.get())
        ++count;
    return count;
}

uint32_t Surface::ReadRaw(uint32_t x, uint32_t y) const
{
    const uint32_t bpp = mLayout.mBytesPerPixel;
    return LoadRawPixel(GetRow(y) + static_cast<size_t>(x) * bpp, bpp);
}

void Surface::WriteRaw(uint32_t x, uint32_t y, uint32_t raw)
{
    const uint32_t bpp = mLayout.mBytesPerPixel;
    StoreRawPixel(GetRow(y) + static_cast<size_t>(x) * bpp, bpp, raw);
}

void Surface::NotifyChanged()
{
    if (mChangeListener)
        mChangeListener(*this);
}

void Surface::SwapPixels(Surface& other)
{
    if (other.mWidth != mWidth || other.mHeight != mHeight || !(other.mFormat == mFormat))
        return;
    mMemory.swap(other.mMemory);
}

bool Surface::AdoptPixels(uint8_t* block, size_t bytes)
{
    if (block == nullptr || bytes != mBytes || mLocked || mLost)
        return false;
    mMemory.reset(block);
    return true;
}

} // namespace sys::display
