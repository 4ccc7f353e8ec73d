// TVButton: the framework's button. It keeps the toolkit button's state machine, firing, radio
// groups and messages, and draws itself from sprites: one graphic per visual state (optionally
// animated), decoration images, a caption with a font per state, offsets per state, named
// enter/exit/click sounds, on/off alphas, a disabled look that may fade, and pausing with its
// modal window.
#pragma once

#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"
#include "ui/button.h"

#include <cstdint>
#include <memory>
#include <vector>

class TextObject;
class TSprite;
class TTextSprite;

class TVButton : public TButton
{
public:
    // Offered every message the window manager's listeners see; never takes one.
    class MessageListener : public TMessageListener
    {
    public:
        using Function = bool (*)(TVButton* owner, TMessage* message);
        MessageListener(TVButton* owner, Function callback) : mOwner(owner), mCallback(callback) {}
        ~MessageListener() override = default;
        bool OnMessage(TMessage* message) override
        {
            return mOwner != nullptr && mCallback(mOwner, message);
        }

    private:
        TVButton* mOwner;
        Function mCallback;
    };

    // Graphic indices; an on toggle adds kOnShift.
    enum : int32_t
    {
        kGraphicNormal = 0,
        kGraphicPressed = 1,
        kGraphicRollover = 2,
        kGraphicDisabled = 3,
        kOnShift = 3
    };

    TVButton();
    ~TVButton() override;

    // The creator the game registers for "Button"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    // The window as a framework button, else null.
    static TVButton* Cast(TWindow* window);

    const char* GetClassName() const override { return "TVButton"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TButton::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // The per-frame update; true while the button has a caption.
    bool Animate() override { return Update(); }
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    bool OnMouseLeave() override;

    virtual void Pause();
    virtual void Resume();
    // Drawn after the graphic and the images, before the caption; nothing here.
    virtual void DrawExtra(const TDrawSpec& spec) { (void)spec; }

    bool Update();
    void SetEnabled(bool enabled, bool fade);
    void SetAlpha(float alpha);
    void SetText(const TString& text);

    bool IsDisabled() const { return mDisabled; }
    bool IsHovered() const { return mHovered; }
    bool IsPressed() const { return mPressed; }
    bool IsPaused() const { return mPaused; }
    int32_t GetCurrentGraphic() const { return mCurrentGraphic; }
    int32_t GetFrame() const { return mFrame; }
    const std::vector<std::shared_ptr<TSprite>>& GetGraphics() const { return mGraphics; }
    const std::vector<std::shared_ptr<TSprite>>& GetImages() const { return mImages; }
    int32_t GetEnterSound() const { return mEnterSound; }
    int32_t GetExitSound() const { return mExitSound; }
    int32_t GetClickSound() const { return mClickSound; }
    const TDrawSpec& GetDrawSpec() const { return mDrawSpec; }
    const TDrawSpec& GetPositionSpec() const { return mPositionSpec; }
    TDrawSpec& GetPositionSpec() { return mPositionSpec; }
    TM_Transform2D& GetTransform() { return *mTransform; }
    const std::shared_ptr<TextObject>& GetCaption() const { return mCaption; }
    const std::shared_ptr<TextObject>& GetRolloverCaption() const { return mRolloverCaption; }
    const std::shared_ptr<TextObject>& GetClickCaption() const { return mClickCaption; }
    const std::shared_ptr<TextObject>& GetDisabledCaption() const { return mDisabledCaption; }
    const std::vector<std::shared_ptr<TTextSprite>>& GetCaptionSprites() const
    {
        return mCaptionSprites;
    }

private:
    static bool OnListenerMessage(TVButton* button, TMessage* message);
    bool HitTest(TPoint point);
    TSprite* CurrentGraphic() const;
    // The graphic index of a state, shifted for a toggle that is on.
    int32_t StateGraphic(int32_t index) const;
    bool IsOnToggle() const { return GetType() == kToggle && mOnShown; }
    void PlaySound(int32_t handle);
    TDrawSpec CombinedSpec() const;
    // The caption's further text sprites follow its fitted size.
    void FollowCaption();

    std::vector<std::shared_ptr<TSprite>> mImages;
    TDrawSpec mDrawSpec;
    std::shared_ptr<TextObject> mCaption;
    std::shared_ptr<TextObject> mRolloverCaption;
    std::shared_ptr<TextObject> mClickCaption;
    std::shared_ptr<TextObject> mDisabledCaption;
    std::vector<std::shared_ptr<TTextSprite>> mCaptionSprites;
    std::vector<std::shared_ptr<TSprite>> mGraphics;
    int32_t mCurrentGraphic = 0;
    int32_t mClickSound = 0;
    int32_t mEnterSound = 0;
    int32_t mExitSound = 0;
    int32_t mFramePeriod = 0;
    int32_t mElapsed = 0;
    int32_t mFrame = 0;
    int32_t mDisabledFadeTime = 0;
    bool mPaused = false;
    bool mLeavePending = false;
    bool mOnShown = false;
    bool mDisabled = false;
    bool mHovered = false;
    bool mPressed = false;
    bool mLoop = false;
    bool mSpriteCollision = false;
    float mOnAlpha = 1.0f;
    float mOffAlpha = 1.0f;
    float mDisabledAlpha = 1.0f;
    TDrawSpec mPositionSpec;
    TDrawSpec mTransformSpec;
    // Over the transform spec; the key of the button's transforms.
    std::unique_ptr<TM_Transform2D> mTransform;
    TVec2 mClickOffset;
    TVec2 mRolloverOffset;
    TVec2 mDisabledOffset;
    TVec2 mTextClickOffset;
    TVec2 mTextRolloverOffset;
    TVec2 mTextDisabledOffset;
    MessageListener* mListener = nullptr;
};
