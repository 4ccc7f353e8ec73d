// TButton: its style keys and "graphics" layers, the mouse state machine with capture, the layer
// and sound of each state, the mask hit test, Click and Fire, radio groups and toggles, and the
// script command action.
#include "ui/button.h"

#include "platform/config/config.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "sound/sound.h"
#include "ui/image.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"
#include "ui/window_style.h"

#include <new>

namespace
{
// A mask pixel hits when one of its colour bytes reaches this.
constexpr uint32_t kMaskThreshold = 20;

void MarkDirty()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}

// The script value held by the wrapper has the Lua type.
bool HoldsType(TLuaObjectWrapper* value, int type)
{
    lua_State* L = value != nullptr ? value->GetState() : nullptr;
    if (L == nullptr)
        return false;
    value->Push();
    bool match = lua_type(L, -1) == type;
    lua_pop(L, 1);
    return match;
}

// A script string literal holding the text exactly: quotes, backslashes, brackets and control
// bytes are written as decimal escapes, so no name can end the literal early.
TString QuoteForScript(const TString& text)
{
    TString quoted = "\"";
    for (const char* p = text.c_str(); *p != 0; ++p)
    {
        auto byte = static_cast<unsigned char>(*p);
        if (byte < 0x20 || byte == '"' || byte == '\\' || byte == 0x7F)
            quoted += TString::Format("\\%03u", byte);
        else
            quoted += *p;
    }
    quoted += "\"";
    return quoted;
}

} // namespace

// ---- actions ----

TButton::LuaAction::LuaAction(TLuaFunction* function) : mFunction(function) {}

TButton::LuaAction::~LuaAction()
{
    delete mFunction;
}

void TButton::LuaAction::Execute(TButton* button)
{
    auto* message = new TMessage(kCommandOnly, TString("LuaAction:") + button->GetName());
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    if (script == nullptr)
    {
        delete message;
        return;
    }
    script->DoLuaString(TString("function GetButtonName() return ") +
                        QuoteForScript(button->GetName()) + "; end;");
    script->HandleMessage(message, mFunction);
}

// ---- the button ----

TButton::TButton() : TLayeredWindow(4)
{
    // Once a button exists, the modal windows' Enter, Escape and hot keys can find buttons.
    SetButtonQuery(&TButton::QueryControl);
    SelectLayer(0);
}

TButton::~TButton()
{
    // Safe while the window manager itself goes: capture release and layer change only.
    TButton::OnMouseLeave();
    mMask.clear();
    mAction.reset();
    for (auto& sound : mSounds)
        sound.reset();
}

TWindow* TButton::Create()
{
    return new (std::nothrow) TButton();
}

TClassId TButton::GetClassId()
{
    return reinterpret_cast<TClassId>(&TButton::Create);
}

TButton* TButton::FromWindow(TWindow* window)
{
    return window != nullptr && window->IsKindOf(GetClassId()) ? static_cast<TButton*>(window)
                                                               : nullptr;
}

TButtonControl* TButton::QueryControl(TWindow* window)
{
    TButton* button = FromWindow(window);
    return button != nullptr ? &button->mControl : nullptr;
}

bool TButton::OnAttach()
{
    SetState(kNormal);
    return true;
}

void TButton::Init(TWindowStyle& style)
{
    TWindow::Init(style);
    TString sound = style.GetString("sound", TString());
    TString rolloverSound = style.GetString("rolloversound", TString());
    TString mask = style.GetString("mask", TString());
    SetType(style.GetInt("type", 0));
    auto scale = static_cast<float>(style.GetNumber("scale", 1.0));

    uint32_t bits = 0;
    if (style.GetBool("sendToParent", false))
        bits |= 2;
    if (style.GetBool("beginGroup", false))
        bits |= 1;
    if (style.GetBool("close", false))
        bits |= 4;
    if (style.GetBool("default", false))
        bits |= 8;
    if (style.GetBool("cancel", false))
        bits |= 16;
    // Before the options, so that a radio button created on clears its group.
    if (style.GetBool("on", false))
        SetToggleState(true);
    SetOptions(bits);

    if (sound.Length() != 0)
        SetSound(kClickSound, sound);
    if (rolloverSound.Length() != 0)
        SetSound(kHoverSound, rolloverSound);
    if (mask.Length() != 0)
        SetMask(TTexture::Get(mask, 0));

    std::unique_ptr<TLuaTable> graphics(style.GetTable("graphics"));
    if (HoldsType(graphics.get(), LUA_TTABLE))
    {
        int count = mType == kPush ? 3 : 4;
        uint32_t flip =
            (style.GetBool("hflip", false) ? 1u : 0u) | (style.GetBool("vflip", false) ? 2u : 0u);
        bool rotate = style.GetBool("rotate", false);
        TImage* newest = nullptr;
        for (int i = 0; i < count; ++i)
        {
            TString name = graphics->GetStringAt(i + 1);
            if (name.Length() != 0)
            {
                newest = new TImage(true);
                newest->SetTexture(TTexture::Get(name, 0), scale);
                newest->SetName(TString::Format("image%d", i));
                newest->SetDrawFlags(flip);
                newest->SetRotate(rotate);
            }
            SelectLayer(static_cast<uint32_t>(i));
            // An empty entry shows the image of the entry before it in this layer as well.
            if (newest != nullptr)
                AddChild(newest, true);
        }
        FitToChildren();
    }
    graphics.reset();

    std::unique_ptr<TLuaFunction> command(style.GetFunction("command"));
    if (HoldsType(command.get(), LUA_TFUNCTION))
        SetAction(new LuaAction(command.release()));
    // What the script adds from here on (a label, say) shows in every layer.
    SelectLayer(kAllLayers);
}

