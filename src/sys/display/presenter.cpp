// Presentation through SDL: the shown region of the front buffer is converted to A8R8G8B8, kept as
// the last frame, uploaded to a streaming texture and drawn over the window.
#include "sys/display/presenter.h"

#include "sys/display/blit.h"
#include "sys/display/display_log.h"
#include "sys/display/frame_shot.h"
#include "sys/display/surface.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sys::display
{
namespace
{
// One pass: copy a row of 32-bit pixels and set the alpha bits a format without alpha lacks.
// Rows of surfaces are 4-byte aligned, so the source can be read as words.
void CopyRowSettingAlpha(uint32_t* __restrict out, const uint8_t* __restrict in, size_t count,
                         uint32_t alpha)
{
    size_t i = 0;
#if defined(__SSE2__)
    // Plain stores on purpose: an 800 x 600 frame fits in the last-level cache, where the upload
    // reads it next; streaming stores would send it to memory at memory's write speed.
    const __m128i mask = _mm_set1_epi32(static_cast<int>(alpha));
    for (; i + 8 <= count; i += 8)
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4 + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(a, mask));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_or_si128(b, mask));
    }
#endif
    for (; i < count; ++i)
    {
        uint32_t word;
        std::memcpy(&word, in + i * 4, 4);
        out[i] = word | alpha;
    }
}

bool IsDummyDriver()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver == nullptr || std::strcmp(driver, "dummy") == 0 ||
           std::strcmp(driver, "offscreen") == 0;
}
} // namespace

Presenter::Presenter(SDL_Window* window, bool useDummyDriver)
    : mWindow(window), mHeadless(window == nullptr || (!useDummyDriver && IsDummyDriver()))
{
}

Presenter::~Presenter()
{
    if (mTexture != nullptr)
        SDL_DestroyTexture(mTexture);
    if (mRenderer != nullptr)
        SDL_DestroyRenderer(mRenderer);
}

void Presenter::SetVSync(bool vsync)
{
    if (vsync == mVSync)
        return;
    mVSync = vsync;
    if (mRenderer != nullptr)
        SDL_RenderSetVSync(mRenderer, vsync ? 1 : 0);
}

void Presenter::Present(const Surface& front, const Rect& region)
{
    ++mPresentCount;
    mRegion = region;
    if (region.IsEmpty())
    {
        NoteFramePresented(nullptr, 0, 0);
        return;
    }
    mFrameWidth = static_cast<uint32_t>(region.Width());
    mFrameHeight = static_cast<uint32_t>(region.Height());
    // The part of the region that lies on the surface; the rest stays black.
    const int32_t x0 = std::max(region.left, 0);
    const int32_t y0 = std::max(region.top, 0);
    const int32_t x1 = std::min(region.right, static_cast<int32_t>(front.GetWidth()));
    const int32_t y1 = std::min(region.bottom, static_cast<int32_t>(front.GetHeight()));
    const size_t pixels = static_cast<size_t>(mFrameWidth) * mFrameHeight;
    // Every pixel of a region inside the surface is written below: the black fill (a second pass
    // over the frame) is only needed when part of the region lies outside.
    if (x0 != region.left || y0 != region.top || x1 != region.right || y1 != region.bottom)
        mFrame.assign(pixels, 0xFF000000u);
    else
        mFrame.resize(pixels);
    const PixelFormat& format = front.GetPixelFormat();
    const bool direct32 = format.mBitCount == 32 && format.mRMask == 0x00FF0000 &&
                          format.mGMask == 0x0000FF00 && format.mBMask == 0x000000FF;
    const uint32_t forceAlpha = format.HasAlpha() ? 0u : 0xFF000000u;
    const ChannelLayout argb = MakeChannelLayout(MakePixelFormat(FormatId::A8R8G8B8));
    const uint32_t bpp = front.GetChannelLayout().mBytesPerPixel;
    for (int32_t y = y0; y < y1; ++y)
    {
        uint32_t* d =
            mFrame.data() + static_cast<size_t>(y - region.top) * mFrameWidth + (x0 - region.left);
        if (direct32)
        {
            const uint8_t* row =
                front.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(x0) * 4;
            CopyRowSettingAlpha(d, row, static_cast<size_t>(x1 - x0), forceAlpha);
        }
        else
        {
            ConvertRow(reinterpret_cast<uint8_t*>(d), argb,
                       front.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(x0) * bpp,
                       front.GetChannelLayout(), x1 - x0);
        }
    }
    NoteFramePresented(mFrame.data(), mFrameWidth, mFrameHeight);
    if (!mHeadless && !mFailed)
        Upload();
}

void Presenter::Upload()
{
    if (mRenderer == nullptr)
    {
        uint32_t flags = mVSync ? static_cast<uint32_t>(SDL_RENDERER_PRESENTVSYNC) : 0u;
        mRenderer = SDL_CreateRenderer(mWindow, -1, flags | SDL_RENDERER_ACCELERATED);
        if (mRenderer == nullptr)
            mRenderer = SDL_CreateRenderer(mWindow, -1, flags | SDL_RENDERER_SOFTWARE);
        if (mRenderer == nullptr)
        {
            DisplayLog("Presenter: no renderer for the window (%s)", SDL_GetError());
            mFailed = true;
            return;
        }
    }
    if (mTexture == nullptr || mTextureWidth != mFrameWidth || mTextureHeight != mFrameHeight)
    {
        if (mTexture != nullptr)
            SDL_DestroyTexture(mTexture);
        mTexture =
            SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                              static_cast<int>(mFrameWidth), static_cast<int>(mFrameHeight));
        if (mTexture == nullptr)
        {
            DisplayLog("Presenter: no %ux%u streaming texture (%s)", mFrameWidth, mFrameHeight,
                       SDL_GetError());
            mFailed = true;
            return;
        }
        mTextureWidth = mFrameWidth;
        mTextureHeight = mFrameHeight;
        // Keeps the picture's proportions when the window is larger (full screen on a desktop
        // of another shape).
        SDL_RenderSetLogicalSize(mRenderer, static_cast<int>(mFrameWidth),
                                 static_cast<int>(mFrameHeight));
    }
    SDL_UpdateTexture(mTexture, nullptr, mFrame.data(), static_cast<int>(mFrameWidth * 4));
    SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
    SDL_RenderClear(mRenderer);
    SDL_RenderCopy(mRenderer, mTexture, nullptr, nullptr);
    SDL_RenderPresent(mRenderer);
}

} // namespace sys::display
