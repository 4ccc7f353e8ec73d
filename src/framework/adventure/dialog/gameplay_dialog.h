// GameplayDialog: a small message box inside a screen's window tree (a picture, an optional text
// and the children its style declares). Hidden until shown; fades in, enables its buttons once
// the fade has ended, and closes on the script function "HideDialog", calling its caller back.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>

class TextObject;
class TSprite;
struct Callback;

class GameplayDialog : public TWindow
{
public:
    enum : int32_t
    {
        kHidden = 0,
        kShown = 1,
        kFadingIn = 2
    };

    // Hands the box's enabled state and alpha down to every descendant, depth first.
    class ChildHandler : public TWindowSpider
    {
    public:
        ~ChildHandler() override = default;
        bool Visit(TWindow* window) override;

        bool mEnabled = false;
        float mAlpha = 0.0f;
    };

    GameplayDialog();
    ~GameplayDialog() override;

    // The creator registered for "GameplayDialog"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "GameplayDialog"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void Draw() override;
    // The per-frame step the frame driver calls through the animation slot.
    bool Animate() override { return Update(); }
    bool Update();

    // Binds "HideDialog" to this box and fades it in; the callback (borrowed) is called with 0
    // once the box has faded out again.
    void Show(Callback* callback);
    // What "HideDialog" does; the argument is not used.
    void HideDialog(const TString& argument);

    int32_t GetState() const { return mState; }
    float GetAlpha() { return mTransform.GetAlpha(); }
    // The fade's target, which a window holding the box pauses with it.
    TM_Transform2D& GetTransform() { return mTransform; }
    const ChildHandler& GetChildHandler() const { return mChildHandler; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mTextObject; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }

private:
    static void OnShown(void* object, TM_Transform* target, uint32_t id);
    static void OnHidden(void* object, TM_Transform* target, uint32_t id);
    void Fade(float to, void (*handler)(void*, TM_Transform*, uint32_t));

    Callback* mHeldCallback = nullptr;
    int32_t mState = kHidden;
    int32_t mTimeFade = 0;
    std::shared_ptr<TSprite> mSprite;
    TM_Transform2D mTransform;
    std::shared_ptr<TextObject> mTextObject;
    ChildHandler mChildHandler;
};
