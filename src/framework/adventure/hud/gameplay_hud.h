// GameplayHud: the bar at the edge of the gameplay screen: background, foreground and progress
// pictures, an optional hint background, and the inventory strip between them, a row of the
// location's inventory objects of which as many as fit the bounds are visible; the subset shown
// while the player picks an object for a hint; the two saved bytes of the progress bar.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class GameplayInventory;
class GameplayItem;
class TSprite;
class TTexture;
class TVButton;

class GameplayHud : public TWindow
{
public:
    GameplayHud();
    ~GameplayHud() override;

    // The creator registered for "GameplayHud"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "GameplayHud"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // The frame driver's step reaches Update through the animation slot.
    bool Animate() override
    {
        Update();
        return false;
    }
    virtual void Update();

    // Drawn between the strip and the foreground; nothing here.
    virtual void DrawHints() {}
    // A point in screen coordinates on the foreground's or the background's pixels.
    virtual bool ContainsPoint(const TPoint& point);
    // False when nothing was pending: the report is left with the caller. Otherwise the first new
    // object fading in takes it, or, when none does, the next Update tells it.
    virtual bool MergePendingInventory(bool animate, WaitHandle&& report);
    // Whether a merge's report can still be told: one due at the next step, or an object's fade
    // into the strip that holds one still runs.
    bool CanEndMerge() const;
    virtual void Pause();
    virtual void Resume();
    virtual void SetButtonsEnabled(bool enabled);
    // progressMax, then progress, their low bytes.
    virtual void SaveState(std::vector<uint8_t>& out);
    // False, nothing changed, with fewer bytes left than GetSavedStateSize.
    virtual bool LoadState(const uint8_t* data, size_t size);
    virtual bool TestHintClick(const TPoint& point, bool availableOnly)
    {
        (void)point;
        (void)availableOnly;
        return false;
    }
    virtual void SelectHint(const TPoint& point) { (void)point; }
    virtual void EndHintSelect(bool spend) { (void)spend; }
    virtual TVec2 GetClickedHintPosition() { return TVec2(0, 0); }
    virtual uint32_t GetSavedStateSize() { return 2; }
    virtual void FadeInHintBackground();
    virtual void FadeOutHintBackground();

    // Recomputes the visible range moved by `step` (positive: towards the start) and lays the
    // strip out; the report goes with the move of the range's last object.
    void ArrangeInventory(int32_t step, bool animate, WaitHandle&& report);
    bool HasInventory(const TString& name) const;
    void RemoveInventory(GameplayInventory* object);
    void ScrollToInventory(GameplayInventory* object);
    // A found item arrived: one more on the progress bar, and the item's parts (numbers from 1)
    // added to the shown object of its inventory name, counted once.
    void OnItemArrived(const GameplayItem& item);
    void OnItemArrived(const TString& inventoryName, const std::vector<int32_t>& parts);
    // The names of the complete shown objects, in strip order.
    std::vector<TString> GetShownInventoryNames() const;
    GameplayInventory* FindInventoryAt(const TPoint& point) const;
    bool IsOverProgressBar(const TPoint& point) const;
    void SetProgress(int32_t value);
    void EnableScrollButtons(bool fade);
    void ShowInventorySubset(std::vector<GameplayInventory*> objects, WaitHandle&& report);
    void PlaceInventory(WaitHandle&& report);
    std::vector<GameplayInventory*> GetShownInventory() const { return mShown; }

    // Where the scene runner puts objects gained since the last merge.
    std::vector<GameplayInventory*>& GetPendingInventory() { return mPending; }
    void SetProgressMax(int32_t value) { mProgressMax = value; }
    int32_t GetProgressMax() const { return mProgressMax; }
    int32_t GetProgress() const { return mProgress; }
    size_t GetRangeFirst() const { return mRangeFirst; }
    size_t GetRangeLast() const { return mRangeLast; }
    bool IsAtLeftEnd() const { return mAtLeftEnd; }
    bool IsAtRightEnd() const { return mAtRightEnd; }
    bool AreButtonsEnabled() const { return mButtonsEnabled; }
    bool IsPaused() const { return mPaused; }
    int32_t GetSlideState() const { return mSlideState; }
    const TRect& GetBounds() const { return mBounds; }
    float GetHintAlpha() const { return mHintSpec.mAlpha; }
    const std::shared_ptr<TSprite>& GetProgressBarSprite() const { return mProgressBar; }
    const TDrawSpec& GetStripSpec() const { return mStripSpec; }

protected:
    // The visible range for a step, the ends and the buttons.
    void ComputeRange(int32_t step);
    int32_t WidthOf(size_t index) const;
    float OutsideLeft(size_t index) const;
    float OutsideRight(size_t index) const;
    // The centres of the range's objects, F to L.
    std::vector<float> RangeCentres() const;
    // Whether the strip shows its index-th object: one of the visible range, or one moving across
    // the bounds' edge (scrolled in or out); those parked beyond the ends are not drawn.
    bool IsInView(size_t index) const;
    // A report no object carries is told by the next Update, so its caller is not left waiting.
    void CallLater(WaitHandle&& report);
    // The report of a slide's end, which the strip's objects carry; cancelled when the strip goes
    // first.
    WaitHandle SlideEnd(const Callback& end);
    static void OnLeftOut(void* object, TM_Transform* target, uint32_t id);
    static void OnRightOut(void* object, TM_Transform* target, uint32_t id);
    // The continuation of a slide-out: `strip` becomes the shown strip, its range laid out from
    // the start, its lifted look set, and the range's objects glide in from one side.
    void SlideRangeIn(const std::vector<GameplayInventory*>& strip, bool lifted, bool fromRight);

    bool mButtonsEnabled = true;
    bool mPaused = false;
    bool mAtLeftEnd = false;
    bool mAtRightEnd = false;
    int32_t mSlideState = 0;
    std::vector<GameplayInventory*> mShown;
    size_t mRangeFirst = 0;
    size_t mRangeLast = 0;
    std::vector<GameplayInventory*> mPending;
    std::vector<GameplayInventory*> mSavedStrip;
    std::vector<GameplayInventory*> mSubset;
    std::shared_ptr<TSprite> mBackground;
    std::shared_ptr<TSprite> mForeground;
    std::shared_ptr<TSprite> mProgressBar;
    std::shared_ptr<TTexture> mHintTexture;
    TDrawSpec mHintSpec;
    TM_Transform2D mHintTransform{&mHintSpec};
    TVec4 mHintColor = TVec4(0, 0, 0, 1);
    TDrawSpec mStripSpec;
    float mMinGap = 0;
    float mStripY = 0;
    int32_t mHideDelay = 0;
    int32_t mHintFadeTime = 0;
    int32_t mProgressBarSlack = 0;
    int32_t mProgressMax = 0;
    int32_t mProgress = 0;
    TVButton* mLeftButton = nullptr;
    TVButton* mRightButton = nullptr;
    TVButton* mPauseButton = nullptr;
    TRect mBounds;
    WaitHandle mSubsetReport;
    Callback mOnLeftOut{this, &GameplayHud::OnLeftOut};
    Callback mOnRightOut{this, &GameplayHud::OnRightOut};
    std::vector<WaitHandle> mLateReports;
    std::vector<std::shared_ptr<WaitToken>> mSlideEnds;
};
