// The texture store on the display stand-in: surface creation (direct for render targets and
// plain surfaces, through the texture helpers otherwise, with the alpha-format search and its
// fall-backs), uploads, locks with a converted copy for formats other than A8R8G8B8, copies,
// clears, restore after a lost display, and the count of texture memory.
#include "render/textures/texture_data.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "render/display/platform.h"
#include "render/textures/texture.h"
#include "render/textures/texture_helpers.h"
#include "sys/display/texture_tools.h"

#include <algorithm>

using namespace sys::display;
using texture_helpers::CountBits;
using texture_helpers::LowestBit;
using texture_helpers::NextPowerOfTwo;

namespace
{
constexpr const char* kSource = "dxtexturedata";

struct TAlphaFormatCache
{
    bool mValid = false;
    uint32_t mBitCount = 0;
    PixelFormat mFormat;
};
TAlphaFormatCache gAlphaFormat;
uint64_t gTextureMemory = 0;
uint64_t gMaxTextureMemory = 0;
bool gCopyFastLogged = false;
bool gCopyStretchLogged = false;

TPlatformData* Data()
{
    TPlatform* platform = TPlatform::Instance();
    return platform ? platform->GetData() : nullptr;
}

bool HasDisplay()
{
    TPlatformData* d = Data();
    return d && d->mDirectDraw && d->mDevice && d->mBackBuffer;
}

void PublishTextureMemory()
{
    SetConfig("texture_ram_allocated", TString::Format("%llu", (unsigned long long)gTextureMemory));
    SetConfig("max_texture_ram_allocated",
              TString::Format("%llu", (unsigned long long)gMaxTextureMemory));
}

bool IsPlainArgb(const PixelFormat& f)
{
    return f.mBitCount == 32 && f.mRMask == 0x00FF0000 && f.mGMask == 0x0000FF00 &&
           f.mBMask == 0x000000FF && f.mAMask == 0xFF000000 && f.HasAlpha();
}

// One channel's place in a surface's pixels, worked out once per surface rather than per pixel.
struct TChannel
{
    uint32_t mMask = 0;
    uint32_t mDrop = 8; // 8 - bits: low bits a byte loses
    uint32_t mLowest = 0;
    int mShift = 0; // lowest bit + bits - 8

    explicit TChannel(uint32_t mask) : mMask(mask)
    {
        if (mask == 0)
            return;
        const uint32_t bits = std::min<uint32_t>(CountBits(mask), 8);
        mDrop = 8 - bits;
        mLowest = LowestBit(mask);
        mShift = static_cast<int>(LowestBit(mask) + CountBits(mask)) - 8;
    }
    // (c >> (8 - n)) << s, masked.
    uint32_t Pack(uint32_t c) const { return mMask == 0 ? 0 : ((c >> mDrop) << mLowest) & mMask; }
    // (pixel AND mask) moved so the channel's top bit is bit 7.
    uint32_t Unpack(uint32_t pixel) const
    {
        if (mMask == 0)
            return 0;
        const uint32_t value = pixel & mMask;
        return (mShift >= 0 ? value >> mShift : value << -mShift) & 0xFF;
    }
};
} // namespace

uint64_t TDxTextureData::GetTextureMemory()
{
    return gTextureMemory;
}

void TDxTextureData::ForgetAlphaFormat()
{
    gAlphaFormat = TAlphaFormatCache{};
}

TDxTextureData::~TDxTextureData()
{
    if (mSurface)
    {
        std::shared_ptr<Surface> depth;
        if (Succeeded(mSurface->GetAttachedSurface(CAPS_ZBUFFER, &depth)))
            mSurface->DeleteAttachedSurface(0, depth.get());
    }
    Release();
}

