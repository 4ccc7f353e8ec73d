// GameplayInventory: one object the player collects and carries (a key, a tool, a torn page): its
// picture with silhouette and parts, glow and collision masks, particle effect and parts progress
// bar; the animations that move it between the HUD strip, a scene and the mouse; its 11-byte
// saved record.
#pragma once

#include "framework/core/frame_services.h"
#include "framework/widgets/particle_functions.h"
#include "framework/transforms/transform_target.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class MaskCollisionSprite;
class TAnimatedSprite;
class TLuaParticleSystem;
class TLuaTable;
class TM_InstructionList;
class TransformManager;
class TSprite;

// The position callers pass when an object is to keep its home.
extern const TVec2 kUnsetPosition;

class GameplayInventory
{
public:
    // Flag bits.
    enum : uint8_t
    {
        kShown = 0x01,
        kUsed = 0x02,
        kHeld = 0x04,
        kComplete = 0x08,
        kFollowsMouse = 0x10,
        kMoving = 0x20,
        kInScene = 0x40,
        kVisible = 0x80
    };
    // Bytes of the saved record.
    static constexpr size_t kSavedStateSize = 11;

    // The object table is one entry of the location's "inventory", the shared one its
    // "inventoryinfo". Nothing is loaded until the object first shows.
    GameplayInventory(const TLuaTable& object, const TLuaTable& shared);
    GameplayInventory(const GameplayInventory&) = delete;
    GameplayInventory& operator=(const GameplayInventory&) = delete;
    virtual ~GameplayInventory();

    // Loads the progress bar.
    virtual void Init(const TLuaTable& object, const TLuaTable& shared);
    virtual void Update(uint32_t elapsed);
    // One held that follows the pointer is placed at `point` (on the screen); others stay.
    void FollowPointer(TIntPoint point);
    virtual void Draw(const TDrawSpec& parent);
    // Inclusive left and top, exclusive right and bottom of the rectangle the last bar drawing
    // left.
    virtual bool HitTestProgressBar(const TIntPoint& point);
    virtual void DrawSilhouette(const TDrawSpec& spec);
    virtual void DrawProgressBar(const TDrawSpec& parent);
    virtual void DrawParticles(const TDrawSpec& spec);
    virtual void StartParticles();
    virtual void StopParticles();
    virtual void CreateProgressBar(const TLuaTable& object, const TLuaTable& shared);
    virtual void UpdateProgress();

    // The animations. A report offered with one is held until the animation that took it ends (told
    // with the argument), is replaced, or the object goes; an animation that does not run leaves
    // it with the caller.
    void Equip();
    void Unequip(WaitHandle&& report);
    void Use(WaitHandle&& report);
    void MoveTo(float x, float y, WaitHandle&& report, int32_t delay);
    void SetPosition(float x, float y);
    void PlaceInHud(WaitHandle&& report, bool animate);
    void PlaceInScene(bool animate, const TVec2& position, WaitHandle&& report);
    void Hide(WaitHandle&& report, bool animate);
    // A use still under way ends now: its motion stops where the use leaves the object (out of
    // sight) and its report is told once.
    void FinishUse();
    // Out of the hand at once, back where it rests at its own size; a motion under way ends and
    // its report is told.
    void PutBack();
    // Handed out to the strip again: a use's turn and shrink are undone, and one that lay in a
    // scene leaves it takeable, as it was there (marked complete); a motion under way ends and its
    // report is told.
    void ReadyForTheStrip();
    void Unload(uint32_t argument);
    void Reset();
    // Part numbers count from 1; one outside the parts is logged and ignored.
    void AddPart(int32_t part, bool count);
    void OnPartsFaded();
    void Hilight();

    // The five animated parts' transforms stop and go on where they were.
    void PauseTransforms();
    void ResumeTransforms();

    void RefreshCollisionMask();
    // False only when a later try may mend it: a missing picture or mask answers true.
    bool CreateCollisionMaskAndHilite();

