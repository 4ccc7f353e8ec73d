// Pixel transfers between surfaces: row copies where the bytes can move unchanged, per-pixel
// conversion through A8R8G8B8 otherwise, nearest-texel stretching and raw fills.
#include "sys/display/blit.h"

#include "sys/display/surface.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace sys::display
{
namespace
{
// 32-bit values go through the C library's wide-character fill, which is as fast as memset;
// wchar_t is a 32-bit unit on this platform.
static_assert(sizeof(wchar_t) == 4, "wmemset fills 32-bit units");

void FillWords(uint8_t* at, uint32_t value, size_t count)
{
    std::wmemset(reinterpret_cast<wchar_t*>(at), static_cast<wchar_t>(value), count);
}

// A 16-bit value stored one unit at a time runs at a fraction of memset's speed: pairs of it go
// through the 32-bit fill, with a lone unit before a start off the 4-byte grid and after an odd
// count.
void FillHalfWords(uint8_t* at, uint16_t value, size_t count)
{
    if (count == 0)
        return;
    if ((reinterpret_cast<uintptr_t>(at) & 2) != 0)
    {
        std::memcpy(at, &value, 2);
        at += 2;
        --count;
    }
    FillWords(at, static_cast<uint32_t>(value) * 0x10001u, count / 2);
    if ((count & 1) != 0)
        std::memcpy(at + (count - 1) * 2, &value, 2);
}

bool SameLayoutIgnoringAlpha(const PixelFormat& a, const PixelFormat& b)
{
    // One may name the spare bits alpha while the other leaves them unused; never two different
    // alpha layouts.
    return a.IsRgb() && b.IsRgb() && a.mBitCount == b.mBitCount && a.mRMask == b.mRMask &&
           a.mGMask == b.mGMask && a.mBMask == b.mBMask &&
           (a.mAMask == b.mAMask || !a.HasAlpha() || !b.HasAlpha());
}

// Moves each channel from one layout to another in one mask and one shift, with the result the
// plain-shift conversion through A8R8G8B8 gives: the top bits of a wider channel are kept, a
// narrower one lands in the top bits with zeros below, a missing source alpha reads as opaque.
class PixelConverter
{
public:
    PixelConverter(const ChannelLayout& dst, const ChannelLayout& src)
    {
        for (int c = 0; c < 4; ++c)
        {
            const uint32_t nd = dst.mBits[c];
            if (nd == 0)
                continue;
            const uint32_t ns = src.mBits[c];
            if (ns == 0)
            {
                // Absent in the source: alpha is opaque, a colour reads as 0.
                if (c == 0)
                    mConstant |= dst.mMask[0];
                continue;
            }
            const uint32_t kept = std::min(nd, ns);
            Channel ch;
            ch.mMask = ((1u << kept) - 1u) << (src.mShift[c] + ns - kept);
            ch.mShift =
                static_cast<int32_t>(dst.mShift[c] + nd) - static_cast<int32_t>(src.mShift[c] + ns);
            mChannels[mCount++] = ch;
        }
    }

    uint32_t operator()(uint32_t raw) const
    {
        uint32_t out = mConstant;
        for (int i = 0; i < mCount; ++i)
        {
            const uint32_t part = raw & mChannels[i].mMask;
            const int32_t shift = mChannels[i].mShift;
            out |= shift >= 0 ? part << shift : part >> -shift;
        }
        return out;
    }

private:
    struct Channel
    {
        uint32_t mMask = 0;
        int32_t mShift = 0;
    };
    Channel mChannels[4];
    int mCount = 0;
    uint32_t mConstant = 0;
};

} // namespace

void ConvertRow(uint8_t* dst, const ChannelLayout& dstLayout, const uint8_t* src,
                const ChannelLayout& srcLayout, int32_t count)
{
    const PixelConverter convert(dstLayout, srcLayout);
    const uint32_t sb = srcLayout.mBytesPerPixel;
    const uint32_t db = dstLayout.mBytesPerPixel;
    if (sb == 4 && db == 2)
    {
        const uint32_t* s32 = reinterpret_cast<const uint32_t*>(src);
        uint16_t* d16 = reinterpret_cast<uint16_t*>(dst);
        for (int32_t i = 0; i < count; ++i)
            d16[i] = static_cast<uint16_t>(convert(s32[i]));
        return;
    }
    if (sb == 2 && db == 4)
    {
        const uint16_t* s16 = reinterpret_cast<const uint16_t*>(src);
        uint32_t* d32 = reinterpret_cast<uint32_t*>(dst);
        for (int32_t i = 0; i < count; ++i)
            d32[i] = convert(s16[i]);
        return;
    }
    for (int32_t i = 0; i < count; ++i)
    {
        const uint32_t raw = LoadRawPixel(src + static_cast<size_t>(i) * sb, sb);
        StoreRawPixel(dst + static_cast<size_t>(i) * db, db, convert(raw));
    }
}

bool CanCopyBytes(const Surface& dst, const Surface& src)
{
    const PixelFormat& a = dst.GetPixelFormat();
    const PixelFormat& b = src.GetPixelFormat();
    if (a == b)
        return true;
    if (a.IsDepth() || b.IsDepth())
        return a.mBitCount == b.mBitCount;
    return SameLayoutIgnoringAlpha(a, b);
}

void CopyPixels(Surface& dst, const Rect& dstRect, const Surface& src, const Rect& srcRect)
{
    const int32_t w = dstRect.Width();
    const int32_t h = dstRect.Height();
    const uint32_t sb = src.GetChannelLayout().mBytesPerPixel;
    const uint32_t db = dst.GetChannelLayout().mBytesPerPixel;
    const bool bytes = CanCopyBytes(dst, src);
    // Rows are walked bottom-up when the destination lies below the source on the same surface,
    // and each row is moved with memmove, so overlapping rectangles copy as through a temporary.
    const bool sameSurface = &dst == &src;
    const bool upward = sameSurface && dstRect.top > srcRect.top;
    // Whole rows of surfaces without padding are one block: a single move.
    if (bytes && !sameSurface && dstRect.left == 0 && srcRect.left == 0 &&
        static_cast<int64_t>(w) * db == dst.GetPitch() && dst.GetPitch() == src.GetPitch())
    {
        std::memcpy(dst.GetRow(static_cast<uint32_t>(dstRect.top)),
                    src.GetRow(static_cast<uint32_t>(srcRect.top)),
                    static_cast<size_t>(dst.GetPitch()) * static_cast<size_t>(h));
        return;
    }
    for (int32_t r = 0; r < h; ++r)
    {
        const int32_t row = upward ? h - 1 - r : r;
        uint8_t* d = dst.GetRow(static_cast<uint32_t>(dstRect.top + row)) +
                     static_cast<size_t>(dstRect.left) * db;
        const uint8_t* s = src.GetRow(static_cast<uint32_t>(srcRect.top + row)) +
                           static_cast<size_t>(srcRect.left) * sb;
        if (bytes && !sameSurface)
            std::memcpy(d, s, static_cast<size_t>(w) * db);
        else if (bytes)
            std::memmove(d, s, static_cast<size_t>(w) * db);
        else
            ConvertRow(d, dst.GetChannelLayout(), s, src.GetChannelLayout(), w);
    }
}

void StretchPixels(Surface& dst, const Rect& dstRect, const Surface& src, const Rect& srcRect)
{
    const int32_t dw = dstRect.Width();
    const int32_t dh = dstRect.Height();
    const int32_t sw = srcRect.Width();
    const int32_t sh = srcRect.Height();
    // A stretch within one surface reads from a copy of the source rectangle.
    std::shared_ptr<Surface> copy;
    const Surface* from = &src;
    Rect fromRect = srcRect;
    if (&dst == &src)
    {
        copy = Surface::Create(static_cast<uint32_t>(sw), static_cast<uint32_t>(sh),
                               src.GetPixelFormat());
        if (!copy)
            return;
        CopyPixels(*copy, copy->GetRect(), src, srcRect);
        from = copy.get();
        fromRect = copy->GetRect();
    }
    const ChannelLayout& sl = from->GetChannelLayout();
    const ChannelLayout& dl = dst.GetChannelLayout();
    const uint32_t sb = sl.mBytesPerPixel;
    const uint32_t db = dl.mBytesPerPixel;
    const bool bytes = CanCopyBytes(dst, *from);
    const PixelConverter convert(dl, sl);
    std::vector<uint32_t> columns(static_cast<size_t>(dw));
    for (int32_t i = 0; i < dw; ++i)
        columns[static_cast<size_t>(i)] =
            static_cast<uint32_t>(fromRect.left + static_cast<int64_t>(i) * sw / dw);
    for (int32_t y = 0; y < dh; ++y)
    {
        const int32_t sy = fromRect.top + static_cast<int32_t>(static_cast<int64_t>(y) * sh / dh);
        const uint8_t* s = from->GetRow(static_cast<uint32_t>(sy));
        uint8_t* d = dst.GetRow(static_cast<uint32_t>(dstRect.top + y)) +
                     static_cast<size_t>(dstRect.left) * db;
        if (bytes && db == 4)
        {
            uint32_t* d32 = reinterpret_cast<uint32_t*>(d);
            const uint32_t* s32 = reinterpret_cast<const uint32_t*>(s);
            for (int32_t i = 0; i < dw; ++i)
                std::memcpy(d32 + i, s32 + columns[static_cast<size_t>(i)], 4);
            continue;
        }
        for (int32_t i = 0; i < dw; ++i)
        {
            uint32_t raw =
                LoadRawPixel(s + static_cast<size_t>(columns[static_cast<size_t>(i)]) * sb, sb);
            if (!bytes)
                raw = convert(raw);
            StoreRawPixel(d + static_cast<size_t>(i) * db, db, raw);
        }
    }
}

void FillPixels(Surface& dst, const Rect& rect, uint32_t raw)
{
    const uint32_t bpp = dst.GetChannelLayout().mBytesPerPixel;
    const int32_t w = rect.Width();
    const size_t rowBytes = static_cast<size_t>(w) * bpp;
    if (bpp < 4)
        raw &= (1u << (8 * bpp)) - 1;
    // Rows without padding between them are one block: one call fills them all.
    const bool contiguous = rect.left == 0 && static_cast<int64_t>(rowBytes) == dst.GetPitch();
    uint8_t* first =
        dst.GetRow(static_cast<uint32_t>(rect.top)) + static_cast<size_t>(rect.left) * bpp;
    auto eachRow = [&](auto fill)
    {
        if (contiguous)
        {
            fill(first, static_cast<size_t>(w) * static_cast<size_t>(rect.Height()));
            return;
        }
        for (int32_t y = rect.top; y < rect.bottom; ++y)
            fill(dst.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(rect.left) * bpp,
                 static_cast<size_t>(w));
    };
    // A value whose bytes are all equal (black, and the far depth 0xFFFF) is a plain memset.
    const uint8_t b0 = static_cast<uint8_t>(raw);
    bool uniform = true;
    for (uint32_t i = 1; i < bpp; ++i)
        uniform = uniform && static_cast<uint8_t>(raw >> (8 * i)) == b0;
    if (uniform)
    {
        eachRow([&](uint8_t* at, size_t pixels) { std::memset(at, b0, pixels * bpp); });
        return;
    }
    if (bpp == 4)
    {
        eachRow([&](uint8_t* at, size_t pixels) { FillWords(at, raw, pixels); });
        return;
    }
    if (bpp == 2)
    {
        eachRow([&](uint8_t* at, size_t pixels)
                { FillHalfWords(at, static_cast<uint16_t>(raw), pixels); });
        return;
    }
    // Otherwise the first row is built pixel by pixel and copied to the others.
    for (int32_t i = 0; i < w; ++i)
        StoreRawPixel(first + static_cast<size_t>(i) * bpp, bpp, raw);
    for (int32_t y = rect.top + 1; y < rect.bottom; ++y)
        std::memcpy(dst.GetRow(static_cast<uint32_t>(y)) + static_cast<size_t>(rect.left) * bpp,
                    first, rowBytes);
}

} // namespace sys::display
