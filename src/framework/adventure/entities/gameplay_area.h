// GameplayArea: a clickable area of a scene: its click events (which inventory object, or a plain
// click, runs which event), the object laid on it, its state changes and its saved bytes.
#pragma once

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "render/renderer/draw_spec.h"

#include <memory>
#include <vector>

class GameplayInventory;
class SoundEffect;

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

    void Draw(const TDrawSpec& parent) override;
    void DrawEffects(const TDrawSpec& parent) override;
    void Pause() override;
    void Resume() override;
    TRect GetRect(const TDrawSpec& parent) override;
    void SaveState(std::vector<uint8_t>& out) override;
    bool LoadState(const uint8_t* data, size_t size) override;
    uint32_t GetStateSize() const override;
    // The record grows with the held name: its length byte tells how far.
    size_t MeasureState(const uint8_t* data, size_t size) const override;
    void Activate(bool animate, Callback* callback) override;
    void Deactivate(bool animate, Callback* callback) override;
    void Show(bool animate, Callback* callback) override;
    void Hide(bool animate, Callback* callback) override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    // The delayed reveal, `delayMs` after the scene was entered.
    virtual void Flash(int32_t delayMs);

    // The event the object (or "default": a plain click) runs; "default" also matches the first
    // used event. None: reported, and empty.
    TString FindEventForInventory(const TString& name) const;
    bool HasEventForInventory(const TString& name) const;
    void MarkEventUsed(const TString& name);
    // Without animation the area ends at once and the callback is due; completed areas cannot be
    // activated until the bit is cleared.
    void Complete(Callback* callback, bool animate);

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

protected:
    // One fade of the image's alpha (from its current value) with the transform's callback.
    void StartImageFade(float end, int32_t ms, Callback* callback);
    bool HasFrames() const { return mHasActiveFrame || mHasCompletedFrame; }
    static void OnDeactivated(void* object, TM_Transform* target, uint32_t id);
    static void OnCompleted(void* object, TM_Transform* target, uint32_t id);
    // The used flags' bytes: eight events a byte.
    size_t UsedBytes() const { return (mClickEvents.size() + 7) / 8; }
    const ClickEvent* MatchEvent(const TString& name) const;

    int32_t mHilightState = 1;
    bool mHasCompletedFrame = false;
    bool mHasActiveFrame = false;
    bool mIsPortal = false;
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
    TVec2 mHilightCenter;
    TString mHilightPath;
    std::vector<std::shared_ptr<ClickEvent>> mClickEvents;
    TString mCompleteParticleScript1;
    TString mCompleteParticleScript2;
    TString mHilightParticleScript;
    std::vector<TString> mHoldableInventory;
    std::vector<TString> mCorrectInventoryToHold;
    GameplayInventory* mHeldInventory = nullptr;
    int32_t mTimeHilightFade = 0;
    int32_t mTimeHilightFadeFast = 0;
    float mAlphaHilightMin = 0;
    int32_t mTimeVisible = 0;
    int32_t mTimeCompleteFade = 0;
    TDrawSpec mImageSpec;
    // Removes its transforms when the area goes, so no fade reaches a destroyed area.
    TM_Transform2D mSpriteTransform{&mImageSpec};
};
