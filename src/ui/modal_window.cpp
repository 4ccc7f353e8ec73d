// TModalWindow (tasks, clock, focus window, cover set, Enter and Escape, hot keys), TScreen,
// ParseHotKey and the default-button search.
#include "ui/modal_window.h"

#include "platform/log.h"
#include "ui/window_manager.h"

namespace
{
TButtonQuery gButtonQuery = nullptr;

char UpperByte(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

void SetButtonQuery(TButtonQuery query)
{
    gButtonQuery = query;
}

TButtonControl* AsButton(TWindow* window)
{
    return window != nullptr && gButtonQuery != nullptr ? gButtonQuery(window) : nullptr;
}

TString ParseHotKey(const TString& text)
{
    TString lower = text;
    lower.MakeLower();
    int length = lower.Length();
    if (length == 0)
        return TString();
    TString result;
    if (length != 1 && lower.CharAt(0) == '@')
    {
        result = "@";
    }
    else
    {
        if (lower.Find("shift-") >= 0)
            result += "shift-";
        if (lower.Find("ctrl-") >= 0 || lower.Find("control-") >= 0)
            result += "ctrl-";
        if (lower.Find("alt-") >= 0)
            result += "alt-";
    }
    // Byte-wise: key codes of arrows and the like are negative chars.
    result += UpperByte(lower.CharAt(length - 1));
    return result;
}

bool FindDefault::Visit(TWindow* window)
{
    if (TButtonControl* button = AsButton(window); button != nullptr && window->IsShown())
    {
        uint32_t options = button->GetButtonOptions();
        if ((options & 0x8) != 0)
            mDefault = window;
        if ((options & 0x10) != 0)
            mCancel = window;
        if (mDefault != nullptr && mCancel != nullptr)
            return false;
    }
    window->VisitChildren(*this, false);
    return true;
}

TModalWindow::TModalWindow() : mTasks(std::make_unique<TTaskList>())
{
    AddFlagBits(kWindowModal | kWindowFocusable);
}

TModalWindow::~TModalWindow()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->PostMessage(new TMessage(kModalClosed, GetIdString()));
    mTasks.reset();
    mHotKeys.clear();
    mCoverSet.clear();
}

TWindow* TModalWindow::Create()
{
    return new TModalWindow();
}

TClassId TModalWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&TModalWindow::Create);
}

bool TModalWindow::OnAttach()
{
    mClock.Start();
    return true;
}

void TModalWindow::PostInit(TWindowStyle& style)
{
    FitToChildren();
    TWindow::PostInit(style);
}

bool TModalWindow::OnMessage(TMessage* message)
{
    if (message->mType != kCloseWindow)
        return false;
    if (message->mName.Length() != 0)
    {
        if (TWindowManager* manager = GetWindowManager())
            manager->DoPopModal(message->mName);
    }
    return true;
}

bool TModalWindow::OnChar(char c)
{
    if (c != 13 && c != 27)
        return false;
    FindDefault spider;
    VisitChildren(spider, false);
    TWindow* button = c == 13 ? spider.mDefault : spider.mCancel;
    if (TButtonControl* control = AsButton(button); control != nullptr && control->Fire())
        return true;
    TWindowManager* manager = GetWindowManager();
    TWindow* target =
        manager != nullptr && manager->GetFocus() != nullptr ? manager->GetFocus() : this;
    target->SendMessage(new TMessage(kDefaultAction, TString()));
    return true;
}

bool TModalWindow::FireHotKey(const TString& key)
{
    auto it = mHotKeys.find(key);
    if (it == mHotKeys.end())
        return false;
    PressHotKeyButton(it->second);
    // The platform's character event for the same key press is dropped.
    gSwallowNextChar = true;
    return true;
}

bool TModalWindow::OnKeyDown(char key, int32_t modifiers)
{
    TString text;
    if ((modifiers & kModifierShift) != 0)
        text += "shift-";
    if ((modifiers & kModifierControl) != 0)
        text += "ctrl-";
    if ((modifiers & kModifierAlt) != 0)
        text += "alt-";
    text += key;
    if (FireHotKey(ParseHotKey(text)))
        return true;
    return FireHotKey(TString("@") + key);
}

void TModalWindow::OnSetFocus(TWindow* previous)
{
    (void)previous;
    if (mFocusWindow == nullptr)
        return;
    if (TWindowManager* manager = GetWindowManager())
        manager->SetFocus(mFocusWindow);
}

void TModalWindow::RegisterHotKey(const TString& key, const TString& buttonName)
{
    TString canonical = ParseHotKey(key);
    if (buttonName.Length() == 0)
        mHotKeys.erase(canonical);
    else
        mHotKeys[canonical] = buttonName;
}

void TModalWindow::AddTask(TTask* task)
{
    mTasks->Add(task);
}

void TModalWindow::RunTasks(int kind)
{
    mTasks->Run(kind);
}

void TModalWindow::ClearTasks()
{
    mTasks->DeleteAll();
}

void TModalWindow::SetFocusWindow(TWindow* window)
{
    mFocusWindow = window;
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr && manager->GetFocus() == this)
        manager->SetFocus(window);
}

void TModalWindow::UpdateCover(TWindow* window, bool covers)
{
    if (covers)
        mCoverSet.insert(window);
    else
        mCoverSet.erase(window);
    uint32_t flags = GetFlags();
    SetFlags(mCoverSet.empty() ? flags & ~kWindowCovers : flags | kWindowCovers);
}

void TModalWindow::PressHotKeyButton(const TString& name)
{
    TButtonControl* button = AsButton(FindChild(name, UINT32_MAX));
    if (button != nullptr)
        button->Click();
    else
        Log("ERROR: Hot key button not found. Button:'%s'", name.c_str());
}

TScreen::TScreen()
{
    AddFlagBits(kWindowRenderTargetPass | kWindowCovers);
    SetName("_screen_");
}

TWindow* TScreen::Create()
{
    return new TScreen();
}

TClassId TScreen::GetClassId()
{
    return reinterpret_cast<TClassId>(&TScreen::Create);
}
