// IllustrationPanel: the comic-strip cut-scene screen. Cells lie down a film strip; the current
// one turns from its aged look to its live one, plays its speech bubbles while the panel's events
// and animations change it, then gives way: in place to a crossfade successor, or back to its aged
// look before the strip scrolls up to the next. Film dots run down both edges, drops run down the
// screen and a particle effect repeats down it. At the end the screen runs "ContinueForward();"
// (after a fade to black at location 8); the scripts decide what follows.
#pragma once

#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/random.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/vertex_set.h"

#include <cstdint>
#include <memory>
#include <vector>

class BloodStreak;
class IllustrationPanelAnimation;
class IllustrationPanelCell;
class IllustrationPanelEvent;
class TLuaParticleSystem;
class TLuaTable;
class TSprite;

class IllustrationPanel : public GameWindow
{
public:
    enum : int32_t
    {
        kPanelStarting = 0,
        kPanelPlaying = 1,
        kPanelWaitAnimation = 2,
        kPanelStepDone = 3,
        kPanelTransition = 4,
        kPanelWaitScroll = 6,
        kPanelFadeToBlack = 7
    };

    // The screen's size, which the overlay, the dots and the particle line cover.
    static constexpr float kScreenWidth = 800;
    static constexpr float kScreenHeight = 600;
    // The fade to black, and the sounds' fade with it.
    static constexpr uint32_t kFadeToBlackMs = 5000;

    using OverlayVertex = TColoredVertex;

    // Binds "CompletePanels", "PausePanel" and "ResumePanel" to this panel.
    IllustrationPanel();
    // Unbinds each of the three only while it is still this panel's.
    ~IllustrationPanel() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "IllustrationPanel"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || GameWindow::IsKindOf(id);
    }
    // The style and "panelinstructions"; a missing mandatory table is a fatal report and ends
    // loading there.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    bool OnMessage(TMessage* message) override;
    // The panel's step while the window is idle, then the screen's own.
    bool Animate() override;
    bool OnMouseDown(TPoint point) override;
    void OnClose() override;
    // Renders every cell's aged look again.
    bool Refresh() override;

    // The panel's own per-frame step.
    void Update();

    // The script functions.
    void CompletePanels(const TString& statement);
    void PausePanel();
    void ResumePanel();

    // The events and animations.
    void ActivateEvent(const TString& name);
    void ActivateLayer(const TString& name);
    void DeactivateLayer(const TString& name);
    void ActivateParticle(const TString& name);
    void DeactivateParticle(const TString& name);
    void ActivateSound(const TString& name);
    void DeactivateSound(const TString& name);
    // True when the panel must wait for the animation's end.
    bool StartAnimation(const TString& name);

    int32_t GetPanelState() const { return mPanelState; }
    bool IsPanelPaused() const { return mPaused; }
    int32_t GetCellTimer() const { return mCellTimer; }
    int32_t GetBloodTimer() const { return mBloodTimer; }
    size_t GetCurrentIndex() const { return mCurrent; }
    const std::vector<std::shared_ptr<IllustrationPanelCell>>& GetCells() const { return mCells; }
    const std::vector<std::shared_ptr<IllustrationPanelEvent>>& GetEvents() const
    {
        return mEvents;
    }
    const std::vector<std::shared_ptr<IllustrationPanelAnimation>>& GetAnimations() const
    {
        return mAnimations;
    }
    const std::vector<std::shared_ptr<BloodStreak>>& GetStreaks() const { return mStreaks; }
    const TDrawSpec& GetScrollSpec() const { return mScrollSpec; }
    TM_Transform2D& GetScrollTransform() { return mScrollTransform; }
    TM_Transform2D& GetOverlayTransform() { return mOverlayTransform; }
    const TRect& GetCellRect() const { return mCellRect; }
    int32_t GetFilmSound() const { return mFilmSound; }
    int32_t GetContinueCount() const { return mContinued; }
    const std::shared_ptr<TSprite>& GetTopFiller() const { return mTopFiller; }
    const std::shared_ptr<TSprite>& GetBottomFiller() const { return mBottomFiller; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticleLine() const { return mParticleLine; }

private:
    IllustrationPanelCell* CurrentCell() const;
    void EnterCell();
    void AdvanceCell();
    void RevealNextCell();
    void HideOldCells();
    void StartScroll();
    void PlayFilmSound();
    void SpawnBloodStreak();
    void FadeToBlack();
    void ContinueForward();
    void SetStepDone();
    void DrawFilmDots();
    void DrawParticleLine();
    void DrawOverlay(float alpha);

    static void OnCellActivated(void* object, TM_Transform* target, uint32_t id);
    static void OnCellReturned(void* object, TM_Transform* target, uint32_t id);
    static void OnAnimationDone(void* object, TM_Transform* target, uint32_t id);
    static void OnCellSpeechDone(void* object, TM_Transform* target, uint32_t id);
    static void OnScrollDone(void* object, TM_Transform* target, uint32_t id);
    static void OnFadeToBlackDone(void* object, TM_Transform* target, uint32_t id);

    bool mPaused = false;
    int32_t mPanelState = kPanelStarting;
    float mCellScrollDistance = 0;
    int32_t mCellScrollTime = 0;
    int32_t mCellTimeMinimum = 0;
    int32_t mCellTimer = 0;
    std::shared_ptr<TSprite> mTopFiller;
    std::shared_ptr<TSprite> mBottomFiller;
    TDrawSpec mScrollSpec;
    TM_Transform2D mScrollTransform{&mScrollSpec};
    TRect mCellRect;
    std::vector<std::shared_ptr<IllustrationPanelEvent>> mEvents;
    std::vector<std::shared_ptr<IllustrationPanelAnimation>> mAnimations;
    std::vector<std::shared_ptr<IllustrationPanelCell>> mCells;
    // Index of the current cell; the cells' count once past the last.
    size_t mCurrent = 0;
    Callback mActivatedCallback{this, &IllustrationPanel::OnCellActivated};
    Callback mReturnedCallback{this, &IllustrationPanel::OnCellReturned};
    Callback mAnimationCallback{this, &IllustrationPanel::OnAnimationDone};
    Callback mSpeechCallback{this, &IllustrationPanel::OnCellSpeechDone};
    int32_t mFilmSound = 0;
    int32_t mFilmSoundFade = 0;
    int32_t mCurrentLocation = 0;
    int32_t mTimeBloodMin = 0;
    int32_t mTimeBloodMax = 0;
    int32_t mBloodTimer = 0;
    float mFilmDotDist = 0;
    float mParticleLineDist = 0;
    std::shared_ptr<TSprite> mBackground;
    std::shared_ptr<TSprite> mFilmDot;
    TRandom mRandom;
    std::unique_ptr<TLuaTable> mBloodInfo;
    std::vector<std::shared_ptr<BloodStreak>> mStreaks;
    std::shared_ptr<TLuaParticleSystem> mParticleLine;
    OverlayVertex mOverlay[4] = {};
    uint16_t mOverlayIndices[6] = {0, 1, 2, 0, 2, 3};
    TDrawSpec mOverlaySpec;
    TM_Transform2D mOverlayTransform{&mOverlaySpec};
    // "ContinueForward();" runs once per strip, whatever callbacks arrive late.
    int32_t mContinued = 0;
    // A description whose images are missing is said once.
    bool mReportedMissingStreak = false;
};