void TDxTextureData::CountSurface(bool add)
{
    if (add)
    {
        mCountedBytes =
            mSurface ? static_cast<uint64_t>(mSurface->GetPitch()) * mSurface->GetHeight() : 0;
        gTextureMemory += mCountedBytes;
        gMaxTextureMemory = std::max(gMaxTextureMemory, gTextureMemory);
    }
    else
    {
        gTextureMemory -= std::min(gTextureMemory, mCountedBytes);
        mCountedBytes = 0;
    }
    PublishTextureMemory();
}

void TDxTextureData::Release()
{
    if (!mSurface)
        return;
    CountSurface(false);
    mSurface.reset();
    mShadow.clear();
    mHasShadow = false;
}

DxResult TDxTextureData::CreateDirect(uint32_t width, uint32_t height)
{
    TPlatformData& d = *Data();
    const PixelFormat screen = d.mBackBuffer->GetPixelFormat();
    const bool renderTarget = (mFlags & kTexRenderTarget) != 0;
    const bool plain = (mFlags & kTexPlainSurface) != 0;
    SurfaceDesc desc;
    desc.mFlags = SD_CAPS | SD_HEIGHT | SD_WIDTH | SD_PIXELFORMAT |
                  (d.mSeparateTextureMemories ? SD_TEXTURESTAGE : 0u);
    desc.mWidth = width;
    desc.mHeight = height;
    desc.mPixelFormat = screen;
    uint32_t kind =
        (plain ? CAPS_OFFSCREENPLAIN : CAPS_TEXTURE) | (renderTarget ? CAPS_3DDEVICE : 0u);
    uint32_t memory = (!d.mContext->IsHardwareDevice() || (plain && (mFlags & kTexNoSizeLimit)))
                          ? CAPS_SYSTEMMEMORY
                          : CAPS_VIDEOMEMORY;
    DirectDraw& dd = *d.mDirectDraw;
    if (memory == CAPS_VIDEOMEMORY)
    {
        uint64_t total = 0, free = 0;
        dd.GetAvailableVidMem(kind | memory, &total, &free);
    }
    if (!(mFlags & kTexAlpha))
    {
        desc.mCaps = kind | memory;
        DxResult hr = dd.CreateSurface(desc, &mSurface);
        if (hr == DxResult::UnsupportedMode)
            return hr;
        if (Failed(hr))
        {
            ReportDxError(hr, kSource, __LINE__);
            memory = memory == CAPS_VIDEOMEMORY ? CAPS_SYSTEMMEMORY : CAPS_VIDEOMEMORY;
            desc.mCaps = kind | memory;
            hr = dd.CreateSurface(desc, &mSurface);
            if (Failed(hr))
                ReportDxError(hr, kSource, __LINE__);
        }
        return hr;
    }

    const bool alphaTargetFailed = renderTarget && d.mContext->HasAlphaTargetFailure();
    DxResult hr = DxResult::Fail;
    if (gAlphaFormat.mValid && gAlphaFormat.mBitCount == screen.mBitCount && !alphaTargetFailed)
    {
        desc.mPixelFormat = gAlphaFormat.mFormat;
        desc.mCaps = kind | memory;
        hr = dd.CreateSurface(desc, &mSurface);
    }
    else
    {
        const uint32_t bits = d.mContext->HasAlphaTargetFailure() ? 32 : screen.mBitCount;
        if (d.mContext->HasAlphaTargetFailure())
            gAlphaFormat = TAlphaFormatCache{};
        d.mDevice->EnumTextureFormats(
            [&](const PixelFormat& f)
            {
                if (!(f.mFlags & PF_ALPHAPIXELS) || !(f.mFlags & PF_RGB) ||
                    (f.mFlags & PF_LUMINANCE) || f.mBitCount != bits)
                    return true;
                if (!gAlphaFormat.mValid ||
                    (CountBits(f.mAMask) > CountBits(gAlphaFormat.mFormat.mAMask) &&
                     CountBits(f.mBMask) >= 3))
                {
                    gAlphaFormat.mValid = true;
                    gAlphaFormat.mBitCount = bits;
                    gAlphaFormat.mFormat = f;
                }
                return true;
            });
    }
    if (Failed(hr))
    {
        // The built format: the screen's plus alpha.
        PixelFormat built = screen;
        built.mFlags |= PF_ALPHAPIXELS;
        if (screen.mBitCount == 16)
        {
            built.mAMask = 0xF000;
            built.mRMask = 0x0F00;
            built.mGMask = 0x00F0;
            built.mBMask = 0x000F;
        }
        else
        {
            built.mBitCount = 32;
            built.mAMask = 0xFF000000;
        }
        desc.mPixelFormat = built;
        desc.mCaps = kind | memory;
        hr = dd.CreateSurface(desc, &mSurface);
        if (Failed(hr))
        {
            desc.mCaps = kind | CAPS_VIDEOMEMORY;
            hr = dd.CreateSurface(desc, &mSurface);
        }
        if (Failed(hr))
        {
            if (renderTarget)
            {
                mFlags &= static_cast<uint8_t>(~kTexRenderTarget);
                return Create(width, height, true) ? DxResult::Ok : hr;
            }
            desc.mPixelFormat = screen;
            desc.mCaps = CAPS_TEXTURE | memory;
            hr = dd.CreateSurface(desc, &mSurface);
        }
    }
    if (Succeeded(hr) && mSurface && !mSurface->GetPixelFormat().HasAlpha())
        Log("SURFACE request FAILED to get DDPF_ALPHAPIXELS.");
    return hr;
}

