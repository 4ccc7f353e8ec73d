// Presentation through SDL: the shown region of the front buffer is converted to A8R8G8B8, kept as
// the last frame, uploaded to a streaming texture and drawn over the window.
#include "sys/display/presenter/presenter.h"

#include "sys/display/blit.h"
#include "sys/display/display_log.h"
#include "sys/display/presenter/frame_shot.h"
#include "sys/display/surface.h"
#include "sys/window/window.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
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

// Writes a row of 32-bit pixels to `out` unchanged and to `frame` with the alpha bits set: a blit
// into the front and the presenter's copy of it from one read.
void CopyRowTwice(uint32_t* __restrict out, uint32_t* __restrict frame,
                  const uint8_t* __restrict in, size_t count, uint32_t alpha)
{
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i mask = _mm_set1_epi32(static_cast<int>(alpha));
    for (; i + 8 <= count; i += 8)
    {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * 4 + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i), _mm_or_si128(a, mask));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + i + 4), _mm_or_si128(b, mask));
    }
#endif
    for (; i < count; ++i)
    {
        uint32_t word;
        std::memcpy(&word, in + i * 4, 4);
        out[i] = word;
        frame[i] = word | alpha;
    }
}

bool IsDirect32(const PixelFormat& format)
{
    return format.mBitCount == 32 && format.mRMask == 0x00FF0000 && format.mGMask == 0x0000FF00 &&
           format.mBMask == 0x000000FF;
}

// The alpha bits the frame gains from a front without alpha.
uint32_t ForcedAlpha(const PixelFormat& format)
{
    return format.HasAlpha() ? 0u : 0xFF000000u;
}

// Whether the renderer draws through a GL that the processor runs (Mesa's llvmpipe and the like).
bool IsSoftwareGl(SDL_Renderer* renderer)
{
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr ||
        std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (getString == nullptr)
        return false;
    constexpr unsigned int kGlRenderer = 0x1F01;
    const auto* name = reinterpret_cast<const char*>(getString(kGlRenderer));
    if (name == nullptr)
        return false;
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (std::strstr(name, software) != nullptr)
            return true;
    return false;
}

// Whether the processor draws the desktop's GL (found by the first presenter that asked): every
// later presenter goes to the window surface at once, without making a GL renderer only to drop
// it, which would remake the window at each switch of shape.
bool gSoftwareGl = false;

// One row of the scaling: each pixel from its source column.
void GatherRow(uint32_t* __restrict out, const uint32_t* __restrict in,
               const uint32_t* __restrict columns, uint32_t width)
{
    for (uint32_t x = 0; x < width; ++x)
        out[x] = in[columns[x]];
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void GatherRowAvx2(uint32_t* __restrict out,
                                                   const uint32_t* __restrict in,
                                                   const uint32_t* __restrict columns,
                                                   uint32_t width)
{
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8)
    {
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(columns + x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(in), at, 4));
    }
    GatherRow(out + x, in, columns + x, width - x);
}
#endif

// Nearest-pixel scaling of a frame of A8R8G8B8 pixels into `fit` of a 32-bit surface whose channel
// order is the same: each destination pixel takes the source pixel under its middle, as the
// pointer mapping does, and a row that shows the same source row as the one above is copied.
void ScaleNearest(const uint32_t* frame, uint32_t frameWidth, uint32_t frameHeight, uint8_t* pixels,
                  int pitch, const sys::ScreenRect& fit, std::vector<uint32_t>& columns)
{
    const auto width = static_cast<uint32_t>(fit.right - fit.left);
    const auto height = static_cast<uint32_t>(fit.bottom - fit.top);
    columns.resize(width);
    for (uint32_t x = 0; x < width; ++x)
        columns[x] = static_cast<uint32_t>((uint64_t(2 * x + 1) * frameWidth) / (2 * width));
    const uint32_t* shownRow = nullptr;
    uint32_t shownSource = frameHeight;
    for (uint32_t y = 0; y < height; ++y)
    {
        auto* out =
            reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(fit.top + y) * pitch +
                                        static_cast<ptrdiff_t>(fit.left) * 4);
        const auto source =
            static_cast<uint32_t>((uint64_t(2 * y + 1) * frameHeight) / (2 * height));
        if (source == shownSource)
            std::memcpy(out, shownRow, size_t(width) * 4);
        else if (width == frameWidth)
            std::memcpy(out, frame + size_t(source) * frameWidth, size_t(width) * 4);
        else
        {
#if defined(__x86_64__)
            static const bool wide = __builtin_cpu_supports("avx2");
            if (wide)
                GatherRowAvx2(out, frame + size_t(source) * frameWidth, columns.data(), width);
            else
#endif
                GatherRow(out, frame + size_t(source) * frameWidth, columns.data(), width);
        }
        shownRow = out;
        shownSource = source;
    }
}

