// GameplayTutorial: one hint prompt over a scene (a dialog picture with a fitted, localised text
// and an arrow bobbing towards what it explains); GameplayTutorialController: a location's
// prompts, the one shown by name, and its drawing.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/transforms/wait_handle.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;
class TTextSprite;

class GameplayTutorial
{
public:
    enum : int32_t
    {
        kShown = 0,
        kHidden = 1,
        kFadingIn = 2,
        kFadingOut = 3
    };
    // The smallest font the text is shrunk to, as the framework's other text fits.
    static constexpr int32_t kMinFontSize = 4;

    // Null after a fatal report (no "bounds" or "font" in info).
    static std::shared_ptr<GameplayTutorial> Create(const TLuaTable& info, const TLuaTable& entry);
    GameplayTutorial();
    GameplayTutorial(const GameplayTutorial&) = delete;
    GameplayTutorial& operator=(const GameplayTutorial&) = delete;
    ~GameplayTutorial();

    // (0, 0) keeps the table's place; another position moves both ends of the bob there.
    void Show(const TVec2& position);
    // The report is told once the fade-out has ended, or when the prompt goes first; an empty one
    // leaves one offered before.
    void Hide(WaitHandle&& report);
    // Whether the fade-out that holds the offered report still runs.
    bool CanEndHide() const;
    // A shown prompt blinks twice: the answer to a click it did not ask for, which it held all
    // the same. Nothing while it fades in or out.
    void Nudge();
    bool IsNudging() const { return mNudging; }
    TString GetName() const { return mName; }
    // The dialog with its text, then the arrow, under the prompt's spec.
    void Draw();

    int32_t GetState() const { return mState; }
    int32_t GetIndex() const { return mIndex; }
    const TDrawSpec& GetSpec() const { return mSpec; }
    const TVec2& GetArrowBase() const { return mArrowBase; }
    const TVec2& GetArrowTip() const { return mArrowTip; }
    const std::shared_ptr<TSprite>& GetArrowSprite() const { return mArrowSprite; }
    TM_Transform2D& GetArrowTransform() { return mArrowTransform; }
    TM_Transform2D& GetSpecTransform() { return mSpecTransform; }
    const std::shared_ptr<TSprite>& GetDialogSprite() const { return mDialogSprite; }
    const std::shared_ptr<TTextSprite>& GetTextSprite() const { return mTextSprite; }
    int32_t GetFontSize() const { return mFontSize; }

private:
    bool Build(const TLuaTable& info, const TLuaTable& entry);
    static void OnShown(void* object, TM_Transform* target, uint32_t id);
    static void OnHidden(void* object, TM_Transform* target, uint32_t id);
    static void OnNudged(void* object, TM_Transform* target, uint32_t id);

    WaitHandle mPendingReport;
    TDrawSpec mSpec;
    TM_Transform2D mSpecTransform{&mSpec};
    std::shared_ptr<TSprite> mArrowSprite;
    TM_Transform2D mArrowTransform;
    std::shared_ptr<TSprite> mDialogSprite;
    std::shared_ptr<TTextSprite> mTextSprite;
    int32_t mState = kHidden;
    bool mNudging = false;
    TString mName;
    int32_t mIndex = 0;
    int32_t mFadeTime = 0;
    int32_t mArrowTime = 0;
    float mArrowDist = 0;
    TVec2 mArrowBase;
    TVec2 mArrowTip;
    int32_t mFontSize = 0;
};

class GameplayTutorialController
{
public:
    // Every entry of the table but "info", in the table's order.
    explicit GameplayTutorialController(const TLuaTable& tutorials);

    // The first prompt of that name; none: nothing happens.
    void ShowTutorial(const TString& name, const TVec2& position);
    // -1 for a name no prompt has.
    int32_t GetTutorialIndex(const TString& name) const;
    // Also after hiding; empty before any was shown.
    TString GetActiveTutorialName() const;
    void Draw();

    GameplayTutorial* GetActive() const { return mActive; }
    const std::vector<std::shared_ptr<GameplayTutorial>>& GetTutorials() const
    {
        return mTutorials;
    }

private:
    std::vector<std::shared_ptr<GameplayTutorial>> mTutorials;
    GameplayTutorial* mActive = nullptr;
};
