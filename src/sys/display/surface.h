// Memory surfaces: size, pitch, pixel format and pixels, with Lock/Unlock, Blt/BltFast, Flip, loss
// and restore as the display code expects of a video surface.
#pragma once

#include "sys/display/pixel_format.h"
#include "sys/display/rect.h"
#include "sys/display/result.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace sys::display
{

// Surface capabilities (the platform's values).
constexpr uint32_t CAPS_BACKBUFFER = 0x00000004;
constexpr uint32_t CAPS_COMPLEX = 0x00000008;
constexpr uint32_t CAPS_FLIP = 0x00000010;
constexpr uint32_t CAPS_FRONTBUFFER = 0x00000020;
constexpr uint32_t CAPS_OFFSCREENPLAIN = 0x00000040;
constexpr uint32_t CAPS_PRIMARYSURFACE = 0x00000200;
constexpr uint32_t CAPS_SYSTEMMEMORY = 0x00000800;
constexpr uint32_t CAPS_TEXTURE = 0x00001000;
constexpr uint32_t CAPS_3DDEVICE = 0x00002000;
constexpr uint32_t CAPS_VIDEOMEMORY = 0x00004000;
constexpr uint32_t CAPS_ZBUFFER = 0x00020000;
constexpr uint32_t CAPS_MIPMAP = 0x00400000;
constexpr uint32_t CAPS_LOCALVIDMEM = 0x10000000;
// Second caps word.
constexpr uint32_t CAPS2_TEXTUREMANAGE = 0x00000010;
constexpr uint32_t CAPS2_ENABLEALPHACHANNEL = 0x00000100;

// Lock flags. Locks never wait here, so WAIT only documents intent.
constexpr uint32_t LOCK_WAIT = 0x00000001;
constexpr uint32_t LOCK_READONLY = 0x00000010;
constexpr uint32_t LOCK_WRITEONLY = 0x00000020;
constexpr uint32_t LOCK_NOSYSLOCK = 0x00000800;

// Blt flags.
constexpr uint32_t BLT_ASYNC = 0x00000200;
constexpr uint32_t BLT_COLORFILL = 0x00000400;
constexpr uint32_t BLT_DDFX = 0x00000800;
constexpr uint32_t BLT_KEYDEST = 0x00002000;
constexpr uint32_t BLT_KEYSRC = 0x00008000;
constexpr uint32_t BLT_WAIT = 0x01000000;
constexpr uint32_t BLT_DONOTWAIT = 0x08000000;
// BltFx effects (with BLT_DDFX).
constexpr uint32_t BLTFX_NOTEARING = 0x00000008;
// BltFast flags.
constexpr uint32_t BLTFAST_NOCOLORKEY = 0x00000000;
constexpr uint32_t BLTFAST_SRCCOLORKEY = 0x00000001;
constexpr uint32_t BLTFAST_DESTCOLORKEY = 0x00000002;
constexpr uint32_t BLTFAST_WAIT = 0x00000010;
// GetFlipStatus / GetBltStatus flags.
constexpr uint32_t GFS_CANFLIP = 0x00000001;
constexpr uint32_t GFS_ISFLIPDONE = 0x00000002;
constexpr uint32_t GBS_CANBLT = 0x00000001;
constexpr uint32_t GBS_ISBLTDONE = 0x00000002;
// Flip flags.
constexpr uint32_t FLIP_WAIT = 0x00000001;

// Surface-description flags saying which fields are valid.
constexpr uint32_t SD_CAPS = 0x00000001;
constexpr uint32_t SD_HEIGHT = 0x00000002;
constexpr uint32_t SD_WIDTH = 0x00000004;
constexpr uint32_t SD_PITCH = 0x00000008;
constexpr uint32_t SD_BACKBUFFERCOUNT = 0x00000020;
constexpr uint32_t SD_LPSURFACE = 0x00000800;
constexpr uint32_t SD_PIXELFORMAT = 0x00001000;
constexpr uint32_t SD_MIPMAPCOUNT = 0x00020000;
constexpr uint32_t SD_REFRESHRATE = 0x00040000;
constexpr uint32_t SD_TEXTURESTAGE = 0x00100000; // accepted; there is one texture memory here

// Description of a surface: what creation asks for and what GetSurfaceDesc / Lock answer.
struct SurfaceDesc
{
    uint32_t mFlags = 0;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    int32_t mPitch = 0; // bytes from one row to the next
    uint32_t mBackBufferCount = 0;
    uint32_t mMipMapCount = 0;
    void* mSurface = nullptr; // Lock: first byte of the locked rectangle
    PixelFormat mPixelFormat;
    uint32_t mCaps = 0;
    uint32_t mCaps2 = 0;
    uint32_t mRefreshRate = 0; // display modes only
};

// What a new surface's memory holds: zeros, or whatever the heap gave, for a caller that writes
// every pixel before anything reads it (a texture load whose image covers the whole surface).
enum class SurfaceMemory
{
    Cleared,
    Uninitialised
};

// Effects for Blt: the fill value (raw, in the destination's format) and DDFX effects.
struct BltFx
{
    uint32_t mFillColor = 0;
    uint32_t mFx = 0;
};

// What the surfaces of one display object share: the video-memory budget and the answers tests
// inject. Surfaces keep it alive, so it outlives the display object if they do.
class SurfaceHost
{
public:
    explicit SurfaceHost(uint64_t videoMemoryBytes) : mTotalVideoMemory(videoMemoryBytes) {}

    // Takes `bytes` from the budget; false (nothing taken) when they do not fit.
    bool ReserveVideoMemory(uint64_t bytes);
    void ReleaseVideoMemory(uint64_t bytes);
    uint64_t GetTotalVideoMemory() const { return mTotalVideoMemory; }
    uint64_t GetFreeVideoMemory() const;
    void SetTotalVideoMemory(uint64_t bytes) { mTotalVideoMemory = bytes; }

    // Answer of Surface::Restore while the display cannot give memory back (e.g. WrongMode).
    Result mRestoreAnswer = Result::Ok;
    // Set by the display object while a full-screen display is away (Restore: NoExclusiveMode).
    bool mFocusLost = false;
    // One-shot answers for GetFlipStatus / GetBltStatus(IS...DONE), taken front first; empty = Ok.
    std::deque<Result> mFlipStatusAnswers;
    std::deque<Result> mBltStatusAnswers;
    // One-shot answers for presenting: Flip, and Blt into a primary surface. A failure answer
    // (WasStillDrawing, SurfaceLost, ...) is returned without doing the work.
    std::deque<Result> mPresentAnswers;

private:
    uint64_t mTotalVideoMemory;
    uint64_t mUsedVideoMemory = 0;
};

class Surface : public std::enable_shared_from_this<Surface>
{
public:
    // A surface in system memory outside any display object: no budget, never lost unless told.
    // Null (and a log line) for an unsupported format or a zero or absurd size.
    static std::shared_ptr<Surface> Create(uint32_t width, uint32_t height,
                                           const PixelFormat& format,
                                           uint32_t caps = CAPS_SYSTEMMEMORY | CAPS_OFFSCREENPLAIN);
    // Used by the display object: `host` may be null; `videoBytes` were already reserved in it.
    Surface(uint32_t width, uint32_t height, const PixelFormat& format, uint32_t caps,
            uint32_t caps2, std::shared_ptr<SurfaceHost> host, uint64_t videoBytes,
            SurfaceMemory memory = SurfaceMemory::Cleared);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    uint32_t GetWidth() const { return mWidth; }
    uint32_t GetHeight() const { return mHeight; }
    int32_t GetPitch() const { return mPitch; }
    const PixelFormat& GetPixelFormat() const { return mFormat; }
    const ChannelLayout& GetChannelLayout() const { return mLayout; }
    uint32_t GetCaps() const { return mCaps; }
    uint32_t GetCaps2() const { return mCaps2; }
    Rect GetRect() const
    {
        return Rect{0, 0, static_cast<int32_t>(mWidth), static_cast<int32_t>(mHeight)};
    }

    Result GetSurfaceDesc(SurfaceDesc* desc) const;

    // Pointer to the rectangle's first byte (whole surface when null) and the pitch, in `desc`.
    // SurfaceLost while lost, SurfaceBusy while already locked, InvalidRect outside the surface.
    Result Lock(const Rect* rect, SurfaceDesc* desc, uint32_t flags);
    Result Unlock(const Rect* rect = nullptr);
    bool IsLocked() const { return mLocked; }

    // Ok, or SurfaceLost after the display took the memory away.
    Result IsLost() const { return mLost ? Result::SurfaceLost : Result::Ok; }
    // Gives the memory back (contents undefined: the loss pattern stays) unless the display
    // refuses.
    Result Restore();
    // Fault injection and focus loss: the surface (and its attachments) become lost, and the memory
    // is overwritten with a pattern so stale pictures cannot pass for restored ones.
    void MarkLost();

    // No GDI on this platform: always CantCreateDC, so callers take their lock-and-convert path.
    Result GetDC(void** dc);
    Result ReleaseDC(void* dc);

    // Copy (same size), stretch (nearest texel) or colour fill (BLT_COLORFILL, raw value in fx).
    // A null rectangle means the whole surface. Rectangles must lie inside their surfaces
    // (InvalidRect otherwise); no clipper is applied. Different formats are converted.
    Result Blt(const Rect* destRect, Surface* src, const Rect* srcRect, uint32_t flags,
               const BltFx* fx);
    // Same-size copy of `srcRect` (whole source when null) to (x, y).
    Result BltFast(uint32_t x, uint32_t y, Surface* src, const Rect* srcRect, uint32_t flags);
    Result GetBltStatus(uint32_t flags);

    // Flip chain: exchanges the pixels of this front buffer and its attached back buffer.
    Result Flip(Surface* target, uint32_t flags);
    Result GetFlipStatus(uint32_t flags);

    // Attachments: back buffer (CAPS_BACKBUFFER), depth buffer (CAPS_ZBUFFER), next mip level
    // (CAPS_MIPMAP). NotFound when none matches. A surface that already holds this one (directly
    // or further down) cannot be attached to it: InvalidParams.
    Result GetAttachedSurface(uint32_t caps, std::shared_ptr<Surface>* out);
    Result AddAttachedSurface(const std::shared_ptr<Surface>& surface);
    Result DeleteAttachedSurface(uint32_t flags, Surface* surface);
    // Mip chain: each level holds the next smaller one (also answered by GetAttachedSurface).
    const std::shared_ptr<Surface>& GetNextMipLevel() const { return mNextMip; }
    // Refused (nothing changes) when `next` holds this surface.
    void SetNextMipLevel(std::shared_ptr<Surface> next);
    // Level `n` of the chain starting here (0 = this surface); null past the end.
    Surface* GetMipLevel(uint32_t n);
    uint32_t GetMipLevelCount() const; // 1 without a chain

    // Direct access for the rasteriser and conversion helpers (no lock bookkeeping, no loss check).
    uint8_t* GetBits() { return mMemory.get(); }
    const uint8_t* GetBits() const { return mMemory.get(); }
    uint8_t* GetRow(uint32_t y) { return mMemory.get() + static_cast<size_t>(y) * mPitch; }
    const uint8_t* GetRow(uint32_t y) const
    {
        return mMemory.get() + static_cast<size_t>(y) * mPitch;
    }
    uint32_t ReadRaw(uint32_t x, uint32_t y) const;
    void WriteRaw(uint32_t x, uint32_t y, uint32_t raw);
    // One pixel as A8R8G8B8 through the plain-shift conversion of pixel_format.h.
    uint32_t ReadPixel(uint32_t x, uint32_t y) const { return UnpackArgb(mLayout, ReadRaw(x, y)); }
    void WritePixel(uint32_t x, uint32_t y, uint32_t argb)
    {
        WriteRaw(x, y, PackArgb(mLayout, argb));
    }

    // Called after the pixels of a front buffer changed (Flip, Blt, BltFast, Unlock), so the
    // presenter can show them. Set by the screen on its primary surface only.
    void SetChangeListener(std::function<void(Surface&)> listener)
    {
        mChangeListener = std::move(listener);
    }
    void NotifyChanged();
    // Offered each same-size Blt into this surface (destination rectangle, source, source
    // rectangle, all checked) before it copies: true when the listener made the copy and dealt
    // with the change itself, false to leave both to the blit. Set by the screen on its primary
    // surface, which shows the copy as it makes it.
    using CopyListener = std::function<bool(Surface&, const Rect&, const Surface&, const Rect&)>;
    void SetCopyListener(CopyListener listener) { mCopyListener = std::move(listener); }

    // A clipper: blits into this surface are cut to the rectangle the function answers (with the
    // source cut by the same share) instead of being refused. The screen sets one on the windowed
    // primary, bound to the window. An empty function removes it.
    void SetClipper(std::function<Rect()> clipRect) { mClipper = std::move(clipRect); }
    bool HasClipper() const { return static_cast<bool>(mClipper); }

    // The display object's shared state this surface belongs to (budget, injected answers); null
    // for surfaces made with Create.
    const std::shared_ptr<SurfaceHost>& GetHost() const { return mHost; }

    // Video-memory bytes this surface holds in its display's budget (0 for system memory).
    uint64_t GetVideoMemoryBytes() const { return mVideoBytes; }
    void SwapPixels(Surface& other); // same size and format only; used by Flip
    // Makes `block` (from std::malloc, `bytes` long, laid out as this surface's pixels) the
    // surface's memory, freeing the old. Refused (false, the block stays the caller's) unless
    // `bytes` is exactly the surface's size and the surface is neither locked nor lost.
    bool AdoptPixels(uint8_t* block, size_t bytes);

private:
    // Pixel memory comes from std::malloc, so that a decoded block can become a surface's.
    struct FreeBlock
    {
        void operator()(uint8_t* block) const noexcept { std::free(block); }
    };

    // Whether `surface` is this one or hangs below it (attachments, mip levels).
    bool Holds(const Surface* surface) const;

    uint32_t mWidth;
    uint32_t mHeight;
    int32_t mPitch;
    PixelFormat mFormat;
    ChannelLayout mLayout;
    uint32_t mCaps;
    uint32_t mCaps2;
    std::unique_ptr<uint8_t, FreeBlock> mMemory;
    size_t mBytes;
    bool mLocked = false;
    bool mLost = false;
    std::shared_ptr<SurfaceHost> mHost;
    uint64_t mVideoBytes;
    std::vector<std::shared_ptr<Surface>> mAttached; // back buffer, depth buffer
    std::shared_ptr<Surface> mNextMip;
    std::function<void(Surface&)> mChangeListener;
    CopyListener mCopyListener;
    std::function<Rect()> mClipper;
};

// Byte pitch used for a width and format: rows padded to 4 bytes.
int32_t PitchFor(uint32_t width, const PixelFormat& format);
// Whether a surface of that size can exist: sides 1 to 16384 and at most 256 MiB of pixels.
bool IsAcceptableSurfaceSize(uint32_t width, uint32_t height, const PixelFormat& format);

} // namespace sys::display
