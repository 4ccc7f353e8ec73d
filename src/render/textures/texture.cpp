// Textures: the cache keys and requests, created textures, device loss and restore, drawing a
// quad through the renderer with mirroring, origin and culling, and copies.
#include "render/textures/texture.h"

#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "render/display/platform.h"
#include "render/renderer/renderer.h"
#include "sys/display/render_states.h"
#include "sys/display/vertex_formats.h"

#include <algorithm>
#include <cstdint>

namespace
{
std::shared_ptr<TTexture> FindCached(const TString& key)
{
    TAssetManager* manager = GetAssetManager();
    if (!manager)
        return nullptr;
    std::shared_ptr<TAsset> asset = manager->GetAsset(key);
    if (asset && asset->IsKindOf(TTexture::GetClassId()))
        return std::static_pointer_cast<TTexture>(asset);
    return nullptr;
}

void Register(const TString& key, const std::shared_ptr<TTexture>& texture)
{
    if (TAssetManager* manager = GetAssetManager())
        manager->AddAsset(key, texture);
}
} // namespace

TTexture::TTexture() : mData(TPlatform::CreateTextureData()) {}

TTexture::~TTexture()
{
    if (mData->mFileName.Length() == 0)
        if (TAssetManager* manager = GetAssetManager())
            manager->RemoveAsset(CreatedKey());
}