// Black where the fitted picture leaves the surface uncovered.
void FillBars(SDL_Surface* surface, const sys::ScreenRect& fit)
{
    const Uint32 black = SDL_MapRGB(surface->format, 0, 0, 0);
    const SDL_Rect bars[] = {{0, 0, surface->w, fit.top},
                             {0, fit.bottom, surface->w, surface->h - fit.bottom},
                             {0, fit.top, fit.left, fit.bottom - fit.top},
                             {fit.right, fit.top, surface->w - fit.right, fit.bottom - fit.top}};
    for (const SDL_Rect& bar : bars)
        if (bar.w > 0 && bar.h > 0)
            SDL_FillRect(surface, &bar, black);
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
    // At once rather than at the first frame: a renderer may remake its window, which would show
    // the player a second window replacing the first.
    if (!mHeadless)
        CreateRenderer();
}

bool Presenter::IsHeadlessWindow(SDL_Window* window)
{
    return window == nullptr || IsDummyDriver();
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

Rect Presenter::BeginFrame(const Surface& front, const Rect& region)
{
    mFrameIsShown = false;
    mFrameWidth = static_cast<uint32_t>(region.Width());
    mFrameHeight = static_cast<uint32_t>(region.Height());
    // The part of the region that lies on the surface; the rest stays black.
    const Rect shown{std::max(region.left, 0), std::max(region.top, 0),
                     std::min(region.right, static_cast<int32_t>(front.GetWidth())),
                     std::min(region.bottom, static_cast<int32_t>(front.GetHeight()))};
    const size_t pixels = static_cast<size_t>(mFrameWidth) * mFrameHeight;
    // Every pixel of a region inside the surface is written: the black fill (a second pass over
    // the frame) is only needed when part of the region lies outside.
    if (shown.left != region.left || shown.top != region.top || shown.right != region.right ||
        shown.bottom != region.bottom)
        mFrame.assign(pixels, 0xFF000000u);
    else
        mFrame.resize(pixels);
    return shown;
}

void Presenter::EndFrame()
{
    NoteFramePresented(mFrame.data(), mFrameWidth, mFrameHeight);
    if (!mHeadless && !mFailed)
        Upload();
}

void Presenter::CopyFromFront(const Surface& front, int32_t y, int32_t x0, int32_t x1)
{
    if (x0 >= x1)
        return;
    uint32_t* d = FrameAt(x0, y);
    const PixelFormat& format = front.GetPixelFormat();
    const ChannelLayout& layout = front.GetChannelLayout();
    const uint8_t* row =
        front.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(x0) * layout.mBytesPerPixel;
    if (IsDirect32(format))
    {
        CopyRowSettingAlpha(d, row, static_cast<size_t>(x1 - x0), ForcedAlpha(format));
        return;
    }
    static const ChannelLayout argb = MakeChannelLayout(MakePixelFormat(FormatId::A8R8G8B8));
    ConvertRow(reinterpret_cast<uint8_t*>(d), argb, row, layout, x1 - x0);
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
    const Rect shown = BeginFrame(front, region);
    for (int32_t y = shown.top; y < shown.bottom; ++y)
        CopyFromFront(front, y, shown.left, shown.right);
    EndFrame();
}

bool Presenter::CanPresentCopy(const Surface& front, const Surface& src)
{
    return &front != &src && IsDirect32(front.GetPixelFormat()) && CanCopyBytes(front, src) &&
           src.GetChannelLayout().mBytesPerPixel == 4;
}

void Presenter::PresentCopy(Surface& front, const Rect& dst, const Surface& src, const Rect& from,
                            const Rect& region)
{
    if (region.IsEmpty())
    {
        CopyPixels(front, dst, src, from);
        Present(front, region);
        return;
    }
    ++mPresentCount;
    mRegion = region;
    const Rect shown = BeginFrame(front, region);
    const uint32_t alpha = ForcedAlpha(front.GetPixelFormat());
    // The blit's columns the frame shows.
    const int32_t left = std::max(dst.left, shown.left);
    const int32_t right = std::min(dst.right, shown.right);
    for (int32_t r = 0; r < dst.Height(); ++r)
    {
        const int32_t y = dst.top + r;
        uint8_t* d = front.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(dst.left) * 4;
        const uint8_t* s =
            src.GetRow(static_cast<uint32_t>(from.top + r)) + static_cast<size_t>(from.left) * 4;
        if (y < shown.top || y >= shown.bottom || left >= right)
        {
            std::memcpy(d, s, static_cast<size_t>(dst.Width()) * 4);
            continue;
        }
        const size_t before = static_cast<size_t>(left - dst.left) * 4;
        const size_t after = static_cast<size_t>(right - dst.left) * 4;
        std::memcpy(d, s, before);
        CopyRowTwice(reinterpret_cast<uint32_t*>(d + before), FrameAt(left, y), s + before,
                     static_cast<size_t>(right - left), alpha);
        std::memcpy(d + after, s + after, static_cast<size_t>(dst.Width()) * 4 - after);
    }
    // What the region shows beside the blit comes from the front as it is.
    for (int32_t y = shown.top; y < shown.bottom; ++y)
    {
        if (y < dst.top || y >= dst.bottom || left >= right)
        {
            CopyFromFront(front, y, shown.left, shown.right);
            continue;
        }
        CopyFromFront(front, y, shown.left, left);
        CopyFromFront(front, y, right, shown.right);
    }
    EndFrame();
}

bool Presenter::CreateRenderer()
{
    uint32_t flags = mVSync ? static_cast<uint32_t>(SDL_RENDERER_PRESENTVSYNC) : 0u;
    if (!gSoftwareGl)
        mRenderer = SDL_CreateRenderer(mWindow, -1, flags | SDL_RENDERER_ACCELERATED);
    if (mRenderer != nullptr && IsSoftwareGl(mRenderer))
    {
        // A GL drawn by the processor costs many times SDL's own software path for one picture a
        // frame (upload, scale, swap through its threads): the idle menu took half a core.
        SDL_DestroyRenderer(mRenderer);
        mRenderer = nullptr;
        gSoftwareGl = true;
    }
    if (mRenderer != nullptr)
        return true;
    // Without a GPU the frame goes to the window as an image. SDL would otherwise put the window
    // surface on a GL texture of its own, the same GL again; and its software renderer would
    // upload the frame once more and scale it through its general blitter, which cost a third of
    // an idle full-screen game: the frame is scaled straight into the window surface.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_GetWindowSurface(mWindow) != nullptr)
    {
        mWindowSurface = true;
        return true;
    }
    mRenderer = SDL_CreateRenderer(mWindow, -1, flags | SDL_RENDERER_SOFTWARE);
    if (mRenderer == nullptr)
    {
        DisplayLog("Presenter: no renderer for the window (%s)", SDL_GetError());
        mFailed = true;
        return false;
    }
    return true;
}

bool Presenter::ShowOnWindowSurface()
{
    SDL_Surface* surface = SDL_GetWindowSurface(mWindow);
    if (surface == nullptr)
    {
        DisplayLog("Presenter: no surface for the window (%s)", SDL_GetError());
        mFailed = true;
        return false;
    }
    const sys::ScreenRect fit = sys::FitPicture(
        static_cast<int>(mFrameWidth), static_cast<int>(mFrameHeight), surface->w, surface->h);
    FillBars(surface, fit);
    const SDL_PixelFormat* format = surface->format;
    if (format->BytesPerPixel == 4 && format->Rmask == 0x00FF0000 && format->Gmask == 0x0000FF00 &&
        format->Bmask == 0x000000FF)
    {
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
            return false;
        ScaleNearest(mFrame.data(), mFrameWidth, mFrameHeight,
                     static_cast<uint8_t*>(surface->pixels), surface->pitch, fit, mColumns);
        if (SDL_MUSTLOCK(surface))
            SDL_UnlockSurface(surface);
    }
    else
    {
        // Another window format: SDL converts as it scales.
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
            mFrame.data(), static_cast<int>(mFrameWidth), static_cast<int>(mFrameHeight), 32,
            static_cast<int>(mFrameWidth * 4), SDL_PIXELFORMAT_ARGB8888);
        if (frame == nullptr)
            return false;
        SDL_Rect shown{fit.left, fit.top, fit.right - fit.left, fit.bottom - fit.top};
        SDL_BlitScaled(frame, nullptr, surface, &shown);
        SDL_FreeSurface(frame);
    }
    SDL_UpdateWindowSurface(mWindow);
    return true;
}