void TButton::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    SetState(kNormal);
}

void TButton::SetType(int32_t type)
{
    // A signed 4-bit field.
    int32_t low = type & 0xF;
    mType = low >= 8 ? low - 16 : low;
}

void TButton::SetState(int32_t state)
{
    int32_t old = mState;
    // A signed 3-bit field.
    int32_t low = state & 0x7;
    mState = low >= 4 ? low - 8 : low;
    OnStateChange(mState, old);
}

void TButton::PlayOnce(int index)
{
    if (mSounds[index])
        mSounds[index]->Play(false);
}

void TButton::OnStateChange(int32_t newState, int32_t oldState)
{
    if (newState != oldState && newState != kPressed && oldState != kClicked &&
        (newState == kNormal || newState == kHover) && (GetFlags() & kWindowVisible) != 0)
        PlayOnce(newState);

    if (newState == kClicked)
        return;
    if (mType == kPush)
    {
        if (newState == kNormal)
            SelectLayer(0);
        else if (newState == kPressed)
            SelectLayer(1);
        else if (newState == kHover)
            SelectLayer(2);
    }
    else if (mType == kToggle || mType == kRadio)
    {
        bool on = IsOn();
        if (newState == kNormal)
            SelectLayer(on ? 1 : 0);
        else if (newState == kPressed)
            SelectLayer(on ? 0 : 1);
        else if (newState == kHover)
            SelectLayer(on ? 3 : 2);
    }
}

void TButton::SetOptions(uint32_t bits)
{
    if ((bits & 1) != 0)
        AddFlagBits(kWindowBeginGroup);
    if ((bits & 2) != 0)
        mOptions |= kSendToParent;
    if ((bits & 4) != 0)
        mOptions |= kClose;
    if ((bits & 8) != 0)
        mOptions |= kDefault;
    if ((bits & 16) != 0)
        mOptions |= kCancel;
}

void TButton::SetSound(int index, const TString& name)
{
    if (index >= 0 && index < 3)
        mSounds[index] = TSound::Get(name, true, 0);
}

void TButton::SetMask(std::shared_ptr<TTexture> texture)
{
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(pixels, pitch))
        return;
    mMaskWidth = texture->GetWidth();
    mMaskHeight = texture->GetHeight();
    mMask.assign(static_cast<size_t>(mMaskWidth) * mMaskHeight, 0);
    for (uint32_t y = 0; y < mMaskHeight; ++y)
        for (uint32_t x = 0; x < mMaskWidth; ++x)
            mMask[static_cast<size_t>(y) * mMaskWidth + x] =
                pixels[static_cast<size_t>(y) * static_cast<size_t>(pitch) + x];
    texture->Unlock();
}

void TButton::SetAction(Action* action)
{
    mAction.reset(action);
}

void TButton::SetToggleState(bool on)
{
    if (mType == kRadio && on && GetParent() != nullptr)
    {
        TRadioButtonSpider spider(this);
        GetParent()->VisitChildren(spider, true);
        spider.mPhase = 1;
        GetParent()->VisitChildren(spider, true);
    }
    if (on)
        mOptions |= kOn;
    else
        mOptions &= ~static_cast<uint32_t>(kOn);
    SetState(mState);
    MarkDirty();
}

void TButton::Toggle()
{
    mOptions ^= kOn;
    SetState(mState);
}

void TButton::SetLabel(const TString& text)
{
    TWindow* label = FindChild("label", UINT32_MAX);
    if (label != nullptr && label->IsKindOf(TText::GetClassId()))
        static_cast<TText*>(label)->SetText(text);
}

TString TButton::GetLabel()
{
    TWindow* label = FindChild("label", UINT32_MAX);
    if (label != nullptr && label->IsKindOf(TText::GetClassId()))
        return static_cast<TText*>(label)->GetText();
    return TString();
}