DxResult TDxTextureData::CreateThroughHelpers(uint32_t width, uint32_t height)
{
    TPlatformData& d = *Data();
    const bool sixteen = d.mBackBuffer->GetPixelFormat().mBitCount == 16 || d.mSixteenBitTextures;
    const bool alpha = (mFlags & kTexAlpha) != 0;
    FormatId format = sixteen ? (alpha ? FormatId::A4R4G4B4 : FormatId::R5G6B5)
                              : (alpha ? FormatId::A8R8G8B8 : FormatId::X8R8G8B8);
    const FormatId asked = format;
    const bool mipmaps = (mFlags & kTexMipmaps) != 0;
    mLoadLevel = mipmaps ? -1 : 0;
    uint32_t w = width;
    uint32_t h = height;
    uint32_t levels = 0;
    DeviceDesc caps;
    d.mDevice->GetCaps(&caps);
    // The helpers would clamp a larger request and leave the image bigger than its surface.
    if (width > caps.mMaxTextureWidth || height > caps.mMaxTextureHeight)
        return DxResult::InvalidParams;
    // Helper uploads store every texel of the area: one covering the surface needs no clear.
    const bool filled = !mConvertUploads && width == mUploadWidth && height == mUploadHeight;
    const uint32_t flags =
        (mipmaps ? 0 : d3dx::TEXTURE_NOMIPMAP) | (filled ? d3dx::TEXTURE_UNCLEARED : 0u);
    DxResult hr =
        d3dx::CreateTexture(*d.mDirectDraw, caps, flags, &w, &h, &format, &mSurface, &levels);
    if (Failed(hr))
        return hr;
    mMarginX += static_cast<int32_t>(w - width) / 2;
    mMarginY += static_cast<int32_t>(h - height) / 2;
    mMadeByHelpers = true;
    if (format != asked && d.mBackBuffer->GetPixelFormat().mBitCount == 32)
    {
        Log("D3DXCreateTexture::CreateSurface: Created a 16 bit texture when requesting 32 bits. "
            "Switching to 16 bit mode");
        d.mSixteenBitTextures = true;
    }
    return hr;
}

