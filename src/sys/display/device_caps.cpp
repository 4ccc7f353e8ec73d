// The stand-in's default description of itself and the process-wide configuration tests replace.
#include "sys/display/device_caps.h"

#include <SDL.h>

namespace sys::display
{
namespace
{
DisplayConfig* gConfig = nullptr;

DeviceDesc DefaultDevice()
{
    DeviceDesc d;
    d.mDescription = "Software rasteriser with transform and lighting";
    d.mName = "Memory Surface Rasteriser";
    d.mDeviceGuid = Guid{{0x6d77'7264, 0x0001'0007, 0x7261'7374, 0x6572'0001}};
    d.mDevCaps = DEVCAPS_HWRASTERIZATION | DEVCAPS_HWTRANSFORMANDLIGHT | DEVCAPS_DRAWPRIMTLVERTEX |
                 DEVCAPS_DRAWPRIMITIVES2 | DEVCAPS_TEXTUREVIDEOMEMORY |
                 DEVCAPS_TEXTURESYSTEMMEMORY | DEVCAPS_CANRENDERAFTERFLIP |
                 DEVCAPS_TLVERTEXSYSTEMMEMORY | DEVCAPS_EXECUTESYSTEMMEMORY;
    PrimitiveCaps p;
    p.mShadeCaps = SHADECAPS_COLORFLATRGB | SHADECAPS_COLORGOURAUDRGB |
                   SHADECAPS_SPECULARGOURAUDRGB | SHADECAPS_ALPHAGOURAUDBLEND;
    p.mTextureCaps = TEXTURECAPS_PERSPECTIVE | TEXTURECAPS_POW2 | TEXTURECAPS_ALPHA;
    // The sampler wraps, mirrors and clamps; border addressing is sampled as a clamp, so it is
    // not claimed.
    p.mTextureAddressCaps =
        TEXTUREADDRESSCAPS_WRAP | TEXTUREADDRESSCAPS_MIRROR | TEXTUREADDRESSCAPS_CLAMP;
    d.mLineCaps = p;
    d.mTriCaps = p;
    // Every depth a display mode can have: the rasteriser writes 16-, 24- and 32-bit targets.
    d.mRenderBitDepth = BD_16 | BD_24 | BD_32;
    d.mZBufferBitDepth = BD_16 | BD_32;
    d.mMaxTextureWidth = 4096;
    d.mMaxTextureHeight = 4096;
    d.mMaxTextureRepeat = 8192;
    d.mMaxTextureAspectRatio = 4096;
    d.mMaxActiveLights = 8;
    d.mMaxTextureBlendStages = 8;
    d.mMaxSimultaneousTextures = 1;
    return d;
}
} // namespace

PixelFormat DisplayFormatFor(uint32_t bits)
{
    switch (bits)
    {
    case 16:
        return MakePixelFormat(FormatId::R5G6B5);
    case 15:
        return MakePixelFormat(FormatId::X1R5G5B5);
    case 24:
        return MakePixelFormat(FormatId::R8G8B8);
    default:
        return MakePixelFormat(FormatId::X8R8G8B8);
    }
}

std::vector<DisplayMode> StandardModes(uint32_t desktopWidth, uint32_t desktopHeight)
{
    std::vector<DisplayMode> modes;
    const uint32_t sizes[4][2] = {
        {640, 480}, {800, 600}, {1024, 768}, {desktopWidth, desktopHeight}};
    for (const auto& size : sizes)
    {
        for (uint32_t bits : {16u, 32u})
        {
            DisplayMode mode{size[0], size[1], bits, 60};
            bool known = false;
            for (const auto& m : modes)
                known = known || m == mode;
            if (!known && size[0] != 0 && size[1] != 0)
                modes.push_back(mode);
        }
    }
    return modes;
}

DisplayConfig DefaultDisplayConfig()
{
    DisplayConfig c;
    c.mIdentifier.mDriver = "memory-display";
    c.mIdentifier.mDescription = "Software display adapter";
    c.mIdentifier.mDriverVersionHigh = 0x00010000;
    c.mIdentifier.mDriverVersionLow = 0x00000001;
    c.mIdentifier.mDeviceIdentifier = Guid{{0x6d77'6164, 0x0001'0000, 0x6461'7074, 0x0000'0001}};
    c.mDevices.push_back(DefaultDevice());
    c.mZBufferFormats = {MakePixelFormat(FormatId::D16), MakePixelFormat(FormatId::D32)};
    c.mTextureFormats = {MakePixelFormat(FormatId::A8R8G8B8), MakePixelFormat(FormatId::X8R8G8B8),
                         MakePixelFormat(FormatId::A4R4G4B4), MakePixelFormat(FormatId::A1R5G5B5),
                         MakePixelFormat(FormatId::R5G6B5),   MakePixelFormat(FormatId::X1R5G5B5)};
    return c;
}

DisplayConfig& GetDisplayConfig()
{
    if (gConfig == nullptr)
        gConfig = new DisplayConfig(DefaultDisplayConfig());
    return *gConfig;
}

void SetDisplayConfig(const DisplayConfig& config)
{
    GetDisplayConfig() = config;
}

void ResetDisplayConfig()
{
    GetDisplayConfig() = DefaultDisplayConfig();
}

// Desktop size from the video driver when it runs, for configurations that leave it at 0.
void ResolveDesktopSize(uint32_t* width, uint32_t* height)
{
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0 && SDL_GetDesktopDisplayMode(0, &mode) == 0 &&
        mode.w > 0 && mode.h > 0)
    {
        *width = static_cast<uint32_t>(mode.w);
        *height = static_cast<uint32_t>(mode.h);
        return;
    }
    *width = 1024;
    *height = 768;
}

