// GameplayArea: a clickable area of a scene: its click events (which inventory object, or a plain
// click, runs which event), the object laid on it, its state changes and their fades, its frames
// (hilight, active, completed) and mask, the hover pulse, its particle effects and its saved bytes.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "platform/maths/geometry.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"

#include <memory>
#include <vector>

class GameplayInventory;
class MaskCollisionSprite;
class SoundEffect;
class TLuaParticleSystem;
class TTexture;

class GameplayArea : public GameplayEntity
{
public:
    // Flag bits beyond the base's.
    static constexpr uint8_t kCompleted = 0x04;
    static constexpr uint8_t kHilighted = 0x08;
    static constexpr uint8_t kCompleting = 0x10;

    // One entry of "events": the inventory object's name (or "default") and the event it runs.
    struct ClickEvent
    {
        uint8_t used = 0;
        TString inventory;
        TString eventName;
    };

    // `area` is the area's own table, `areaInfo` the location's "areainfo". A table without
    // "events" is a fatal error named after the area; nothing more is read.
    GameplayArea(const TLuaTable& area, const TLuaTable& areaInfo);
    ~GameplayArea() override;

    // The particle systems, the sound's delay, then the due callback.
    void Update(uint32_t elapsedMs) override;
    // By state: the completion's cross-fade, the hilight frame over the active one, the completed
    // frame or the active one; nothing while hidden.
    void Draw(const TDrawSpec& parent) override;
    // The particle systems at the parent's position.
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    void SaveState(std::vector<uint8_t>& out) override;
    bool LoadState(const uint8_t* data, size_t size) override;
    uint32_t GetStateSize() const override;
    // The record grows with the held name: its length byte tells how far.
    size_t MeasureState(const uint8_t* data, size_t size) const override;
    void Activate(bool animate, WaitHandle&& report) override;
    void Deactivate(bool animate, WaitHandle&& report) override;
    void Show(bool animate, WaitHandle&& report) override;
    void Hide(bool animate, WaitHandle&& report) override;
    // While shown: the mask's name (image and suffix), and the image's.
    std::vector<TString> GetTextureNames() const override;
    std::vector<TString> GetAnimationNames() const override;
    void LoadTextures() override;
    bool RestoreTextures() override;
    bool FinishTextures() override;
    // Load, then the mask; a mask that could not be made asks the frame for textures again.
    void CreateTextures() override;
    void ReleaseTextures() override;

    // While shown and without a mask yet: the mask from the mask texture, the particle inputs
    // from it. False, reported, when it cannot be made.
    virtual bool CreateCollisionMask();
    virtual void StartCompleteParticles();
    // The completion effects stop making particles and go once the last one has died.
    virtual void StopParticles();
    // A portal's effect while hilighted.
    virtual void StartHilightParticles();
    virtual void StopHilightParticles();

    // Active, and a mask texel of alpha 127 or more under the point.
    bool HitTest(const TVec2& point);
    // Active, and the object's mask overlaps the area's.
    bool TestInventoryDrop(GameplayInventory* inventory);
    // Called each frame the mouse is over the area: starts the pulse once, and answers true only
    // then and only when the area has no sound of its own (the caller plays the general one).
    bool Hilight();
    // The mouse left: the hilight fades out (fast unless `normalSpeed`).
    void StartHilightFade(bool normalSpeed);
    // The hilight shown once, `delayMs` from now; only while active.
    virtual void Flash(int32_t delayMs);

    // The event the object (or "default": a plain click) runs; "default" also matches the first
    // used event. None: reported, and empty.
    TString FindEventForInventory(const TString& name) const;
    bool HasEventForInventory(const TString& name) const;
    void MarkEventUsed(const TString& name);
    // Without animation the area ends at once and the callback is due; completed areas cannot be
    // activated until the bit is cleared.
    void Complete(WaitHandle&& report, bool animate);

    bool CanHoldInventory(const GameplayInventory* inventory) const;
    bool HoldsCorrectInventory() const;
    // Reported when an object is held already or this one is not accepted.
    void HoldInventory(GameplayInventory* inventory);
    GameplayInventory* GetHeldInventory() const { return mHeldInventory; }
    // The scene lets go when the object is taken away.
    void LetGoInventory();

