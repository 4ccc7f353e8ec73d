// Texture creation (power-of-two growth, mip chains) and loading of 32-bit pixels with conversion
// and box-filtered mip levels.
#include "sys/display/texture_tools.h"

#include "sys/display/direct_draw.h"
#include "sys/display/display_log.h"
#include "sys/display/surface.h"

#include <algorithm>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sys::display::d3dx
{
namespace
{
uint32_t NextPow2(uint32_t n)
{
    uint32_t p = 1;
    while (p < n && p < 0x80000000u)
        p <<= 1;
    return p;
}

bool IsTextureFormat(const DisplayConfig& config, FormatId id)
{
    const PixelFormat wanted = MakePixelFormat(id);
    for (const PixelFormat& f : config.mTextureFormats)
    {
        if (f == wanted)
            return true;
    }
    return false;
}

bool HasAlpha(FormatId id)
{
    return MakePixelFormat(id).HasAlpha();
}

// X8R8G8B8 is A8R8G8B8 without its alpha byte: one masked copy (in place when out == in).
void DropAlpha(uint32_t* out, const uint32_t* in, size_t count)
{
    size_t x = 0;
#if defined(__SSE2__)
    // Every opaque texture upload passes here; the compiler leaves the loop scalar at -O2.
    const __m128i mask = _mm_set1_epi32(0x00FFFFFF);
    for (; x + 4 <= count; x += 4)
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + x),
            _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), mask));
#endif
    for (; x < count; ++x)
        out[x] = in[x] & 0x00FFFFFFu;
}

// Writes a w x h A8R8G8B8 image (rows of `pitch` pixels) into `rect` of `level`.
void Store(Surface& level, const Rect& rect, const uint32_t* image, uint32_t pitch)
{
    const ChannelLayout& layout = level.GetChannelLayout();
    const uint32_t bpp = layout.mBytesPerPixel;
    const bool sameAsSource = level.GetPixelFormat() == MakePixelFormat(FormatId::A8R8G8B8);
    const bool dropAlpha = level.GetPixelFormat() == MakePixelFormat(FormatId::X8R8G8B8);
    for (int32_t y = 0; y < rect.Height(); ++y)
    {
        const uint32_t* s = image + static_cast<size_t>(y) * pitch;
        uint8_t* d = level.GetRow(static_cast<uint32_t>(rect.top + y)) +
                     static_cast<size_t>(rect.left) * bpp;
        if (sameAsSource)
        {
            std::copy(s, s + rect.Width(), reinterpret_cast<uint32_t*>(d));
            continue;
        }
        if (dropAlpha)
        {
            DropAlpha(reinterpret_cast<uint32_t*>(d), s, static_cast<size_t>(rect.Width()));
            continue;
        }
        for (int32_t x = 0; x < rect.Width(); ++x)
            StoreRawPixel(d + static_cast<size_t>(x) * bpp, bpp, PackArgb(layout, s[x]));
    }
}

void PointFilter(const uint32_t* source, uint32_t sw, uint32_t sh, uint32_t pitch, uint32_t* dest,
                 uint32_t dw, uint32_t dh)
{
    for (uint32_t y = 0; y < dh; ++y)
    {
        const uint32_t* row = source + static_cast<size_t>(y * sh / dh) * pitch;
        for (uint32_t x = 0; x < dw; ++x)
            dest[static_cast<size_t>(y) * dw + x] = row[x * sw / dw];
    }
}
} // namespace

void BoxFilter(const uint32_t* source, uint32_t sw, uint32_t sh, uint32_t pitch, uint32_t* dest,
               uint32_t dw, uint32_t dh)
{
    for (uint32_t y = 0; y < dh; ++y)
    {
        const uint32_t y0 = y * sh / dh;
        const uint32_t y1 = std::max(y0 + 1, (y + 1) * sh / dh);
        for (uint32_t x = 0; x < dw; ++x)
        {
            const uint32_t x0 = x * sw / dw;
            const uint32_t x1 = std::max(x0 + 1, (x + 1) * sw / dw);
            uint32_t sum[4] = {0, 0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy)
            {
                const uint32_t* row = source + static_cast<size_t>(sy) * pitch;
                for (uint32_t sx = x0; sx < x1; ++sx)
                {
                    const uint32_t p = row[sx];
                    sum[0] += p >> 24;
                    sum[1] += (p >> 16) & 0xFF;
                    sum[2] += (p >> 8) & 0xFF;
                    sum[3] += p & 0xFF;
                }
            }
            const uint32_t n = (y1 - y0) * (x1 - x0);
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c)
                out |= ((sum[c] + n / 2) / n) << (24 - 8 * c);
            dest[static_cast<size_t>(y) * dw + x] = out;
        }
    }
}