void Presenter::Upload()
{
    if (mRenderer == nullptr && !mWindowSurface && !CreateRenderer())
        return;
    int outputWidth = 0;
    int outputHeight = 0;
    if (mWindowSurface)
        SDL_GetWindowSize(mWindow, &outputWidth, &outputHeight);
    else if (SDL_GetRendererOutputSize(mRenderer, &outputWidth, &outputHeight) != 0)
        outputWidth = 0;
    if (outputWidth <= 0 || outputHeight <= 0)
    {
        outputWidth = static_cast<int>(mFrameWidth);
        outputHeight = static_cast<int>(mFrameHeight);
    }
    // An idle screen draws the same picture again and again: scaling it to the window and handing
    // it to the window server again would cost more than drawing it.
    if (sys::detail::TakeExposed(mWindow))
        mShownValid = false;
    if (mShownValid && mShown.size() == mFrame.size() && mShownWidth == mFrameWidth &&
        mShownOutputWidth == outputWidth && mShownOutputHeight == outputHeight &&
        std::memcmp(mShown.data(), mFrame.data(), mFrame.size() * sizeof(uint32_t)) == 0)
    {
        sys::detail::NoteFrameShown(false);
        return;
    }
    if (mWindowSurface ? ShowOnWindowSurface() : ShowThroughRenderer(outputWidth, outputHeight))
    {
        ++mShownCount;
        sys::detail::NoteFrameShown(true);
        // The frame becomes what the window shows; the next frame is written over the older one.
        mShown.swap(mFrame);
        mFrameIsShown = true;
        mShownValid = true;
        mShownWidth = mFrameWidth;
        mShownOutputWidth = outputWidth;
        mShownOutputHeight = outputHeight;
    }
}