void TDxTextureData::AttachDepthBuffer()
{
    TPlatformData& d = *Data();
    std::shared_ptr<Surface> target;
    std::shared_ptr<Surface> screenDepth;
    if (Failed(d.mDevice->GetRenderTarget(&target)) ||
        Failed(target->GetAttachedSurface(CAPS_ZBUFFER, &screenDepth)))
    {
        Log("FAILED to create z-buffer for render surface!");
        return;
    }
    SurfaceDesc desc;
    desc.mFlags = SD_CAPS | SD_WIDTH | SD_HEIGHT | SD_PIXELFORMAT;
    desc.mWidth = mSurface->GetWidth();
    desc.mHeight = mSurface->GetHeight();
    desc.mPixelFormat = screenDepth->GetPixelFormat();
    desc.mCaps = screenDepth->GetCaps() & (CAPS_ZBUFFER | CAPS_SYSTEMMEMORY | CAPS_VIDEOMEMORY);
    std::shared_ptr<Surface> depth;
    if (Failed(d.mDirectDraw->CreateSurface(desc, &depth)))
    {
        Log("FAILED to create z-buffer for render surface!");
        return;
    }
    if (Failed(mSurface->AddAttachedSurface(depth)))
        Log("FAILED to attach z-buffer for render surface!");
}

bool TDxTextureData::Create(uint32_t width, uint32_t height, bool clear)
{
    Release();
    mMarginX = mMarginY = 0;
    mMadeByHelpers = false;
    if (width == 0 || height == 0)
    {
        Log("TDxTextureData::Create: no surface of %ux%u", width, height);
        return false;
    }
    TPlatform* platform = TPlatform::Instance();
    if (!(mFlags & kTexPlainSurface) && platform && platform->NeedsSquareTextures() &&
        width != height)
    {
        const uint32_t side = std::max(NextPowerOfTwo(width), NextPowerOfTwo(height));
        mMarginX = static_cast<int32_t>(side - width) / 2;
        mMarginY = static_cast<int32_t>(side - height) / 2;
        width = height = side;
    }
    mImageWidth = width;
    mImageHeight = height;
    if (!HasDisplay())
    {
        // The surface comes at the next restore; created textures count as made.
        mSurfaceWidth = NextPowerOfTwo(width);
        mSurfaceHeight = NextPowerOfTwo(height);
        return (mFlags & kTexCreated) != 0;
    }
    DxResult hr = (mFlags & (kTexRenderTarget | kTexPlainSurface))
                      ? CreateDirect(width, height)
                      : CreateThroughHelpers(width, height);
    if (hr == DxResult::UnsupportedMode)
    {
        mSurfaceWidth = NextPowerOfTwo(width);
        mSurfaceHeight = NextPowerOfTwo(height);
        return true;
    }
    if (Succeeded(hr) && mSurface)
    {
        mSurfaceWidth = mSurface->GetWidth();
        mSurfaceHeight = mSurface->GetHeight();
        CountSurface(true);
        if (clear)
            Clear();
        if (mFlags & kTexRenderTarget)
        {
            AttachDepthBuffer();
            if (mFlags & kTexAlpha)
            {
                // The trial switch: a 16-bit display that cannot render into an alpha surface
                // says so here, and later alpha render targets take 32-bit formats.
                TPlatformData& d = *Data();
                std::shared_ptr<Surface> previous;
                d.mDevice->GetRenderTarget(&previous);
                if (Failed(d.mDevice->SetRenderTarget(mSurface, 0)) &&
                    d.mBackBuffer->GetPixelFormat().mBitCount == 16)
                    d.mContext->SetAlphaTargetFailure(true);
                d.mDevice->SetRenderTarget(previous, 0);
            }
        }
        return true;
    }
    if (!platform->CheckDevice())
        return true;
    ReportDxError(hr, kSource, __LINE__);
    Release();
    return false;
}

bool TDxTextureData::CreateForUpload(uint32_t width, uint32_t height)
{
    mUploadWidth = width;
    mUploadHeight = height;
    const bool created = Create(width, height, false);
    mUploadWidth = mUploadHeight = 0;
    return created;
}

