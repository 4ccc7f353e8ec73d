// Pixel formats described by flags, bit count and channel masks, and the plain-shift conversions
// between any supported format and 32-bit A8R8G8B8.
#pragma once

#include <cstdint>

namespace sys::display
{

// Pixel-format flags (the platform's values).
constexpr uint32_t PF_ALPHAPIXELS = 0x00000001; // mAMask is meaningful
constexpr uint32_t PF_RGB = 0x00000040;         // mRMask, mGMask, mBMask are meaningful
constexpr uint32_t PF_ZBUFFER = 0x00000400;     // a depth format; mZBitMask holds the depth bits
constexpr uint32_t PF_LUMINANCE = 0x00020000;   // never produced by this stand-in

struct PixelFormat
{
    uint32_t mFlags = 0;
    uint32_t mBitCount = 0; // bits per stored pixel: 16, 24 or 32
    uint32_t mRMask = 0;
    uint32_t mGMask = 0;
    uint32_t mBMask = 0;
    uint32_t mAMask = 0;
    uint32_t mZBitMask = 0; // depth formats only

    bool HasAlpha() const { return (mFlags & PF_ALPHAPIXELS) != 0 && mAMask != 0; }
    bool IsRgb() const { return (mFlags & PF_RGB) != 0; }
    bool IsDepth() const { return (mFlags & PF_ZBUFFER) != 0; }
    uint32_t BytesPerPixel() const { return (mBitCount + 7) / 8; }
    bool operator==(const PixelFormat&) const = default;
};

// The formats this stand-in can create.
enum class FormatId
{
    Unknown,
    A8R8G8B8,
    X8R8G8B8,
    R5G6B5,
    X1R5G5B5,
    A1R5G5B5,
    A4R4G4B4,
    R8G8B8, // 24-bit, stored blue, green, red
    D16,
    D32,
};

PixelFormat MakePixelFormat(FormatId id);
// The id of a described format, or Unknown when the description matches none we support.
FormatId IdentifyFormat(const PixelFormat& format);
const char* FormatName(FormatId id); // "A8R8G8B8", ... "Unknown"
bool IsSupportedFormat(const PixelFormat& format);

// Number of set bits, and index of the lowest set bit (32 for 0).
uint32_t CountMaskBits(uint32_t mask);
uint32_t LowestMaskBit(uint32_t mask);

// The per-channel layout worked out once from a format's masks, so per-pixel conversions are
// shifts.
struct ChannelLayout
{
    // Index 0..3 = alpha, red, green, blue. Width 0 means the channel is absent.
    uint32_t mShift[4] = {0, 0, 0, 0};
    uint32_t mBits[4] = {0, 0, 0, 0};
    uint32_t mMask[4] = {0, 0, 0, 0};
    uint32_t mBytesPerPixel = 0;
};
ChannelLayout MakeChannelLayout(const PixelFormat& format);

// A8R8G8B8 -> raw pixel: each channel is truncated, (c >> (8 - n)) << shift. Channels wider than 8
// bits are not supported. Alpha is stored only when the format has an alpha mask; bits outside the
// masks stay 0.
uint32_t PackArgb(const ChannelLayout& layout, uint32_t argb);
uint32_t PackArgb(const PixelFormat& format, uint32_t argb);
// Raw pixel -> A8R8G8B8: ((raw & mask) >> shift) << (8 - n), no bit replication, so a 5-bit 31
// reads as 248. A format without alpha reads alpha 255.
uint32_t UnpackArgb(const ChannelLayout& layout, uint32_t raw);
uint32_t UnpackArgb(const PixelFormat& format, uint32_t raw);

// Load / store one raw pixel of 1 to 4 bytes, little-endian.
inline uint32_t LoadRawPixel(const uint8_t* p, uint32_t bytesPerPixel)
{
    switch (bytesPerPixel)
    {
    case 4:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    case 3:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    case 2:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
    case 1:
        return p[0];
    default:
        return 0;
    }
}

inline void StoreRawPixel(uint8_t* p, uint32_t bytesPerPixel, uint32_t raw)
{
    for (uint32_t i = 0; i < bytesPerPixel; ++i)
        p[i] = static_cast<uint8_t>(raw >> (8 * i));
}

} // namespace sys::display
