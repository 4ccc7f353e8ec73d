// DialogWindow: the animated dialog. It drops in from above the screen while fading in, overshoots
// its place and settles; "WindowReturn" flies it back out and hands the value to the script that
// opened it. It fades its siblings with it, disables the enclosing screen's widgets while it moves,
// pauses under a covering modal window and may carry a particle effect that follows it.
#pragma once

#include "framework/widgets/particle_functions.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class GameWindow;
class TLuaParticleSystem;
class TSprite;
class TTexture;

class DialogWindow : public TWindow
{
public:
    enum : int32_t
    {
        kEntering = 0,
        kShown = 1,
        kExiting = 2
    };

    // Binds "WindowReturn" to the new dialog and registers its listener.
    DialogWindow();
    ~DialogWindow() override;

    // The creator registered for "DialogWindow"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "DialogWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    // Starts the entry, or with "skipintro" shows the dialog at once.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // The particles, over everything and unclipped by the dialog.
    void PostDraw() override;
    // Hands the particle effect to the screen beneath.
    void OnModalPopped() override;
    // The per-frame step the frame driver calls through the animation slot; false.
    bool Animate() override { return Update(); }
    bool Update();

    // Stores the value and starts the exit.
    virtual void Close(const TString& value);
    virtual void StartExit();
    virtual void Pause();
    virtual void Resume();

    // Subclasses that make their own face call these themselves.
    void StartEnter();
    void SetImage(float offsetX, float offsetY, const std::shared_ptr<TTexture>& texture);

    // The value written into the script's return statement: a single-quoted script string.
    static TString QuoteForScript(const TString& value);

    int32_t GetState() const { return mState; }
    bool IsPaused() const { return mPaused; }
    const TString& GetReturnValue() const { return mReturnValue; }
    int32_t GetSoundIn() const { return mSoundIn; }
    int32_t GetSoundOut() const { return mSoundOut; }
    TM_Transform2D& GetTransform() { return mTransform; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    const std::vector<std::shared_ptr<AnimatedBitmap>>& GetBitmaps() const { return mBitmaps; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetLocus() const { return mLocus; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetWidthVectors() const { return mWidth; }
    const std::vector<std::shared_ptr<ParticleVector>>& GetPreviousPosition() const
    {
        return mPreviousPosition;
    }

    // Sets the alpha of every fading kind of window in the subtrees it visits.
    class WindowFade : public TWindowSpider
    {
    public:
        WindowFade();
        bool Visit(TWindow* window) override;

        float mAlpha = 1.0f;

    private:
        TClassId mTextId;
        TClassId mImageId;
        TClassId mDialogId;
        TClassId mButtonId;
        TClassId mSliderId;
    };

    // Offered every message without a target window; never takes one.
    class MessageListener : public TMessageListener
    {
    public:
        explicit MessageListener(DialogWindow* owner) : mOwner(owner) {}
        bool OnMessage(TMessage* message) override;

    private:
        DialogWindow* mOwner;
    };

protected:
    friend struct DialogWindowCallbacks;
    void OnEnterDone();
    void OnExitDone();
    // The first GameWindow among the parents, or null.
    GameWindow* FindEnclosingScreen() const;
    // Places the window at the transform's position and fades its parent's children with it.
    void FollowTransform();
    void RunInParticleScript(const char* statement);
    void BindWindowReturn();

    WindowFade mFade;
    // Declared before the transform, which works on it.
    TDrawSpec mDrawSpec;
    TM_Transform2D mTransform;
    TString mReturnValue;
    bool mPaused = false;
    MessageListener* mListener = nullptr;
    std::shared_ptr<TSprite> mSprite;
    int32_t mState = kEntering;
    int32_t mSoundIn = 0;
    int32_t mSoundOut = 0;
    // Drawn on the face in this order.
    std::vector<std::shared_ptr<AnimatedBitmap>> mBitmaps;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    std::vector<std::shared_ptr<ParticleVector>> mLocus;
    std::vector<std::shared_ptr<ParticleVector>> mWidth;
    std::vector<std::shared_ptr<ParticleVector>> mPreviousPosition;
    std::vector<TVec2> mParticleOffsets;
    int32_t mTimeEnter = 0;
    int32_t mTimeEnterBounce = 0;
    int32_t mTimeExit = 0;
    float mMoveEnterBounce = 0;
};