TString TTexture::CreatedKey() const
{
    // The whole address: a cut one could let two live textures share a key.
    return TString::Format("%llx:tex:r",
                           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
}

TString TTexture::FileKey(const TString& name, uint32_t flags, bool plain)
{
    TString key = name;
    key.Replace("\\", "/", kStringReplaceAll);
    if (flags & kTextureAlpha)
        key += ":a";
    if (flags & kTextureMipmaps)
        key += ":m";
    if (plain)
        key += ":s";
    return key + ":tex";
}

std::shared_ptr<TTexture> TTexture::Get(const TString& name, uint32_t flags)
{
    const TString key = FileKey(name, flags, false);
    if (auto cached = FindCached(key))
        return cached;
    auto texture = std::make_shared<TTexture>();
    TTextureData& data = *texture->mData;
    if (flags & kTextureMipmaps)
        data.mFlags |= kTexMipmaps;
    if (flags & kTextureAlpha)
        data.mFlags |= kTexAlpha;
    else if (!(flags & kTextureNoAlpha))
        data.mFlags |= kTexAlphaFromImage;
    Register(key, texture);
    if (!data.LoadFromFile(name))
        return nullptr;
    return texture;
}

std::shared_ptr<TTexture> TTexture::GetWithMask(const TString& name, const TString& maskName,
                                                bool mipmaps)
{
    TString key = name + ":" + maskName;
    if (mipmaps)
        key += ":m";
    key += ":tex";
    if (auto cached = FindCached(key))
        return cached;
    auto texture = std::make_shared<TTexture>();
    TTextureData& data = *texture->mData;
    data.mFlags |= kTexAlpha | (mipmaps ? kTexMipmaps : 0);
    Register(key, texture);
    if (!data.LoadFromFile(name, maskName))
        return nullptr;
    return texture;
}

std::shared_ptr<TTexture> TTexture::GetSimple(const TString& name)
{
    const TString key = FileKey(name, 0, true);
    if (auto cached = FindCached(key))
        return cached;
    auto texture = std::make_shared<TTexture>();
    texture->mData->mFlags |= kTexPlainSurface | kTexAlphaFromImage;
    Register(key, texture);
    if (!texture->mData->LoadFromFile(name))
        return nullptr;
    return texture;
}

std::shared_ptr<TTexture> TTexture::Create(uint32_t width, uint32_t height, bool alpha)
{
    auto texture = std::make_shared<TTexture>();
    texture->mData->mFlags = static_cast<uint8_t>((alpha ? kTexAlpha : 0) | kTexCreated);
    Register(texture->CreatedKey(), texture);
    if (!texture->mData->Create(width, height, true))
        return nullptr;
    return texture;
}

void TTexture::OnDeviceLost()
{
    mData->Release();
}

void TTexture::OnDeviceRestore()
{
    mData->Restore();
}

void TTexture::GetSurfaceSize(uint32_t& width, uint32_t& height) const
{
    width = (mData->mImageWidth + 2 * static_cast<uint32_t>(mData->mMarginX) + 1) & ~1u;
    height = (mData->mImageHeight + 2 * static_cast<uint32_t>(mData->mMarginY) + 1) & ~1u;
}

void TTexture::Draw(const TDrawSpec& spec)
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mData || !renderer || !renderer->InBegin2d() || IsPlainSurface())
        return;
    const TRect source = (spec.mFlags & kDrawSourceRect)
                             ? spec.mSourceRect
                             : TRect(0, 0, static_cast<int32_t>(mData->mImageWidth),
                                     static_cast<int32_t>(mData->mImageHeight));
    const float w = static_cast<float>(source.right - source.left);
    const float h = static_cast<float>(source.bottom - source.top);
    const TVec2 offset = (spec.mFlags & kDrawOrigin) ? TVec2(-spec.mOrigin.x, -spec.mOrigin.y)
                                                     : TVec2(-w / 2, -h / 2);
    TVec2 corners[4] = {offset, offset + TVec2(w, 0), offset + TVec2(w, h), offset + TVec2(0, h)};
    if (spec.mFlags & kDrawMirrorY)
    {
        std::swap(corners[0].y, corners[2].y);
        std::swap(corners[1].y, corners[3].y);
    }
    if (spec.mFlags & kDrawMirrorX)
    {
        std::swap(corners[0].x, corners[1].x);
        std::swap(corners[2].x, corners[3].x);
    }
    const float sw = static_cast<float>(mData->mSurfaceWidth);
    const float sh = static_cast<float>(mData->mSurfaceHeight);
    const TVec2 uvTopLeft(static_cast<float>(source.left) / sw,
                          static_cast<float>(source.top) / sh);
    const TVec2 uvBottomRight(static_cast<float>(source.right) / sw,
                              static_cast<float>(source.bottom) / sh);
    sys::display::LVertex vertices[4];
    BuildQuadVertices(vertices, TVec2(), corners, uvTopLeft, uvBottomRight, spec.mMatrix,
                      spec.mAlpha, spec.mColor.x, spec.mColor.y, spec.mColor.z);
    const TRect clip = renderer->GetClipRect();
    static const TString kCulling("softwaretextureculling");
    if (IsEnabled(kCulling) && clip.left < clip.right)
    {
        const TRect viewport = renderer->GetViewport();
        const float left = static_cast<float>(clip.left - viewport.left);
        const float top = static_cast<float>(clip.top - viewport.top);
        const float right = static_cast<float>(clip.right - viewport.left);
        const float bottom = static_cast<float>(clip.bottom - viewport.top);
        float minX = vertices[0].x, maxX = vertices[0].x;
        float minY = vertices[0].y, maxY = vertices[0].y;
        for (const auto& v : vertices)
        {
            minX = std::min(minX, v.x);
            maxX = std::max(maxX, v.x);
            minY = std::min(minY, v.y);
            maxY = std::max(maxY, v.y);
        }
        if (maxX < left || minX > right || maxY < top || minY > bottom)
            return;
    }
    renderer->SetTexture(std::static_pointer_cast<TTexture>(shared_from_this()));
    if (spec.mBlendMode != kDrawInheritBlend)
        renderer->SetBlendMode(spec.mBlendMode);
    renderer->DrawVertices(sys::display::PT_TRIANGLEFAN, TVertexSet{kVertexColored, vertices, 4});
}

void TTexture::DrawAt(float x, float y, float alpha, float scale, float rotation, uint32_t flags)
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mData || !renderer || !renderer->InBegin2d())
        return;
    TDrawSpec spec(TVec2(x, y), alpha, scale, flags);
    spec.mMatrix.Rotate(rotation);
    Draw(spec);
}

void TTexture::CopyRect(int x, int y, const TRect* rect, TTexture* target)
{
    TRenderer* renderer = TRenderer::Existing();
    if (!mData || (renderer && renderer->InDrawBlock()))
        return;
    if (!rect)
    {
        mData->CopyRect(x, y, nullptr, target);
        return;
    }
    TRect clamped = *rect;
    clamped.left = std::max(clamped.left, 0);
    clamped.top = std::max(clamped.top, 0);
    clamped.right = std::min(clamped.right, static_cast<int32_t>(mData->mImageWidth));
    clamped.bottom = std::min(clamped.bottom, static_cast<int32_t>(mData->mImageHeight));
    mData->CopyRect(x, y, &clamped, target);
}
