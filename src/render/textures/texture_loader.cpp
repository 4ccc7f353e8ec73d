// The texture store's file loader: options, extension probing, decoding, the automatic and
// explicit alpha masks, surface sizes with the 1024 limit, row compaction and upload.
#include "render/textures/texture_data.h"

#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "render/textures/image_decoders.h"
#include "render/display/platform.h"

#include <bit>
#include <cstring>

namespace
{
constexpr uint32_t kMaxSide = 1024;

enum class TDecoder
{
    None,
    Png,
    Jpeg,
    Jp2
};

// A decoded block, given back with its decoder's release function.
struct TImage
{
    TDecoder mDecoder = TDecoder::None;
    uint8_t* mPixels = nullptr;
    uint32_t mWidth = 0;
    uint32_t mHeight = 0;
    uint32_t mSide = 0;
    bool mAlpha = false;
    bool mAlphaZero = false; // the block's fourth bytes are all zero

    TImage() = default;
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;
    ~TImage()
    {
        switch (mDecoder)
        {
        case TDecoder::Png:
            FreePngPixels(mPixels);
            break;
        case TDecoder::Jpeg:
            FreeJpegPixels(mPixels);
            break;
        case TDecoder::Jp2:
            FreeJp2Pixels(mPixels);
            break;
        default:
            break;
        }
    }

    // `opaque`: a JPEG's fourth bytes are left zero (its texture keeps no alpha).
    bool Load(const TString& name, TDecoder decoder, bool opaque = false)
    {
        mDecoder = decoder;
        mAlphaZero = opaque && decoder == TDecoder::Jpeg;
        bool ok = false;
        int channels = 0;
        switch (decoder)
        {
        case TDecoder::Png:
            ok = PngLoad(name, mPixels, mWidth, mHeight, mSide, channels, mAlpha);
            break;
        case TDecoder::Jpeg:
            ok = mAlphaZero ? JpegLoadWithoutAlpha(name, mPixels, mWidth, mHeight, mSide)
                            : JpegLoad(name, mPixels, mWidth, mHeight, mSide);
            break;
        case TDecoder::Jp2:
            ok = Jp2Load(name, mPixels, mWidth, mHeight, mSide, mAlpha);
            break;
        default:
            break;
        }
        if (!ok)
        {
            mPixels = nullptr;
            if (GetImageDecodeError().Length() != 0)
                Log("Texture: %s could not be read: %s", name.c_str(),
                    GetImageDecodeError().c_str());
        }
        return ok;
    }
};

bool Contains(const TString& text, const char* part)
{
    return text.Find(part) >= 0;
}

uint32_t PowerOfTwoFromOne(uint32_t n)
{
    return n <= 1 ? 1 : std::bit_ceil(n);
}
} // namespace

bool TTextureData::LoadFromFile(const TString& requested, const TString& maskRequested)
{
    TString name = requested;
    TString options;
    const int question = requested.FindChar('?');
    if (question >= 0)
    {
        options = requested.Substr(question + 1);
        name = requested.Substr(0, question);
    }
    if (Contains(options, "slow"))
        mFlags |= kTexPlainSurface | kTexNoSizeLimit;
    if (Contains(options, "simple"))
        mFlags |= kTexPlainSurface;
    if (Contains(options, "alpha"))
    {
        mFlags |= kTexAlpha;
        mFlags &= static_cast<uint8_t>(~kTexAlphaFromImage);
    }
    if (Contains(options, "mipmap"))
        mFlags |= kTexMipmaps;

    if (!::FileExists(name))
    {
        if (Contains(name, ".png") || Contains(name, ".jpg") || Contains(name, ".jp2"))
            return false;
        const TString tail = question >= 0 ? TString("?") + options : TString();
        for (const char* extension : {".png", ".jpg", ".jp2"})
            if (LoadFromFile(name + extension + tail, maskRequested))
                return true;
        return false;
    }
    TString mask = maskRequested;
    if (mask.Length() != 0 && !::FileExists(mask))
    {
        if (Contains(mask, ".png") || Contains(mask, ".jpg"))
            return false;
        for (const char* extension : {".jpg", ".png"})
            if (LoadFromFile(requested, mask + extension))
                return true;
        return false;
    }

    TImage image;
    const TDecoder decoder = Contains(name, ".png")   ? TDecoder::Png
                             : Contains(name, ".jpg") ? TDecoder::Jpeg
                             : Contains(name, ".jp2") ? TDecoder::Jp2
                                                      : TDecoder::None;
    TString automatic;
    if (decoder == TDecoder::Jpeg && IsEnabled("automergemask"))
    {
        automatic = name;
        automatic.Replace(".jpg", ".mask.png");
        if (!::FileExists(automatic))
            automatic = TString();
    }
    // A JPEG whose texture gets no alpha from anywhere is decoded in the opaque layout at once.
    const bool opaque = mask.Length() == 0 && automatic.Length() == 0 && !(mFlags & kTexAlpha);
    if (decoder == TDecoder::None || !image.Load(name, decoder, opaque))
        return false;
    if (automatic.Length() != 0)
    {
        mFlags |= kTexAlpha;
        mFlags &= static_cast<uint8_t>(~kTexAlphaFromImage);
        mask = automatic;
    }
    if (decoder != TDecoder::Jpeg && (mFlags & kTexAlphaFromImage))
    {
        if (image.mAlpha)
            mFlags |= kTexAlpha;
        else
            mFlags &= static_cast<uint8_t>(~kTexAlpha);
    }
    if (mask.Length() != 0)
    {
        TImage maskImage;
        const TDecoder maskDecoder = Contains(mask, ".png")   ? TDecoder::Png
                                     : Contains(mask, ".jpg") ? TDecoder::Jpeg
                                                              : TDecoder::None;
        if (maskDecoder == TDecoder::None || !maskImage.Load(mask, maskDecoder))
            return false;
        if (maskImage.mSide == image.mSide)
        {
            const size_t count = static_cast<size_t>(image.mSide) * image.mSide;
            for (size_t i = 0; i < count; ++i)
                image.mPixels[i * 4 + 3] = maskImage.mPixels[i * 4 + 2];
        }
    }

    TPlatform* platform = TPlatform::Instance();
    uint32_t width = PowerOfTwoFromOne(image.mWidth);
    uint32_t height = PowerOfTwoFromOne(image.mHeight);
    if (!(mFlags & kTexPlainSurface) && platform && platform->NeedsSquareTextures())
        width = height = image.mSide;
    if ((width > kMaxSide || height > kMaxSide) && !(mFlags & kTexNoSizeLimit))
        return false;
    if (width < image.mSide)
    {
        // Rows move in place so that the pitch becomes the surface width.
        for (uint32_t row = 1; row < height; ++row)
            std::memmove(image.mPixels + static_cast<size_t>(row) * width * 4,
                         image.mPixels + static_cast<size_t>(row) * image.mSide * 4,
                         static_cast<size_t>(width) * 4);
    }
    mFileName = requested;
    mMaskName = mask;
    const bool created = CreateForUpload(width, height);
    mImageWidth = image.mWidth;
    mImageHeight = image.mHeight;
    mMarginX = static_cast<int32_t>(width - image.mWidth) / 2;
    mMarginY = static_cast<int32_t>(height - image.mHeight) / 2;
    if (created)
        UploadBlock(width, height, image.mPixels,
                    static_cast<size_t>(image.mSide) * image.mSide * 4, image.mAlphaZero);
    return true;
}