bool TDxTextureData::UploadBlock(uint32_t width, uint32_t height, uint8_t*& block, size_t bytes,
                                 bool alphaZero)
{
    if (!mSurface || !block || !mMadeByHelpers || mConvertUploads || mLoadLevel != 0 ||
        mSurface->GetWidth() != width || mSurface->GetHeight() != height)
        return Upload(width, height, block);
    const DxResult hr = d3dx::LoadTextureFromBlock(mSurface.get(), block, bytes, alphaZero);
    if (Failed(hr))
        ReportDxError(hr, kSource, __LINE__);
    return true;
}

bool TDxTextureData::Upload(uint32_t width, uint32_t height, const uint8_t* pixels)
{
    if (!mSurface || !pixels)
        return false;
    if (mMadeByHelpers && !mConvertUploads)
    {
        const Rect rect{0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height)};
        const uint32_t level = mLoadLevel == 0 ? 0 : d3dx::DEFAULT;
        DxResult hr = d3dx::LoadTextureFromMemory(
            mSurface.get(), level, pixels, FormatId::A8R8G8B8, width * 4, &rect,
            mLoadLevel != 0 ? d3dx::FILTER_LINEAR : d3dx::FILTER_POINT);
        if (Failed(hr))
            ReportDxError(hr, kSource, __LINE__);
        return true;
    }
    SurfaceDesc desc;
    DxResult hr = mSurface->Lock(nullptr, &desc, LOCK_WAIT);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return false;
    }
    const PixelFormat& f = desc.mPixelFormat;
    const uint32_t bytes = f.mBitCount == 15 ? 2 : f.mBitCount / 8;
    if (bytes >= 2 && bytes <= 4)
    {
        const bool alpha = (mFlags & kTexAlpha) != 0;
        const TChannel red(f.mRMask), green(f.mGMask), blue(f.mBMask), opacity(f.mAMask);
        const uint32_t rows = std::min(mImageHeight, height);
        const uint32_t columns = std::min(mImageWidth, width);
        for (uint32_t y = 0; y < rows; ++y)
        {
            const uint8_t* in = pixels + static_cast<size_t>(y) * width * 4;
            uint8_t* out =
                static_cast<uint8_t*>(desc.mSurface) + static_cast<size_t>(y) * desc.mPitch;
            for (uint32_t x = 0; x < columns; ++x, in += 4, out += bytes)
            {
                const uint32_t value = red.Pack(in[2]) | green.Pack(in[1]) | blue.Pack(in[0]) |
                                       (alpha ? opacity.Pack(in[3]) : f.mAMask);
                StoreRawPixel(out, bytes, value);
            }
        }
    }
    hr = mSurface->Unlock(nullptr);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return false;
    }
    return true;
}

bool TDxTextureData::ConvertRegion(uint32_t columns, uint32_t rows, uint32_t pitch,
                                   uint32_t* destination)
{
    if (!mSurface)
        return false;
    SurfaceDesc desc;
    DxResult hr = mSurface->Lock(nullptr, &desc, LOCK_WAIT);
    if (Failed(hr))
    {
        ReportDxError(hr, kSource, __LINE__);
        return false;
    }
    const PixelFormat& f = desc.mPixelFormat;
    const uint32_t depth = f.mBitCount;
    if (depth != 15 && depth != 16 && depth != 24 && depth != 32)
    {
        mSurface->Unlock(nullptr);
        return false;
    }
    const uint32_t bytes = depth == 15 ? 2 : depth / 8;
    const bool alpha = (mFlags & kTexAlpha) != 0 && depth != 24;
    const TChannel red(f.mRMask), green(f.mGMask), blue(f.mBMask), opacity(f.mAMask);
    rows = std::min(rows, mSurface->GetHeight());
    columns = std::min(columns, mSurface->GetWidth());
    for (uint32_t y = 0; y < rows; ++y)
    {
        const uint8_t* in =
            static_cast<const uint8_t*>(desc.mSurface) + static_cast<size_t>(y) * desc.mPitch;
        uint32_t* out = destination + static_cast<size_t>(y) * pitch;
        for (uint32_t x = 0; x < columns; ++x, in += bytes)
        {
            const uint32_t pixel = LoadRawPixel(in, bytes);
            const uint32_t a = alpha ? opacity.Unpack(pixel) : 255;
            out[x] =
                a << 24 | red.Unpack(pixel) << 16 | green.Unpack(pixel) << 8 | blue.Unpack(pixel);
        }
    }
    mSurface->Unlock(nullptr);
    return true;
}