bool DescribeDrawingDevice(DrawingDeviceSummary* summary)
{
    const DisplayConfig& config = GetDisplayConfig();
    if (config.mDevices.empty())
        return false;
    const DeviceDesc& device = config.mDevices.front();
    summary->mMaxTextureWidth = device.mMaxTextureWidth;
    summary->mMaxTextureHeight = device.mMaxTextureHeight;
    summary->mMaxSimultaneousTextures = device.mMaxSimultaneousTextures;
    summary->mMaxPrimitiveCount = kMaxDrawVertices;
    summary->mTextureAddressCaps = device.mTriCaps.mTextureAddressCaps;
    return true;
}

void GetDesktopDeviceCaps(int32_t* colors, uint32_t* width, uint32_t* height)
{
    const DisplayConfig& config = GetDisplayConfig();
    *colors = config.mDesktopColors;
    *width = config.mDesktopWidth;
    *height = config.mDesktopHeight;
    if (*width == 0 || *height == 0)
        ResolveDesktopSize(width, height);
}

namespace
{
// Appends little-endian 32-bit words to a record of fixed size; words past the end are dropped.
class RecordWriter
{
public:
    explicit RecordWriter(size_t size) : mBytes(size, 0) {}
    void Word(uint32_t value)
    {
        for (int i = 0; i < 4; ++i, ++mAt)
        {
            if (mAt < mBytes.size())
                mBytes[mAt] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
    void Wide(uint64_t value)
    {
        Word(static_cast<uint32_t>(value));
        Word(static_cast<uint32_t>(value >> 32));
    }
    void Id(const Guid& guid)
    {
        for (uint32_t word : guid.mData)
            Word(word);
    }
    void Primitive(const PrimitiveCaps& p)
    {
        for (uint32_t word : {p.mMiscCaps, p.mRasterCaps, p.mZCmpCaps, p.mSrcBlendCaps,
                              p.mDestBlendCaps, p.mAlphaCmpCaps, p.mShadeCaps, p.mTextureCaps,
                              p.mTextureFilterCaps, p.mTextureBlendCaps, p.mTextureAddressCaps})
            Word(word);
    }
    std::vector<uint8_t> Take() { return std::move(mBytes); }

private:
    std::vector<uint8_t> mBytes;
    size_t mAt = 0;
};
} // namespace

std::vector<uint8_t> DisplayCapsRecord(const DisplayCaps& caps)
{
    RecordWriter out(kDisplayCapsRecordSize);
    out.Word(static_cast<uint32_t>(kDisplayCapsRecordSize));
    out.Word(caps.mCaps);
    out.Word(caps.mCaps2);
    out.Word(caps.mSurfaceCaps);
    out.Wide(caps.mVidMemTotal);
    out.Wide(caps.mVidMemFree);
    return out.Take();
}

std::vector<uint8_t> DeviceDescRecord(const DeviceDesc& desc)
{
    RecordWriter out(kDeviceDescRecordSize);
    out.Word(desc.mDevCaps);
    out.Primitive(desc.mLineCaps);
    out.Primitive(desc.mTriCaps);
    for (uint32_t word :
         {desc.mRenderBitDepth, desc.mZBufferBitDepth, desc.mMinTextureWidth,
          desc.mMinTextureHeight, desc.mMaxTextureWidth, desc.mMaxTextureHeight,
          desc.mMaxTextureRepeat, desc.mMaxTextureAspectRatio, desc.mMaxAnisotropy,
          desc.mMaxActiveLights, desc.mMaxTextureBlendStages, desc.mMaxSimultaneousTextures})
        out.Word(word);
    out.Id(desc.mDeviceGuid);
    return out.Take();
}

} // namespace sys::display
