// Pixel-format table and the plain-shift conversions to and from A8R8G8B8.
#include "sys/display/pixel_format.h"

namespace sys::display
{

PixelFormat MakePixelFormat(FormatId id)
{
    PixelFormat f;
    switch (id)
    {
    case FormatId::A8R8G8B8:
        f = {PF_RGB | PF_ALPHAPIXELS, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 0};
        break;
    case FormatId::X8R8G8B8:
        f = {PF_RGB, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, 0};
        break;
    case FormatId::R5G6B5:
        f = {PF_RGB, 16, 0xF800, 0x07E0, 0x001F, 0, 0};
        break;
    case FormatId::X1R5G5B5:
        f = {PF_RGB, 16, 0x7C00, 0x03E0, 0x001F, 0, 0};
        break;
    case FormatId::A1R5G5B5:
        f = {PF_RGB | PF_ALPHAPIXELS, 16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0};
        break;
    case FormatId::A4R4G4B4:
        f = {PF_RGB | PF_ALPHAPIXELS, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0};
        break;
    case FormatId::R8G8B8:
        f = {PF_RGB, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0, 0};
        break;
    case FormatId::D16:
        f = {PF_ZBUFFER, 16, 0, 0, 0, 0, 0xFFFF};
        break;
    case FormatId::D32:
        f = {PF_ZBUFFER, 32, 0, 0, 0, 0, 0xFFFFFFFF};
        break;
    case FormatId::Unknown:
        break;
    }
    return f;
}

FormatId IdentifyFormat(const PixelFormat& format)
{
    static const FormatId kAll[] = {FormatId::A8R8G8B8, FormatId::X8R8G8B8, FormatId::R5G6B5,
                                    FormatId::X1R5G5B5, FormatId::A1R5G5B5, FormatId::A4R4G4B4,
                                    FormatId::R8G8B8,   FormatId::D16,      FormatId::D32};
    // Compare only what the flags make meaningful, so a description with stray masks still matches.
    PixelFormat probe = format;
    if (!(probe.mFlags & PF_ALPHAPIXELS))
        probe.mAMask = 0;
    if (!(probe.mFlags & PF_RGB))
        probe.mRMask = probe.mGMask = probe.mBMask = 0;
    if (!(probe.mFlags & PF_ZBUFFER))
        probe.mZBitMask = 0;
    for (FormatId id : kAll)
    {
        if (MakePixelFormat(id) == probe)
            return id;
    }
    return FormatId::Unknown;
}

const char* FormatName(FormatId id)
{
    switch (id)
    {
    case FormatId::A8R8G8B8:
        return "A8R8G8B8";
    case FormatId::X8R8G8B8:
        return "X8R8G8B8";
    case FormatId::R5G6B5:
        return "R5G6B5";
    case FormatId::X1R5G5B5:
        return "X1R5G5B5";
    case FormatId::A1R5G5B5:
        return "A1R5G5B5";
    case FormatId::A4R4G4B4:
        return "A4R4G4B4";
    case FormatId::R8G8B8:
        return "R8G8B8";
    case FormatId::D16:
        return "D16";
    case FormatId::D32:
        return "D32";
    case FormatId::Unknown:
        break;
    }
    return "Unknown";
}

bool IsSupportedFormat(const PixelFormat& format)
{
    return IdentifyFormat(format) != FormatId::Unknown;
}

uint32_t CountMaskBits(uint32_t mask)
{
    return static_cast<uint32_t>(__builtin_popcount(mask));
}

uint32_t LowestMaskBit(uint32_t mask)
{
    return mask == 0 ? 32 : static_cast<uint32_t>(__builtin_ctz(mask));
}

ChannelLayout MakeChannelLayout(const PixelFormat& format)
{
    ChannelLayout layout;
    const uint32_t masks[4] = {
        format.HasAlpha() ? format.mAMask : 0u, format.IsRgb() ? format.mRMask : 0u,
        format.IsRgb() ? format.mGMask : 0u, format.IsRgb() ? format.mBMask : 0u};
    for (int c = 0; c < 4; ++c)
    {
        uint32_t bits = CountMaskBits(masks[c]);
        if (bits == 0 || bits > 8)
            continue; // absent, or wider than the 8-bit channels we convert through
        layout.mMask[c] = masks[c];
        layout.mShift[c] = LowestMaskBit(masks[c]);
        layout.mBits[c] = bits;
    }
    layout.mBytesPerPixel = format.BytesPerPixel();
    return layout;
}

uint32_t PackArgb(const ChannelLayout& layout, uint32_t argb)
{
    uint32_t raw = 0;
    for (int c = 0; c < 4; ++c)
    {
        if (layout.mBits[c] == 0)
            continue;
        uint32_t value = (argb >> (24 - 8 * c)) & 0xFF;
        raw |= ((value >> (8 - layout.mBits[c])) << layout.mShift[c]) & layout.mMask[c];
    }
    return raw;
}

uint32_t PackArgb(const PixelFormat& format, uint32_t argb)
{
    return PackArgb(MakeChannelLayout(format), argb);
}

uint32_t UnpackArgb(const ChannelLayout& layout, uint32_t raw)
{
    uint32_t argb = layout.mBits[0] == 0 ? 0xFF000000u : 0u;
    for (int c = 0; c < 4; ++c)
    {
        if (layout.mBits[c] == 0)
            continue;
        uint32_t value = ((raw & layout.mMask[c]) >> layout.mShift[c]) << (8 - layout.mBits[c]);
        argb |= value << (24 - 8 * c);
    }
    return argb;
}

uint32_t UnpackArgb(const PixelFormat& format, uint32_t raw)
{
    return UnpackArgb(MakeChannelLayout(format), raw);
}

} // namespace sys::display