Result CreateTexture(DirectDraw& display, const DeviceDesc& device, uint32_t flags, uint32_t* width,
                     uint32_t* height, FormatId* format, std::shared_ptr<Surface>* texture,
                     uint32_t* mipCount)
{
    if (texture == nullptr)
        return Result::InvalidParams;
    texture->reset();
    const uint32_t maxW = std::max(1u, device.mMaxTextureWidth);
    const uint32_t maxH = std::max(1u, device.mMaxTextureHeight);
    uint32_t w = (width != nullptr && *width != 0 && *width != DEFAULT) ? *width : 256;
    uint32_t h = (height != nullptr && *height != 0 && *height != DEFAULT) ? *height : 256;
    w = std::min(NextPow2(w), NextPow2(maxW) > maxW ? NextPow2(maxW) / 2 : maxW);
    h = std::min(NextPow2(h), NextPow2(maxH) > maxH ? NextPow2(maxH) / 2 : maxH);
    if (device.mTriCaps.mTextureCaps & TEXTURECAPS_SQUAREONLY)
    {
        w = h = std::max(w, h);
    }
    else if (device.mMaxTextureAspectRatio != 0)
    {
        while (w / h > device.mMaxTextureAspectRatio)
            h *= 2;
        while (h / w > device.mMaxTextureAspectRatio)
            w *= 2;
    }

    FormatId chosen = format != nullptr ? *format : FormatId::Unknown;
    if (chosen == FormatId::Unknown || !IsTextureFormat(display.GetConfig(), chosen))
    {
        const bool alpha = chosen == FormatId::Unknown || HasAlpha(chosen);
        chosen = alpha ? FormatId::A8R8G8B8 : FormatId::X8R8G8B8;
    }

    uint32_t levels = 1;
    if (!(flags & TEXTURE_NOMIPMAP))
    {
        for (uint32_t side = std::max(w, h); side > 1; side /= 2)
            ++levels;
        if (mipCount != nullptr && *mipCount != 0 && *mipCount < levels)
            levels = *mipCount;
    }

    SurfaceDesc desc;
    desc.mFlags = SD_CAPS | SD_WIDTH | SD_HEIGHT | SD_PIXELFORMAT;
    desc.mWidth = w;
    desc.mHeight = h;
    desc.mPixelFormat = MakePixelFormat(chosen);
    desc.mCaps = CAPS_TEXTURE;
    if (levels > 1)
    {
        desc.mFlags |= SD_MIPMAPCOUNT;
        desc.mMipMapCount = levels;
        desc.mCaps |= CAPS_MIPMAP | CAPS_COMPLEX;
    }
    const bool asked = width != nullptr && *width == w && height != nullptr && *height == h;
    const SurfaceMemory memory = (flags & TEXTURE_UNCLEARED) && levels == 1 && asked
                                     ? SurfaceMemory::Uninitialised
                                     : SurfaceMemory::Cleared;
    const Result r = display.CreateSurface(desc, texture, memory);
    if (r != Result::Ok)
        return r;
    if (width != nullptr)
        *width = w;
    if (height != nullptr)
        *height = h;
    if (format != nullptr)
        *format = chosen;
    if (mipCount != nullptr)
        *mipCount = (*texture)->GetMipLevelCount();
    return Result::Ok;
}

