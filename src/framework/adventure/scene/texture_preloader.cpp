// The preloader's name lists and its sliced loading through the texture caches.
#include "framework/adventure/scene/texture_preloader.h"

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "platform/shell/application.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"

TexturePreloader::TexturePreloader(Clock clock) : mClock(clock != nullptr ? clock : &GetTimer) {}

void TexturePreloader::Fill(const GameplayScene& scene)
{
    mTextureNames = scene.GetExtraTextureNames();
    mAnimationNames = scene.GetExtraAnimationNames();
    for (const auto& entity : scene.GetEntities())
    {
        std::vector<TString> names = entity->GetTextureNames();
        mTextureNames.insert(mTextureNames.end(), names.begin(), names.end());
        names = entity->GetAnimationNames();
        mAnimationNames.insert(mAnimationNames.end(), names.begin(), names.end());
    }
    mKept.clear();
    mTextureCursor = 0;
    mAnimationCursor = 0;
}

bool TexturePreloader::Step()
{
    const uint32_t start = mClock();
    while (!IsDone())
    {
        // A name met before comes from the cache.
        std::shared_ptr<TTexture> texture;
        if (mTextureCursor < mTextureNames.size())
            texture = TTexture::Get(mTextureNames[mTextureCursor++], 0);
        else
            texture = TAnimatedTexture::Get(mAnimationNames[mAnimationCursor++], "", "");
        if (texture != nullptr)
            mKept.push_back(std::move(texture));
        const uint32_t now = mClock();
        if (now < start || now - start >= kSliceMs)
            break;
    }
    return IsDone();
}