    // What moves is stored as its move's end leaves it: an object gliding home no longer moving,
    // one on its way back from the mouse no longer held, one whose last part still fades in
    // complete.
    void SaveState(std::vector<uint8_t>& out) const;
    // False, nothing changed, for a record shorter than kSavedStateSize.
    bool RestoreState(const uint8_t* record, size_t size);
    // The record's part byte holds the first eight parts: one past them that a found item gave
    // is found again after a restore, without being counted or faded in.
    static constexpr int32_t kPartsARecordHolds = 8;
    void RestorePart(int32_t part);

    const TString& GetName() const { return mName; }
    TString GetActualName() const { return mActualName; }
    TString GetEventName() const { return mEventName; }
    TString GetHomeScene() const { return mHomeScene; }
    TString GetProgressBarToolTip() const { return mProgressBarTooltip; }
    uint8_t GetFlags() const { return mFlags; }
    void AddFlags(uint8_t bits) { mFlags |= bits; }
    void ClearFlags(uint8_t bits) { mFlags &= static_cast<uint8_t>(~bits); }
    uint8_t GetPartCount() const { return mPartCount; }
    // "partcount" as the table gives it, before it is kept in a byte.
    int32_t GetWrittenPartCount() const { return mWrittenPartCount; }
    uint8_t GetPartsFound() const { return mPartsFound; }
    const TVec2& GetHomePosition() const { return mHomePosition; }
    bool CanBePlacedInHud() const { return mCanBePlacedInHud; }
    void SetHovered(bool hovered) { mHovered = hovered; }
    void SetLiftedParts(bool lifted) { mLiftedParts = lifted; }
    bool HasLiftedParts() const { return mLiftedParts; }
    // Whether an animation under way owes a report.
    bool HoldsReport() const { return mPendingReport.IsHeld(); }
    // Whether the picture's motion, whose end tells the pending report, still runs.
    bool IsMotionRunning() const;
    // Every part found, or put in the hand as it is by an event (marked complete): it can be
    // taken from the strip.
    bool IsWhole() const { return mPartsFound >= mPartCount || (mFlags & kComplete) != 0; }
    // The image size recorded when the textures were made (0 before).
    int32_t GetImageWidth() const { return static_cast<int32_t>(mImageTransform.mWidth); }
    int32_t GetImageHeight() const { return static_cast<int32_t>(mImageTransform.mHeight); }
    TM_Transform2D& GetImageTransform() { return mImageTransform; }
    // The picture's rectangle under its own spec.
    TRect GetRect() const;
    const TRect& GetBarRect() const { return mBarRect; }
    const std::vector<bool>& GetParts() const { return mParts; }
    float GetBarFill() const;
    float GetBarAlpha() const { return mBarSpec.mAlpha; }
    bool IsRolloverShown() const { return mRolloverShown; }
    const std::shared_ptr<TAnimatedSprite>& GetImageSprite() const { return mImageSprite; }
    const std::shared_ptr<TSprite>& GetRolloverSprite() const { return mRolloverSprite; }
    const std::shared_ptr<MaskCollisionSprite>& GetMaskSprite() const { return mMaskSprite; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticleSystem() const { return mParticleSystem; }
    const TDrawSpec& GetHilightSpec() const { return mHilightSpec; }
    const TDrawSpec& GetPartFadeSpec() const { return mPartFadeSpec; }
    const ParticleVector& GetLocus() const { return mLocus; }
    const ParticleVector& GetSize() const { return mSize; }

protected:
    // The end handlers, given to the transform manager as group callbacks.
    using Handler = void (*)(void* object, TM_Transform* target, uint32_t id);
    static void OnUnequipped(void* object, TM_Transform* target, uint32_t id);
    static void OnCalledBack(void* object, TM_Transform* target, uint32_t id);
    static void OnMoved(void* object, TM_Transform* target, uint32_t id);
    static void OnShownInHud(void* object, TM_Transform* target, uint32_t id);
    static void OnHidden(void* object, TM_Transform* target, uint32_t id);
    static void OnPartsFadedHandler(void* object, TM_Transform* target, uint32_t id);

    // Tells and clears the pending report; false when the report destroyed the object, which must
    // then not be touched.
    bool CallBack(uint32_t argument);
    // An offered report becomes the pending one; an empty one leaves it. One pending already is
    // told now: whoever counted on it is told once, as the new animation's end will tell only the
    // new one.
    void HoldReport(WaitHandle&& report);
    // Runs the list on the transform with `handler` (may be null) as its end handler; the id.
    uint32_t Run(TM_Transform* target, TM_InstructionList* list, Handler handler);
    static void RemoveTransforms(TM_Transform* target);
    void StepAnimatedParts(void (TransformManager::*step)(TM_Transform*));
    // One frame of the picture drawn with its colour and alpha changed for that draw.
    void DrawFrame(int32_t frame, const TDrawSpec& parent, float shade, float alphaFactor);
    // The glow and the shadow left behind, the first two steps of the lifted looks.
    void DrawRolloverAndShadow(const TDrawSpec& parent);
    // The found parts, last to first.
    void DrawParts(const TDrawSpec& spec);
    TDrawSpec RolloverMoved(const TDrawSpec& parent) const;

    bool mCanBePlacedInHud = true;
    bool mHovered = false;
    bool mRolloverShown = false;
    bool mLiftedParts = false;
    bool mWantsTextures = false;
    // Its missing picture has been reported.
    bool mMissingPictureSaid = false;
    // On the way back from the mouse: held until the way's end.
    bool mReturning = false;
    TString mName;
    TString mActualName;
    TString mEventName;
    TString mImage;
    TString mImageMask;
    TString mHomeScene;
    uint8_t mFlags = kFollowsMouse;
    std::vector<int32_t> mFadingParts;
    std::vector<bool> mParts;
    TDrawSpec mPartFadeSpec;
    TM_Transform2D mPartFadeTransform{&mPartFadeSpec};
    std::shared_ptr<TSprite> mRolloverSprite;
    TM_Transform2D mRolloverTransform;
    TDrawSpec mHilightSpec;
    TM_Transform2D mHilightTransform{&mHilightSpec};
    std::shared_ptr<TAnimatedSprite> mImageSprite;
    TM_Transform2D mImageTransform;
    std::shared_ptr<MaskCollisionSprite> mMaskSprite;
    TVec2 mHomePosition;
    ParticleVector mLocus;
    ParticleVector mSize;
    TString mParticlesName;
    std::shared_ptr<TLuaParticleSystem> mParticleSystem;
    WaitHandle mPendingReport;
    uint8_t mPartCount = 0;
    int32_t mWrittenPartCount = 0;
    uint8_t mPartsFound = 0;
    int32_t mTimeToUse = 0;
    float mRotateToUse = 0;
    int32_t mTimeUnequip = 0;
    int32_t mTimeEquip = 0;
    float mScaleEquip = 0;
    int32_t mTimeVisible = 0;
    int32_t mTimeFadePart = 0;
    int32_t mTimeToMove = 0;
    float mSilhouetteAlpha = 0;
    int32_t mTimeRolloverGlow = 0;
    int32_t mTimeRolloverOffset = 0;
    TVec2 mRolloverOffset;
    TVec2 mRolloverStartOffset;
    float mOffsetAlpha = 0;
    int32_t mHilightCount = 0;
    int32_t mHilightTime = 0;
    float mHilightAlpha = 0;
    TDrawSpec mBarSpec;
    TM_Transform2D mBarTransform{&mBarSpec};
    std::shared_ptr<TSprite> mFrameLeft;
    std::shared_ptr<TSprite> mFrameCenter;
    std::shared_ptr<TSprite> mFrameRight;
    std::shared_ptr<TSprite> mFillLeft;
    std::shared_ptr<TSprite> mFillCenter;
    std::shared_ptr<TSprite> mFillRight;
    float mBarWidth = 0;
    int32_t mFillTime = 0;
    TString mProgressBarTooltip;
    TRect mBarRect;

private:
    void ReportUnreadablePicture() const;

    // Set by the destructor, so an end handler whose callback destroyed the object stops.
    bool* mDestroyed = nullptr;
};