Result LoadTextureFromMemory(Surface* texture, uint32_t level, const void* pixels,
                             FormatId sourceFormat, uint32_t pitch, const Rect* rect,
                             uint32_t filter)
{
    if (texture == nullptr || pixels == nullptr)
        return Result::InvalidParams;
    if (sourceFormat != FormatId::A8R8G8B8)
        return Result::InvalidPixelFormat;
    if (texture->IsLost() != Result::Ok)
        return Result::SurfaceLost;
    const bool all = level == DEFAULT;
    Surface* first = texture->GetMipLevel(all ? 0 : level);
    if (first == nullptr)
        return Result::InvalidParams;
    const Rect area = rect != nullptr ? *rect : first->GetRect();
    if (!area.IsInside(first->GetWidth(), first->GetHeight()))
        return Result::InvalidRect;
    const uint32_t sw = static_cast<uint32_t>(area.Width());
    const uint32_t sh = static_cast<uint32_t>(area.Height());
    const uint32_t pitchPixels = pitch != 0 ? pitch / 4 : sw;
    if (pitchPixels < sw)
        return Result::InvalidParams;
    // An aligned buffer is read in place; an unaligned one is copied into aligned 32-bit pixels
    // once. Pixels are stored little-endian, as this machine reads words.
    std::vector<uint32_t> copy;
    const uint32_t* image = static_cast<const uint32_t*>(pixels);
    uint32_t imagePitch = pitchPixels;
    if (reinterpret_cast<uintptr_t>(pixels) % alignof(uint32_t) != 0)
    {
        copy.resize(static_cast<size_t>(sw) * sh);
        const uint8_t* bytes = static_cast<const uint8_t*>(pixels);
        for (uint32_t y = 0; y < sh; ++y)
            std::memcpy(copy.data() + static_cast<size_t>(y) * sw,
                        bytes + static_cast<size_t>(y) * pitchPixels * 4,
                        static_cast<size_t>(sw) * 4);
        image = copy.data();
        imagePitch = sw;
    }

    Store(*first, area, image, imagePitch);
    if (!all)
        return Result::Ok;
    std::vector<uint32_t> scaled;
    uint32_t index = 1;
    for (Surface* lvl = texture->GetMipLevel(1); lvl != nullptr;
         lvl = texture->GetMipLevel(++index))
    {
        Rect r{area.left >> index, area.top >> index, 0, 0};
        r.right = r.left + static_cast<int32_t>(std::max(1u, sw >> index));
        r.bottom = r.top + static_cast<int32_t>(std::max(1u, sh >> index));
        r.right = std::min(r.right, static_cast<int32_t>(lvl->GetWidth()));
        r.bottom = std::min(r.bottom, static_cast<int32_t>(lvl->GetHeight()));
        if (r.IsEmpty())
            break;
        const uint32_t dw = static_cast<uint32_t>(r.Width());
        const uint32_t dh = static_cast<uint32_t>(r.Height());
        scaled.assign(static_cast<size_t>(dw) * dh, 0);
        if (filter == FILTER_POINT)
            PointFilter(image, sw, sh, imagePitch, scaled.data(), dw, dh);
        else
            BoxFilter(image, sw, sh, imagePitch, scaled.data(), dw, dh);
        Store(*lvl, r, scaled.data(), dw);
    }
    return Result::Ok;
}

Result LoadTextureFromBlock(Surface* texture, uint8_t*& pixels, size_t bytes, bool alphaZero)
{
    if (texture == nullptr || pixels == nullptr)
        return Result::InvalidParams;
    const PixelFormat& format = texture->GetPixelFormat();
    const bool opaque = format == MakePixelFormat(FormatId::X8R8G8B8);
    const size_t rowBytes = static_cast<size_t>(texture->GetWidth()) * 4;
    if ((opaque || format == MakePixelFormat(FormatId::A8R8G8B8)) && !texture->GetNextMipLevel() &&
        static_cast<size_t>(texture->GetPitch()) == rowBytes &&
        bytes == rowBytes * texture->GetHeight() && texture->IsLost() == Result::Ok &&
        reinterpret_cast<uintptr_t>(pixels) % alignof(uint32_t) == 0 && !texture->IsLocked())
    {
        if (opaque && !alphaZero)
        {
            auto* words = reinterpret_cast<uint32_t*>(pixels);
            DropAlpha(words, words, bytes / 4);
        }
        if (texture->AdoptPixels(pixels, bytes))
        {
            pixels = nullptr;
            return Result::Ok;
        }
    }
    return LoadTextureFromMemory(texture, 0, pixels, FormatId::A8R8G8B8, 0, nullptr, FILTER_POINT);
}

} // namespace sys::display::d3dx
