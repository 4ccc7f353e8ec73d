// What the display stand-in reports about itself: adapter identity, driver caps, display modes,
// the rasteriser's device description and the formats it offers. Tests override any of it through
// DisplayConfig to drive the display code's fall-back paths.
#pragma once

#include "sys/display/pixel_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sys::display
{

struct Guid
{
    uint32_t mData[4] = {0, 0, 0, 0};
    bool operator==(const Guid&) const = default;
};

// Device capability bits (the platform's values).
constexpr uint32_t DEVCAPS_TLVERTEXSYSTEMMEMORY = 0x00000040;
constexpr uint32_t DEVCAPS_EXECUTESYSTEMMEMORY = 0x00000010;
constexpr uint32_t DEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
constexpr uint32_t DEVCAPS_TEXTUREVIDEOMEMORY = 0x00000200;
constexpr uint32_t DEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
constexpr uint32_t DEVCAPS_CANRENDERAFTERFLIP = 0x00000800;
constexpr uint32_t DEVCAPS_DRAWPRIMITIVES2 = 0x00002000;
constexpr uint32_t DEVCAPS_SEPARATETEXTUREMEMORIES = 0x00004000;
constexpr uint32_t DEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
constexpr uint32_t DEVCAPS_HWRASTERIZATION = 0x00080000;
// Shading caps.
constexpr uint32_t SHADECAPS_COLORFLATRGB = 0x00000002;
constexpr uint32_t SHADECAPS_COLORGOURAUDRGB = 0x00000008;
constexpr uint32_t SHADECAPS_SPECULARGOURAUDRGB = 0x00000200;
constexpr uint32_t SHADECAPS_ALPHAGOURAUDBLEND = 0x00004000;
// Texture caps.
constexpr uint32_t TEXTURECAPS_PERSPECTIVE = 0x00000001;
constexpr uint32_t TEXTURECAPS_POW2 = 0x00000002;
constexpr uint32_t TEXTURECAPS_ALPHA = 0x00000004;
constexpr uint32_t TEXTURECAPS_SQUAREONLY = 0x00000020;
// Texture addressing modes a device samples.
constexpr uint32_t TEXTUREADDRESSCAPS_WRAP = 0x00000001;
constexpr uint32_t TEXTUREADDRESSCAPS_MIRROR = 0x00000002;
constexpr uint32_t TEXTUREADDRESSCAPS_CLAMP = 0x00000004;
// Render depths a device supports.
constexpr uint32_t BD_8 = 0x00000800;
constexpr uint32_t BD_16 = 0x00000400;
constexpr uint32_t BD_24 = 0x00000200;
constexpr uint32_t BD_32 = 0x00000100;

// Capabilities of one primitive kind (lines or triangles).
struct PrimitiveCaps
{
    uint32_t mMiscCaps = 0;
    uint32_t mRasterCaps = 0;
    uint32_t mZCmpCaps = 0;
    uint32_t mSrcBlendCaps = 0;
    uint32_t mDestBlendCaps = 0;
    uint32_t mAlphaCmpCaps = 0;
    uint32_t mShadeCaps = 0;
    uint32_t mTextureCaps = 0;
    uint32_t mTextureFilterCaps = 0;
    uint32_t mTextureBlendCaps = 0;
    uint32_t mTextureAddressCaps = 0;
};

// A rendering device as enumeration and GetCaps describe it.
struct DeviceDesc
{
    std::string mDescription;
    std::string mName;
    Guid mDeviceGuid;
    uint32_t mDevCaps = 0;
    PrimitiveCaps mLineCaps;
    PrimitiveCaps mTriCaps;
    uint32_t mRenderBitDepth = 0;  // BD_ bits
    uint32_t mZBufferBitDepth = 0; // BD_ bits
    uint32_t mMinTextureWidth = 1;
    uint32_t mMinTextureHeight = 1;
    uint32_t mMaxTextureWidth = 0;
    uint32_t mMaxTextureHeight = 0;
    uint32_t mMaxTextureRepeat = 0;
    uint32_t mMaxTextureAspectRatio = 0;
    uint32_t mMaxAnisotropy = 1;
    uint32_t mMaxActiveLights = 0;
    uint32_t mMaxTextureBlendStages = 0;
    uint32_t mMaxSimultaneousTextures = 0;
};

// The most vertices one DrawPrimitive call takes; a point list draws that many primitives.
constexpr uint32_t kMaxDrawVertices = 65536;

// The adapter's identity (GetDeviceIdentifier).
struct DeviceIdentifier
{
    std::string mDriver;
    std::string mDescription;
    uint32_t mDriverVersionHigh = 0;
    uint32_t mDriverVersionLow = 0;
    uint32_t mVendorId = 0;
    uint32_t mDeviceId = 0;
    uint32_t mSubSysId = 0;
    uint32_t mRevision = 0;
    Guid mDeviceIdentifier;
};

// Driver caps of the display object (GetCaps); only what callers read.
struct DisplayCaps
{
    uint32_t mCaps = 0;
    uint32_t mCaps2 = 0;
    uint32_t mSurfaceCaps = 0;
    uint64_t mVidMemTotal = 0;
    uint64_t mVidMemFree = 0;
};

struct DisplayMode
{
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mBitCount = 0;
    uint32_t mRefreshRate = 0;
    bool operator==(const DisplayMode&) const = default;
};

// The pixel format of a display mode of `bits` (32: X8R8G8B8, 24: R8G8B8, 16: R5G6B5, 15:
// X1R5G5B5).
PixelFormat DisplayFormatFor(uint32_t bits);

// Everything the stand-in reports. Read when a display object is created.
struct DisplayConfig
{
    uint32_t mDesktopWidth = 0; // 0: ask the video driver (1024 x 768 when there is none)
    uint32_t mDesktopHeight = 0;
    uint32_t mDesktopBitCount = 32;
    int32_t mDesktopColors = -1; // palette size of the desktop; -1 above 8 bits
    uint32_t mMonitorFrequency = 60;
    uint32_t mAdapterCount = 1;           // adapters DirectDrawEnumerate walks
    uint64_t mVideoMemory = 256ull << 20; // budget shared by every non-system-memory surface
    std::vector<DisplayMode> mModes;      // empty: the standard list for the desktop size
    DeviceIdentifier mIdentifier;
    std::vector<DeviceDesc> mDevices; // in enumeration order
    std::vector<PixelFormat> mZBufferFormats;
    std::vector<PixelFormat> mTextureFormats;
};

// The defaults: one software adapter, one hardware-flagged transform-and-lighting rasteriser,
// maximum texture 4096 with aspect ratio 4096, depth 16 and 32, the texture formats the display
// code asks for, 256 MiB of video memory.
DisplayConfig DefaultDisplayConfig();
// The standard mode list: 640x480, 800x600, 1024x768 and the desktop size, at 16 and 32 bits.
std::vector<DisplayMode> StandardModes(uint32_t desktopWidth, uint32_t desktopHeight);

// The configuration display objects are created with; tests replace it and reset it afterwards.
DisplayConfig& GetDisplayConfig();
void SetDisplayConfig(const DisplayConfig& config);
void ResetDisplayConfig();
// The desktop size from the video driver when it runs, else 1024 x 768.
void ResolveDesktopSize(uint32_t* width, uint32_t* height);
// What the screen's device context reports: palette colours (-1 above 8 bits), width and height,
// from the configuration display objects are created with.
void GetDesktopDeviceCaps(int32_t* colors, uint32_t* width, uint32_t* height);

// What a machine summary reports of the drawing device: the first device of the configuration.
struct DrawingDeviceSummary
{
    uint32_t mMaxTextureWidth = 0;
    uint32_t mMaxTextureHeight = 0;
    uint32_t mMaxSimultaneousTextures = 0;
    uint32_t mMaxPrimitiveCount = 0;  // of one draw call
    uint32_t mTextureAddressCaps = 0; // TEXTUREADDRESSCAPS_ bits of triangles
};
// False when the configuration describes no device.
bool DescribeDrawingDevice(DrawingDeviceSummary* summary);

// The driver caps and device description as fixed-size records (little-endian 32-bit fields in
// declaration order, GUIDs as four words, zero-padded): the sizes the platform's structures had.
constexpr size_t kDisplayCapsRecordSize = 380;
constexpr size_t kDeviceDescRecordSize = 236;
std::vector<uint8_t> DisplayCapsRecord(const DisplayCaps& caps);
std::vector<uint8_t> DeviceDescRecord(const DeviceDesc& desc);

} // namespace sys::display