bool TButton::LeaveIfOutside(TPoint point)
{
    // The handlers hand points in the button's own coordinates: the client rectangle is the test.
    TRect rect = GetClientRect();
    bool miss = point.x < rect.left || point.x >= rect.right || point.y < rect.top ||
                point.y >= rect.bottom;
    if (!miss && !mMask.empty() && mMaskWidth >= 1 && mMaskHeight >= 1)
    {
        float ratioX = static_cast<float>(rect.Width()) / static_cast<float>(mMaskWidth);
        float ratioY = static_cast<float>(rect.Height()) / static_cast<float>(mMaskHeight);
        // "fixbuttonmask" is still read, but the mask coordinate is always divided: multiplying
        // picked the wrong pixel whenever the button's size differs from its mask's.
        (void)IsEnabled("fixbuttonmask");
        float fx = static_cast<float>(point.x - rect.left) / ratioX;
        float fy = static_cast<float>(point.y - rect.top) / ratioY;
        // Non-negative here, so the conversion truncates toward zero.
        auto mx = static_cast<int64_t>(fx);
        auto my = static_cast<int64_t>(fy);
        if (!(fx < static_cast<float>(mMaskWidth)) || !(fy < static_cast<float>(mMaskHeight)) ||
            mx >= mMaskWidth || my >= mMaskHeight)
        {
            miss = true;
        }
        else
        {
            uint32_t pixel = mMask[static_cast<size_t>(my) * mMaskWidth + static_cast<size_t>(mx)];
            miss = ((pixel >> 16) & 0xFF) < kMaskThreshold &&
                   ((pixel >> 8) & 0xFF) < kMaskThreshold && (pixel & 0xFF) < kMaskThreshold;
        }
    }
    if (miss)
        OnMouseLeave();
    return miss;
}

bool TButton::OnMouseDown(TPoint point)
{
    if (mState == kNormal)
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->SetCapture(this);
    }
    SetState(kPressed);
    LeaveIfOutside(point);
    return true;
}

bool TButton::OnMouseMove(TPoint point)
{
    if (LeaveIfOutside(point))
        return false;
    if (mState != kNormal)
        return true;
    SetState(kHover);
    if (TWindowManager* manager = GetWindowManager())
        manager->SetCapture(this);
    return true;
}

bool TButton::OnMouseUp(TPoint point)
{
    if (mState == kNormal || LeaveIfOutside(point))
        return true;
    if (mState == kPressed && !Click())
        return true;
    if (!IsShown())
        OnMouseLeave();
    else
        SetState(kHover);
    return true;
}

bool TButton::OnMouseLeave()
{
    if (mState != kNormal)
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->ReleaseCapture(this);
    }
    SetState(kNormal);
    return true;
}

bool TButton::Click()
{
    OnStateChange(kClicked, kPressed);
    if (mSounds[kClickSound] && IsShown())
        PlayOnce(kClickSound);
    if (!Fire())
    {
        if (mType == kRadio)
            SetToggleState(true);
        else if (mType == kToggle)
            Toggle();
        TWindowManager* manager = GetWindowManager();
        if (manager != nullptr && manager->GetTopModal() == FindModalParent())
            return true;
    }
    OnMouseLeave();
    return false;
}

bool TButton::Fire()
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return false;
    TModalWindow* modal = FindModalParent();
    if ((mOptions & kClose) != 0 && modal != nullptr)
    {
        manager->PostMessage(new TMessage(kCloseWindow, modal->GetIdString()));
        if (TWindowScript* script = manager->GetScript())
            script->SetGlobalString("gReturnValue", GetName());
    }
    TWindow* target = GetParent();
    if ((mOptions & kSendToParent) != 0)
    {
        TModalWindow* top = manager->GetTopModal();
        target = top != nullptr ? top->GetParent() : nullptr;
    }
    auto* message = new TMessage(kButtonPress, GetName(), target);
    if (!mAction)
    {
        manager->PostMessage(message);
        return false;
    }
    mAction->Execute(this);
    TWindow* root = manager->GetRoot();
    for (TWindow* w = this; w != nullptr; w = w->GetParent())
    {
        if (w == root)
        {
            manager->PostMessage(message);
            return false;
        }
    }
    if ((mOptions & kSendToParent) != 0)
        manager->PostMessage(message);
    else
        delete message;
    return true;
}

bool TRadioButtonSpider::Visit(TWindow* child)
{
    if (mPhase == 0)
    {
        if ((child->GetFlags() & kWindowBeginGroup) != 0)
            mGroupStart = child;
        return child != mButton;
    }
    if (child == mGroupStart)
        mStarted = true;
    else if (mStarted && (child->GetFlags() & kWindowBeginGroup) != 0)
        return false;
    if (!mStarted || child == mButton)
        return true;
    if (TButton* other = TButton::FromWindow(child))
        other->SetToggleState(false);
    return true;
}