bool TDxTextureData::CopyToMemory(uint32_t pitch, uint32_t rows, uint32_t* destination)
{
    return ConvertRegion(mImageWidth, std::min(rows, mImageHeight), pitch, destination);
}

bool TDxTextureData::Lock(uint32_t*& pixels, int& pitch)
{
    if (!mSurface)
        return false;
    if (IsPlainArgb(mSurface->GetPixelFormat()))
    {
        SurfaceDesc desc;
        DxResult hr = mSurface->Lock(nullptr, &desc, LOCK_WAIT);
        if (Failed(hr))
        {
            ReportDxError(hr, kSource, __LINE__);
            return false;
        }
        pixels = static_cast<uint32_t*>(desc.mSurface);
        pitch = desc.mPitch / 4;
        return true;
    }
    // The whole surface, not only the image: Unlock writes the copy back.
    mShadow.assign(static_cast<size_t>(mSurfaceWidth) * mSurfaceHeight, 0);
    if (!ConvertRegion(mSurfaceWidth, mSurfaceHeight, mSurfaceWidth, mShadow.data()))
    {
        mShadow.clear();
        return false;
    }
    mHasShadow = true;
    pixels = mShadow.data();
    pitch = static_cast<int>(mSurfaceWidth);
    return true;
}

void TDxTextureData::Unlock()
{
    if (!mSurface)
        return;
    if (!mHasShadow)
    {
        mSurface->Unlock(nullptr);
        return;
    }
    const bool madeByHelpers = mMadeByHelpers;
    mMadeByHelpers = false;
    const bool ok =
        Upload(mSurfaceWidth, mSurfaceHeight, reinterpret_cast<const uint8_t*>(mShadow.data()));
    mMadeByHelpers = madeByHelpers;
    if (!ok)
        if (TPlatform* platform = TPlatform::Instance())
            platform->MarkDirectXBroken();
    mShadow.clear();
    mHasShadow = false;
}

void TDxTextureData::Clear()
{
    if (!mSurface)
        return;
    BltFx fx;
    fx.mFillColor = 0;
    DxResult hr = mSurface->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
    if (hr == DxResult::SurfaceLost)
    {
        mSurface->Restore();
        hr = mSurface->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
    }
    if (Failed(hr))
        ReportDxError(hr, kSource, __LINE__);
}

