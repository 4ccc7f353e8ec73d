// GameplayLayer: a scene's picture (an animated bitmap) that events fade in and out and that may
// ride on another layer of its scene, following its position, its rotation and scale, its alpha.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"

#include <memory>

class AnimatedBitmap;

class GameplayLayer : public GameplayEntity
{
public:
    // The description is the layer's own table, `info` the location's "layerinfo" ("textinfo"
    // for a text), which gives "fadetime".
    GameplayLayer(const TLuaTable& description, const TLuaTable& info,
                  uint32_t typeCode = kTypeLayer);
    // Ends the fades first: none may reach a destroyed layer.
    ~GameplayLayer() override;

    void Update(uint32_t elapsedMs) override;
    // Drawn while shown, active or not.
    void Draw(const TDrawSpec& parent) override;
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    // The bitmap's bounds under the parent spec alone.
    TRect GetRect(const TDrawSpec& parent) override;
    // Shown layers come back at full alpha, the others hidden with their textures released.
    bool LoadState(const uint8_t* data, size_t size) override;
    // A layer fading out is stored hidden, as the fade's end leaves it.
    void SaveState(std::vector<uint8_t>& out) override;
    // Also shows the layer; with a fade, its textures are built too.
    void Activate(bool fade, WaitHandle&& report) override;
    // With a fade the layer stays shown until the fade ends, which tells the report held then.
    void Deactivate(bool fade, WaitHandle&& report) override;
    std::vector<TString> GetTextureNames() const override;
    std::vector<TString> GetAnimationNames() const override;
    void LoadTextures() override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    // The layer's spec carried by its parent chain, then by its bitmap's own spec.
    TDrawSpec GetWorldSpec() const;
    std::shared_ptr<AnimatedBitmap> GetBitmap() const { return mBitmap; }
    const TString& GetParentName() const { return mParentName; }
    GameplayLayer* GetParent() const { return mParent; }
    // Refuses (logged, no parent then) a link that would make the layer its own ancestor.
    bool SetParent(GameplayLayer* parent);
    // The end of a fade-out: hidden, inactive, textures released, the held callback due.
    void FinishHiding();
    TM_Transform2D& GetTransform() { return mTransform; }
    const TDrawSpec& GetSpec() const { return mSpec; }
    int32_t GetFadeTime() const { return mFadeTime; }

protected:
    const TM_Transform* GetChangeTransform() const override { return &mTransform; }
    std::shared_ptr<AnimatedBitmap> mBitmap;
    TDrawSpec mSpec;
    // Over mSpec, so declared after it.
    TM_Transform2D mTransform{&mSpec};
    GameplayLayer* mParent = nullptr;
    TString mParentName;
    bool mFollowPosition = false;
    bool mFollowRotationScale = false;
    bool mFollowAlpha = false;
    int32_t mFadeTime = 0;
    bool mFadingOut = false;

private:
    static void OnFadedOut(void* object, TM_Transform* target, uint32_t id);
    // The bitmap's sprites; a picture it lacks is said once.
    void MakeSprites();
    // Starts one alpha fade from the current value over fadeTime.
    void StartFade(float end, Callback* groupCallback);
};