    TString GetActualName() const { return mActualName; }
    TString GetClickDialog() const { return mClickDialog; }
    TString GetPortalCursor() const { return mPortalCursor; }
    TString GetCursor() const { return mCursor; }
    TString GetGroupId() const { return mGroupId; }
    const TString& GetHeldInventoryName() const { return mHeldInventoryName; }
    const std::vector<TString>& GetHoldableInventory() const { return mHoldableInventory; }
    const std::vector<TString>& GetCorrectInventoryToHold() const
    {
        return mCorrectInventoryToHold;
    }
    const std::vector<std::shared_ptr<ClickEvent>>& GetClickEvents() const { return mClickEvents; }
    bool IsPortal() const { return mIsPortal; }
    bool HasActiveFrame() const { return mHasActiveFrame; }
    bool HasCompletedFrame() const { return mHasCompletedFrame; }
    int32_t GetPersonification() const { return mPersonification; }
    const TString& GetImage() const { return mImage; }
    const TVec2& GetPosition() const { return mPosition; }
    const TVec2& GetInventoryPosition() const { return mInventoryPosition; }
    // The image's alpha, which the show, hide and completion fades move.
    float GetImageAlpha() { return mSpriteTransform.GetAlpha(); }
    float GetHilightAlpha() { return mHilightTransform.GetAlpha(); }
    TM_Transform2D& GetSpriteTransform() { return mSpriteTransform; }
    TM_Transform2D& GetHilightTransform() { return mHilightTransform; }
    int32_t GetHilightState() const { return mHilightState; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }
    const std::shared_ptr<MaskCollisionSprite>& GetMaskSprite() const { return mMaskSprite; }
    const std::shared_ptr<SoundEffect>& GetSound() const { return mSound; }
    const std::shared_ptr<TLuaParticleSystem>& GetCompleteParticles1() const
    {
        return mCompleteParticles1;
    }
    const std::shared_ptr<TLuaParticleSystem>& GetCompleteParticles2() const
    {
        return mCompleteParticles2;
    }
    const std::shared_ptr<TLuaParticleSystem>& GetHilightParticles() const
    {
        return mHilightParticles;
    }
    const ParticleVector& GetParticleLocus() const { return mParticleLocus; }
    const ParticleVector& GetParticleSize() const { return mParticleSize; }

protected:
    const TM_Transform* GetChangeTransform() const override { return &mSpriteTransform; }
    // One fade of the image's alpha (from its current value) with the transform's callback.
    void StartImageFade(float end, int32_t ms, Callback* callback);
    bool HasFrames() const { return mHasActiveFrame || mHasCompletedFrame; }
    static void OnDeactivated(void* object, TM_Transform* target, uint32_t id);
    static void OnCompleted(void* object, TM_Transform* target, uint32_t id);
    static void OnPulseEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnHilightGone(void* object, TM_Transform* target, uint32_t id);
    // One pulse up to 1 and down to the lowest alpha; its end starts the next.
    void StartPulse(bool restart);
    // A fresh system with the locus and size (and the normalising node when asked), the script
    // loaded and "gActive" 1.
    std::shared_ptr<TLuaParticleSystem> StartCompleteSystem(const TString& script, bool normalize);
    // Frame `frame` of the image under `parent`.
    void DrawFrame(int32_t frame, const TDrawSpec& parent);
    // The used flags' bytes: eight events a byte.
    size_t UsedBytes() const { return (mClickEvents.size() + 7) / 8; }
    const ClickEvent* MatchEvent(const TString& name) const;

    int32_t mHilightState = 1;
    bool mHasCompletedFrame = false;
    bool mHasActiveFrame = false;
    bool mIsPortal = false;
    // Its missing mask has been reported.
    bool mMissingMaskSaid = false;
    int32_t mPersonification = 0;
    TString mActualName;
    TString mClickDialog;
    TString mPortalCursor;
    TString mCursor;
    TString mGroupId;
    TString mImage;
    TString mImageMaskSuffix;
    TString mHeldInventoryName;
    std::shared_ptr<SoundEffect> mSound;
    TVec2 mPosition;
    TVec2 mInventoryPosition;
    std::shared_ptr<TTexture> mMaskTexture;
    std::shared_ptr<TAnimatedSprite> mSprite = std::make_shared<TAnimatedSprite>(0);
    // Placed by the image's registration point.
    std::shared_ptr<MaskCollisionSprite> mMaskSprite;
    // Its alpha is the hilight's.
    TDrawSpec mHilightSpec;
    TM_Transform2D mHilightTransform{&mHilightSpec};
    // The systems hold plain pointers to these: declared before the systems, they outlive them.
    ParticleVector mParticleLocus;
    ParticleVector mParticleSize;
    ParticleVector mHilightCenter;
    ParticlePathRandom mHilightPath;
    std::vector<std::shared_ptr<ClickEvent>> mClickEvents;
    TString mCompleteParticleScript1;
    TString mCompleteParticleScript2;
    TString mHilightParticleScript;
    std::shared_ptr<TLuaParticleSystem> mCompleteParticles1;
    std::shared_ptr<TLuaParticleSystem> mCompleteParticles2;
    std::shared_ptr<TLuaParticleSystem> mHilightParticles;
    std::vector<TString> mHoldableInventory;
    std::vector<TString> mCorrectInventoryToHold;
    GameplayInventory* mHeldInventory = nullptr;
    int32_t mTimeHilightFade = 0;
    int32_t mTimeHilightFadeFast = 0;
    float mAlphaHilightMin = 0;
    int32_t mTimeVisible = 0;
    int32_t mTimeCompleteFade = 0;
    // Over the image's spec; removes its transforms when the area goes, so no fade reaches a
    // destroyed area.
    TM_Transform2D mSpriteTransform{&mSprite->GetSpec()};
};
