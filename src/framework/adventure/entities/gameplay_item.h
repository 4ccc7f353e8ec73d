// GameplayItem: a hidden item of a scene: its picture and collision mask, the hit test on the
// mask, and, once found, the animation that turns and cross-fades it into its inventory look and
// flies it on an arc into its inventory object, with up to two particle effects following it.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/widgets/particle_functions.h"

#include <memory>
#include <vector>

class GameplayInventory;
class TAnimatedSprite;
class TLuaParticleSystem;
class TM_Transform2D;
class TSprite;

class GameplayItem : public GameplayEntity
{
public:
    // Flag bits beside the entity's.
    enum : uint8_t
    {
        kFound = 0x04,
        // The two drawing passes split the transform's alpha between frames 0 and 1.
        kCrossFade = 0x08,
        kScenePass = 0x10,
        kOverlayPass = 0x20
    };
    // The threshold a mask texel's alpha must reach to be hit.
    static constexpr int kHitAlpha = 127;

    // `item` is the item's own table, `itemInfo` the location's "iteminfo", shared by its items.
    // Without an "inventoryparts" table a fatal report; the item is then neither placed nor
    // drawn by the scene pass.
    GameplayItem(const TLuaTable& item, const TLuaTable& itemInfo);
    // Ends the item's transforms first: none may reach a destroyed item.
    ~GameplayItem() override;

    void Update(uint32_t elapsedMs) override;
    // The scene pass: frame 0.
    void Draw(const TDrawSpec& parent) override;
    // The particles, then the overlay pass: frame 1.
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    // Found: hidden and inactive at once; else shown: activated, textures made.
    bool LoadState(const uint8_t* data, size_t size) override;
    // A found item still fading away is stored as gone, as the fade's end leaves it.
    void SaveState(std::vector<uint8_t>& out) override;
    // Shows the item and makes its textures; animated, it fades in over "timevisible".
    void Activate(bool animate, WaitHandle&& report) override;
    // The mask's file while shown.
    std::vector<TString> GetTextureNames() const override;
    void LoadTextures() override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    virtual void DrawFoundImage(const TDrawSpec& spec);
    virtual void StartParticles();
    virtual void StopParticles();

    const TString& GetInventoryName() const { return mInventoryName; }
    // From the click that found it on: through its turn and flight, while it fades away (still
    // active) and once it is gone.
    bool IsFound() const { return (mFlags & (kFound | kOverlayPass)) != 0; }
    // The part numbers the item completes, in table order.
    const std::vector<int32_t>& GetInventoryParts() const { return mInventoryParts; }
    // Inside the mask's bounds (right and bottom edges out), then on a mask texel whose alpha
    // reaches kHitAlpha.
    bool HitTest(const TVec2& point, const TDrawSpec& parent);
    // The callback fires once, when the item arrives at the target; a null target makes a flight
    // of no length.
    void StartFoundAnimation(WaitHandle&& arrived, GameplayInventory* target);
    // A found animation still running ends at once as its end would leave it: the item gone, the
    // callback told of the arrival.
    void Land();

    TM_Transform2D& GetTransform() { return *mTransform; }
    const std::shared_ptr<TAnimatedSprite>& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetMask() const { return mMask; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    const std::shared_ptr<TLuaParticleSystem>& GetSplash() const { return mSplash; }
    const ParticleVector& GetLocus() const { return mLocus; }
    const TString& GetImageName() const { return mImageName; }
    const TString& GetMaskSuffix() const { return mMaskSuffix; }
    const TString& GetParticleScript() const { return mParticleScript; }
    const TString& GetSplashScript() const { return mSplashScript; }
    float GetRotateFound() const { return mRotateFound; }
    float GetDistanceArc() const { return mDistanceArc; }
    int32_t GetTimeFound() const { return mTimeFound; }
    int32_t GetTimeVisible() const { return mTimeVisible; }
    int32_t GetTimeToInventory() const { return mTimeToInventory; }
    int32_t GetTimeFadeAway() const { return mTimeFadeAway; }

protected:
    const TM_Transform* GetChangeTransform() const override;
    std::vector<int32_t> mInventoryParts;
    std::shared_ptr<TAnimatedSprite> mImage;
    std::shared_ptr<TSprite> mMask;
    // Over the image's spec, so declared after it.
    std::unique_ptr<TM_Transform2D> mTransform;
    // The systems hold a plain pointer to it: declared before them, so it outlives them.
    ParticleVector mLocus;
    TString mInventoryName;
    TString mImageName;
    TString mMaskSuffix;
    TString mParticleScript;
    TString mSplashScript;
    GameplayInventory* mTarget = nullptr;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    std::shared_ptr<TLuaParticleSystem> mSplash;
    float mRotateFound = 0;
    float mDistanceArc = 0;
    int32_t mTimeFound = 0;
    int32_t mTimeVisible = 0;
    int32_t mTimeToInventory = 0;
    int32_t mTimeFadeAway = 0;

private:
    // Draws the image at `alpha`, the transform's own alpha put back afterwards.
    void DrawImageAt(const TDrawSpec& parent, float alpha);
    void StartFlight();
    void Arrive();
    void FinishFound();
    static void OnTurned(void* object, TM_Transform* target, uint32_t id);
    static void OnArrived(void* object, TM_Transform* target, uint32_t id);
    static void OnFadedAway(void* object, TM_Transform* target, uint32_t id);
};
