// TTextureData, the pixel store behind a texture (names, sizes, margins, flags, the file loader),
// and TDxTextureData, its surface on the display stand-in: created directly or through the
// texture helpers, filled, locked, copied, cleared and recreated after a lost display.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/display/dx_error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sys::display
{
class Surface;
}
class TTexture;

// Store flag bits.
enum : uint8_t
{
    kTexRenderTarget = 1u << 0, // a depth buffer is attached at creation
    kTexAlpha = 1u << 1,
    kTexAlphaFromImage = 1u << 2,
    kTexMipmaps = 1u << 3,
    kTexPlainSurface = 1u << 4, // never bound, never a render target
    kTexNoSizeLimit = 1u << 5,  // with kTexPlainSurface: kept in system memory
    kTexCreated = 1u << 7
};

class TTextureData
{
public:
    TTextureData() = default;
    virtual ~TTextureData() = default;
    TTextureData(const TTextureData&) = delete;
    TTextureData& operator=(const TTextureData&) = delete;

    virtual void Release() = 0;
    virtual void Restore() = 0;
    // `pixels`: width x height pixels, bytes blue, green, red, alpha.
    virtual bool Upload(uint32_t width, uint32_t height, const uint8_t* pixels) = 0;
    virtual bool Create(uint32_t width, uint32_t height, bool clear) = 0;
    // Create without a clear, for an Upload of width x height pixels that follows at once: where
    // that upload fills the whole surface, its memory is not cleared first either.
    virtual bool CreateForUpload(uint32_t width, uint32_t height)
    {
        return Create(width, height, false);
    }
    // Upload from a block of `bytes` from std::malloc, which the surface may take as its memory
    // (`block` then null; the caller frees what is left). `alphaZero`: every fourth byte is zero
    // (a texture without alpha needs no pass to clear them).
    virtual bool UploadBlock(uint32_t width, uint32_t height, uint8_t*& block, size_t bytes,
                             bool alphaZero)
    {
        (void)bytes;
        (void)alphaZero;
        return Upload(width, height, block);
    }
    // Copies `rect` (the whole image when null) of this store to (x, y) of the target's surface,
    // or of the back buffer without a target.
    virtual void CopyRect(int x, int y, const TRect* rect, TTexture* target) = 0;
    virtual void Clear() = 0;
    // A 32-bit A8R8G8B8 view: pixels and the pitch in pixels.
    virtual bool Lock(uint32_t*& pixels, int& pitch) = 0;
    virtual void Unlock() = 0;

    // Reads the named image (options after "?", extension probing, mask merge) into a surface.
    bool LoadFromFile(const TString& name, const TString& maskName = TString());

    TString mFileName;
    TString mMaskName;
    uint32_t mImageWidth = 0;
    uint32_t mImageHeight = 0;
    uint32_t mSurfaceWidth = 0;
    uint32_t mSurfaceHeight = 0;
    int32_t mMarginX = 0;
    int32_t mMarginY = 0;
    uint8_t mFlags = 0;
};

class TDxTextureData : public TTextureData
{
public:
    TDxTextureData() = default;
    ~TDxTextureData() override;

    void Release() override;
    void Restore() override;
    bool Upload(uint32_t width, uint32_t height, const uint8_t* pixels) override;
    bool Create(uint32_t width, uint32_t height, bool clear) override;
    bool CreateForUpload(uint32_t width, uint32_t height) override;
    bool UploadBlock(uint32_t width, uint32_t height, uint8_t*& block, size_t bytes,
                     bool alphaZero) override;
    void CopyRect(int x, int y, const TRect* rect, TTexture* target) override;
    void Clear() override;
    bool Lock(uint32_t*& pixels, int& pitch) override;
    void Unlock() override;
    // The image part as blue, green, red, alpha bytes; destination rows `pitch` pixels apart.
    bool CopyToMemory(uint32_t pitch, uint32_t rows, uint32_t* destination);

    const std::shared_ptr<sys::display::Surface>& GetSurface() const { return mSurface; }

    // Bytes of every texture surface alive, and the most there ever were.
    static uint64_t GetTextureMemory();
    // Forgets the alpha format found for the previous device.
    static void ForgetAlphaFormat();

private:
    DxResult CreateDirect(uint32_t width, uint32_t height);
    DxResult CreateThroughHelpers(uint32_t width, uint32_t height);
    void AttachDepthBuffer();
    bool ConvertRegion(uint32_t columns, uint32_t rows, uint32_t pitch, uint32_t* destination);
    void CountSurface(bool add);

    std::shared_ptr<sys::display::Surface> mSurface;
    int32_t mLoadLevel = 0;
    bool mMadeByHelpers = false;
    bool mConvertUploads = false;
    // Set while CreateForUpload runs: the size the coming upload fills.
    uint32_t mUploadWidth = 0;
    uint32_t mUploadHeight = 0;
    std::vector<uint32_t> mShadow;
    bool mHasShadow = false;
    uint64_t mCountedBytes = 0;
};
