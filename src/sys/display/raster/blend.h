// Byte arithmetic of the pixel pipeline: products of 0..255 values, the frame-buffer blend with
// the device's factor pairs on all four bytes, and the compare functions of the alpha and depth
// tests.
#pragma once

#include "sys/display/render_states.h"

#include <cstdint>

namespace sys::display
{

// x / 255 rounded to nearest; exact for every sum of two byte products.
inline uint32_t Div255(uint32_t x)
{
    return (x + 127) / 255;
}

// a * b / 255 rounded: 255 is the identity, 0 absorbs.
inline uint32_t Mul255(uint32_t a, uint32_t b)
{
    return Div255(a * b);
}

inline uint32_t ChannelOf(uint32_t argb, int shift)
{
    return (argb >> shift) & 0xFF;
}

// Each byte of a and b multiplied (MODULATE of two A8R8G8B8 values).
inline uint32_t ModulateArgb(uint32_t a, uint32_t b)
{
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
        out |= Mul255(ChannelOf(a, s), ChannelOf(b, s)) << s;
    return out;
}

// Factor for one channel (shift 0 blue .. 24 alpha) of the source or destination term.
inline uint32_t BlendFactorValue(BlendFactor f, uint32_t src, uint32_t dst, int shift)
{
    switch (f)
    {
    case BLEND_ZERO:
        return 0;
    case BLEND_ONE:
        return 255;
    case BLEND_SRCCOLOR:
        return ChannelOf(src, shift);
    case BLEND_INVSRCCOLOR:
        return 255 - ChannelOf(src, shift);
    case BLEND_SRCALPHA:
        return src >> 24;
    case BLEND_INVSRCALPHA:
        return 255 - (src >> 24);
    case BLEND_DESTALPHA:
        return dst >> 24;
    case BLEND_INVDESTALPHA:
        return 255 - (dst >> 24);
    case BLEND_DESTCOLOR:
        return ChannelOf(dst, shift);
    case BLEND_INVDESTCOLOR:
        return 255 - ChannelOf(dst, shift);
    case BLEND_SRCALPHASAT:
    {
        if (shift == 24)
            return 255;
        uint32_t a = src >> 24;
        uint32_t inv = 255 - (dst >> 24);
        return a < inv ? a : inv;
    }
    }
    return 0;
}

// out = src * srcFactor + dst * destFactor on blue, green, red and alpha alike, clamped to 255.
// One rounding per channel, so factor pairs that sum to 255 reproduce either input exactly.
inline uint32_t BlendArgb(uint32_t src, uint32_t dst, BlendFactor srcFactor, BlendFactor destFactor)
{
    uint32_t out = 0;
    for (int s = 0; s < 32; s += 8)
    {
        uint32_t v = ChannelOf(src, s) * BlendFactorValue(srcFactor, src, dst, s) +
                     ChannelOf(dst, s) * BlendFactorValue(destFactor, src, dst, s);
        v = Div255(v);
        out |= (v > 255 ? 255 : v) << s;
    }
    return out;
}

// The four bytes of a colour spread into 16-bit lanes of a 64-bit word, and back, so that byte
// products are computed for all channels at once.
inline uint64_t ExpandLanes(uint32_t c)
{
    uint64_t x = c;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    return (x | x << 8) & 0x00FF00FF00FF00FFull;
}

inline uint32_t CompactLanes(uint64_t x)
{
    x &= 0x00FF00FF00FF00FFull;
    x = (x | x >> 8) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>(x | x >> 16);
}

// Weighted mix of two colours in lanes, weight f of b in 1/256, rounded.
inline uint64_t LerpLanes(uint64_t a, uint64_t b, uint32_t f)
{
    return ((a * (256 - f) + b * f + 0x0080008000800080ull) >> 8) & 0x00FF00FF00FF00FFull;
}

// Each lane (at most 65025) divided by 255, rounded; the same values as Div255.
inline uint64_t Div255Lanes(uint64_t x)
{
    x += 0x0080008000800080ull;
    return ((x + ((x >> 8) & 0x00FF00FF00FF00FFull)) >> 8) & 0x00FF00FF00FF00FFull;
}

// Lanes of at most 510 clamped to 255.
inline uint64_t SaturateLanes(uint64_t x)
{
    uint64_t over = ((x >> 8) & 0x0001000100010001ull) * 0xFF;
    return (x | over) & 0x00FF00FF00FF00FFull;
}

// The common source-over blend, SRCALPHA / INVSRCALPHA, for all four bytes at once.
inline uint32_t BlendSrcAlpha(uint32_t src, uint32_t dst)
{
    uint32_t a = src >> 24;
    return CompactLanes(Div255Lanes(ExpandLanes(src) * a + ExpandLanes(dst) * (255 - a)));
}

// Additive SRCALPHA / ONE, saturating.
inline uint32_t BlendSrcAlphaOne(uint32_t src, uint32_t dst)
{
    uint32_t a = src >> 24;
    return CompactLanes(SaturateLanes(Div255Lanes(ExpandLanes(src) * a) + ExpandLanes(dst)));
}

inline bool CompareValues(CompareFunc func, uint32_t value, uint32_t reference)
{
    switch (func)
    {
    case CMP_NEVER:
        return false;
    case CMP_LESS:
        return value < reference;
    case CMP_EQUAL:
        return value == reference;
    case CMP_LESSEQUAL:
        return value <= reference;
    case CMP_GREATER:
        return value > reference;
    case CMP_NOTEQUAL:
        return value != reference;
    case CMP_GREATEREQUAL:
        return value >= reference;
    case CMP_ALWAYS:
        return true;
    }
    return true;
}

} // namespace sys::display
