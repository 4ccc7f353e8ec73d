// TButton, the toolkit's push, toggle and radio button: a four-layer window with a state machine
// driven by the mouse, sounds, an optional hit mask, and the press it fires (closing its modal
// window, running a script command, queueing kButtonPress); its actions and the radio-group
// visitor.
#pragma once

#include "ui/layered_window.h"
#include "ui/modal_window.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaFunction;
class TSound;
class TTexture;

class TButton : public TLayeredWindow
{
public:
    enum : int32_t
    {
        kPush = 0,
        kToggle = 1,
        kRadio = 2
    };
    enum : int32_t
    {
        kNormal = 0,
        kPressed = 1,
        kHover = 2,
        kClicked = 3
    };
    // Option bits.
    enum : uint32_t
    {
        kSendToParent = 0x1,
        kOn = 0x2,
        kClose = 0x4,
        kDefault = 0x8,
        kCancel = 0x10
    };
    // Sound slots.
    enum : int
    {
        kNormalSound = 0,
        kClickSound = 1,
        kHoverSound = 2
    };

    // What a press runs before its message is posted.
    class Action
    {
    public:
        virtual ~Action() = default;
        virtual void Execute(TButton* button) = 0;
    };

    // Hands a script function to the window script with the press.
    class LuaAction : public Action
    {
    public:
        // Owns the function.
        explicit LuaAction(TLuaFunction* function);
        ~LuaAction() override;
        void Execute(TButton* button) override;
        TLuaFunction* GetFunction() const { return mFunction; }

    private:
        TLuaFunction* mFunction;
    };

    TButton();
    ~TButton() override;

    // The creator registered for "Button"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    // The window when it is a button, else null.
    static TButton* FromWindow(TWindow* window);

    const char* GetClassName() const override { return "TButton"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TLayeredWindow::IsKindOf(id);
    }
    bool OnAttach() override;
    void Init(TWindowStyle& style) override;
    void PostInit(TWindowStyle& style) override;
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    bool OnMouseLeave() override;

    // The button's own operations, which a derived button may replace. Click answers true when the
    // button stays pressed in its own, still topmost modal window.
    virtual bool Click();
    virtual void OnStateChange(int32_t newState, int32_t oldState);
    virtual void SetState(int32_t state);

    void SetType(int32_t type);
    int32_t GetType() const { return mType; }
    int32_t GetState() const { return mState; }
    // Bit 1 begin group, 2 send-to-parent, 4 close, 8 default, 16 cancel; set, never cleared.
    void SetOptions(uint32_t bits);
    uint32_t GetOptions() const { return mOptions; }
    bool IsOn() const { return (mOptions & kOn) != 0; }
    void SetSound(int index, const TString& name);
    const std::shared_ptr<TSound>& GetSound(int index) const { return mSounds[index]; }
    // Keeps the previous mask when the texture is null or cannot be locked.
    void SetMask(std::shared_ptr<TTexture> texture);
    uint32_t GetMaskWidth() const { return mMaskWidth; }
    uint32_t GetMaskHeight() const { return mMaskHeight; }
    // Owned from here on; the previous action is deleted.
    void SetAction(Action* action);
    Action* GetAction() const { return mAction.get(); }
    void SetToggleState(bool on);
    void Toggle();
    // The text of the descendant named "label" when it is a text window.
    void SetLabel(const TString& text);
    TString GetLabel();
    // True when the action took the button out of the window tree.
    bool Fire();

private:
    // What the modal window asks of a button.
    class Control : public TButtonControl
    {
    public:
        explicit Control(TButton* button) : mButton(button) {}
        uint32_t GetButtonOptions() const override { return mButton->mOptions; }
        void Click() override { mButton->Click(); }
        bool Fire() override { return mButton->Fire(); }

    private:
        TButton* mButton;
    };
    static TButtonControl* QueryControl(TWindow* window);

    // True when the point (in the button's coordinates) misses; a miss leaves the button first.
    bool LeaveIfOutside(TPoint point);
    void PlayOnce(int index);

    // The type and state are signed 4-bit and 3-bit fields.
    int32_t mType = 0;
    int32_t mState = 0;
    uint32_t mOptions = 0;
    std::unique_ptr<Action> mAction;
    std::shared_ptr<TSound> mSounds[3];
    std::vector<uint32_t> mMask;
    uint32_t mMaskWidth = 0;
    uint32_t mMaskHeight = 0;
    Control mControl{this};
};

// Turns off the other buttons of a radio button's group: the siblings from the nearest
// begin-group window at or before the button up to the next begin-group window.
class TRadioButtonSpider : public TWindowSpider
{
public:
    explicit TRadioButtonSpider(TButton* button) : mButton(button) {}
    bool Visit(TWindow* child) override;

    int mPhase = 0;
    bool mStarted = false;
    TWindow* mGroupStart = nullptr;
    TButton* mButton;
};