bool Presenter::ShowThroughRenderer(int outputWidth, int outputHeight)
{
    if (mTexture == nullptr || mTextureWidth != mFrameWidth || mTextureHeight != mFrameHeight)
    {
        if (mTexture != nullptr)
            SDL_DestroyTexture(mTexture);
        // The frame is opaque: a texture without alpha is copied, not blended, and matches the
        // window surfaces of the usual desktops byte for byte (SDL's software path then copies
        // rows instead of converting and blending each pixel).
        mTexture = SDL_CreateTexture(mRenderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     static_cast<int>(mFrameWidth), static_cast<int>(mFrameHeight));
        if (mTexture == nullptr)
        {
            DisplayLog("Presenter: no %ux%u streaming texture (%s)", mFrameWidth, mFrameHeight,
                       SDL_GetError());
            mFailed = true;
            return false;
        }
        SDL_SetTextureBlendMode(mTexture, SDL_BLENDMODE_NONE);
        mTextureWidth = mFrameWidth;
        mTextureHeight = mFrameHeight;
    }
    SDL_UpdateTexture(mTexture, nullptr, mFrame.data(), static_cast<int>(mFrameWidth * 4));
    // The picture keeps its proportions on a window of another shape (full screen), placed by the
    // same fit the pointer goes through, so a click lands where the picture shows it. SDL's own
    // logical size would map pointer events a second time.
    const sys::ScreenRect fit = sys::FitPicture(
        static_cast<int>(mFrameWidth), static_cast<int>(mFrameHeight), outputWidth, outputHeight);
    const SDL_Rect shown{fit.left, fit.top, fit.right - fit.left, fit.bottom - fit.top};
    // Only bars need the black; a picture that covers the window is drawn over every pixel.
    if (shown.x != 0 || shown.y != 0 || shown.w != outputWidth || shown.h != outputHeight)
    {
        SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
        SDL_RenderClear(mRenderer);
    }
    SDL_RenderCopy(mRenderer, mTexture, nullptr, &shown);
    SDL_RenderPresent(mRenderer);
    return true;
}

void Presenter::PresentBlack()
{
    if (mHeadless || mFailed || (mRenderer == nullptr && !mWindowSurface && !CreateRenderer()))
        return;
    if (mWindowSurface)
    {
        SDL_Surface* surface = SDL_GetWindowSurface(mWindow);
        if (surface == nullptr)
            return;
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        SDL_UpdateWindowSurface(mWindow);
    }
    else
    {
        SDL_SetRenderDrawColor(mRenderer, 0, 0, 0, 255);
        SDL_RenderClear(mRenderer);
        SDL_RenderPresent(mRenderer);
    }
    mShownValid = false;
    sys::detail::NoteFrameShown(true);
}

} // namespace sys::display
