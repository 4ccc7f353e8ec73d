// TTexture, the drawable image asset: file textures cached under keys made from the name and the
// request, created textures for render targets, locking, drawing through the renderer and copying.
#pragma once

#include "platform/files/asset.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "render/textures/texture_data.h"

#include <cstdint>
#include <memory>

// Request flags of TTexture::Get.
enum : uint32_t
{
    kTextureMipmaps = 1u << 0,
    kTextureAlpha = 1u << 1,
    kTextureNoAlpha = 1u << 2
};

class TTexture : public TAsset
{
public:
    // Empty when the image cannot be had.
    static std::shared_ptr<TTexture> Get(const TString& name, uint32_t flags);
    static std::shared_ptr<TTexture> GetWithMask(const TString& name, const TString& maskName,
                                                 bool mipmaps);
    // A plain surface, read with Lock and never drawn (cursor images).
    static std::shared_ptr<TTexture> GetSimple(const TString& name);
    static std::shared_ptr<TTexture> Create(uint32_t width, uint32_t height, bool alpha);
    // The cache key of a file request.
    static TString FileKey(const TString& name, uint32_t flags, bool plain);

    TTexture();
    ~TTexture() override;

    const char* GetClassName() const override { return "TTexture"; }
    bool IsKindOf(TAssetClassId id) const override
    {
        return id == GetClassId() || TAsset::IsKindOf(id);
    }
    static TAssetClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    void OnDeviceLost() override;
    void OnDeviceRestore() override;

    virtual void Draw(const TDrawSpec& spec);
    virtual void DrawAt(float x, float y, float alpha, float scale, float rotation, uint32_t flags);
    virtual void CopyRect(int x, int y, const TRect* rect, TTexture* target);
    virtual uint32_t GetWidth() const { return mData->mImageWidth; }
    virtual uint32_t GetHeight() const { return mData->mImageHeight; }

    bool HasAlpha() const { return (mData->mFlags & kTexAlpha) != 0; }
    bool IsPlainSurface() const { return (mData->mFlags & kTexPlainSurface) != 0; }
    void GetSurfaceSize(uint32_t& width, uint32_t& height) const;
    bool Lock(uint32_t*& pixels, int& pitch) { return mData->Lock(pixels, pitch); }
    void Unlock() { mData->Unlock(); }
    void Clear() { mData->Clear(); }
    TTextureData* GetData() const { return mData.get(); }

private:
    TString CreatedKey() const;

    std::unique_ptr<TTextureData> mData;
};