void TDxTextureData::CopyRect(int x, int y, const TRect* rect, TTexture* target)
{
    TPlatformData* d = Data();
    TPlatform* platform = TPlatform::Instance();
    std::shared_ptr<Surface> destination;
    if (target)
    {
        if (auto* store = dynamic_cast<TDxTextureData*>(target->GetData()))
            destination = store->GetSurface();
    }
    else if (d)
    {
        destination = d->mBackBuffer;
    }
    if (!mSurface || !destination)
    {
        if (platform)
            platform->MarkDirectXBroken();
        return;
    }
    TRect source =
        rect ? *rect
             : TRect(0, 0, static_cast<int32_t>(mImageWidth), static_cast<int32_t>(mImageHeight));
    float scale = 1.0f;
    TApplication* application = TApplication::Get();
    const bool scaled = !target && application && application->GetImpl() &&
                        application->GetImpl()->GetViewportScale(scale) && scale != 1.0f;
    // Cut to both surfaces first, as the copy of the window system did.
    const int w = source.Width();
    const int h = source.Height();
    int dx = scaled ? static_cast<int>(static_cast<float>(x) * scale) : x;
    int dy = scaled ? static_cast<int>(static_cast<float>(y) * scale) : y;
    int dw = scaled ? static_cast<int>(static_cast<float>(w) * scale) : w;
    int dh = scaled ? static_cast<int>(static_cast<float>(h) * scale) : h;
    Rect src{source.left, source.top, source.right, source.bottom};
    Rect dst{dx, dy, dx + dw, dy + dh};
    auto cut =
        [](int32_t& a0, int32_t& a1, int32_t& b0, int32_t& b1, int32_t limitA, int32_t limitB)
    {
        if (a0 < 0)
        {
            b0 -= a0;
            a0 = 0;
        }
        if (b0 < 0)
        {
            a0 -= b0;
            b0 = 0;
        }
        if (a1 > limitA)
        {
            b1 -= a1 - limitA;
            a1 = limitA;
        }
        if (b1 > limitB)
        {
            a1 -= b1 - limitB;
            b1 = limitB;
        }
    };
    if (!scaled)
    {
        cut(src.left, src.right, dst.left, dst.right, static_cast<int32_t>(mSurface->GetWidth()),
            static_cast<int32_t>(destination->GetWidth()));
        cut(src.top, src.bottom, dst.top, dst.bottom, static_cast<int32_t>(mSurface->GetHeight()),
            static_cast<int32_t>(destination->GetHeight()));
    }
    if (src.IsEmpty() || dst.IsEmpty())
        return;
    DxResult hr = scaled ? destination->Blt(&dst, mSurface.get(), &src, BLT_WAIT, nullptr)
                         : destination->BltFast(static_cast<uint32_t>(dst.left),
                                                static_cast<uint32_t>(dst.top), mSurface.get(),
                                                &src, BLTFAST_WAIT);
    if (hr == DxResult::SurfaceLost)
    {
        if (platform)
            platform->MarkDirectXBroken();
        return;
    }
    if (Succeeded(hr))
        return;
    bool& logged = scaled ? gCopyStretchLogged : gCopyFastLogged;
    if (!logged)
    {
        ReportDxError(hr, kSource, __LINE__);
        logged = true;
    }
    // No device contexts here: the copy goes pixel by pixel through the plain conversions.
    for (int32_t row = 0; row < src.Height() && row < dst.Height(); ++row)
        for (int32_t col = 0; col < src.Width() && col < dst.Width(); ++col)
            destination->WritePixel(static_cast<uint32_t>(dst.left + col),
                                    static_cast<uint32_t>(dst.top + row),
                                    mSurface->ReadPixel(static_cast<uint32_t>(src.left + col),
                                                        static_cast<uint32_t>(src.top + row)));
}

void TDxTextureData::Restore()
{
    TPlatform* platform = TPlatform::Instance();
    if (mFileName.Length() == 0)
    {
        if (!Create(mImageWidth, mImageHeight, true))
        {
            Log("TDxTextureData::Restore: Failed to restore %dx%d texture (%d,%d)",
                static_cast<int>(mImageWidth), static_cast<int>(mImageHeight),
                static_cast<int>(mSurfaceWidth), static_cast<int>(mSurfaceHeight));
            if (platform)
                platform->MarkDirectXBrokenThrottled();
        }
        return;
    }
    const TString file = mFileName;
    const TString mask = mMaskName;
    if (mask.Length() == 0)
    {
        if (!LoadFromFile(file))
        {
            Log("TDxTextureData::Restore: Failed to restore from file %s.", file.c_str());
            if (texture_helpers::FileExists(file) && platform)
                platform->MarkDirectXBrokenThrottled();
        }
        return;
    }
    if (!LoadFromFile(file, mask))
    {
        Log("TDxTextureData::Restore: Failed to restore from file %s and %s.", file.c_str(),
            mask.c_str());
        if (texture_helpers::FileExists(file) && texture_helpers::FileExists(mask) && platform)
            platform->MarkDirectXBrokenThrottled();
    }
}
