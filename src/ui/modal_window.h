// TModalWindow, a window that sits on the window manager's modal stack with its own tasks, clock,
// focus window, cover set and hot keys; TScreen, the root modal; hot-key text and the default-
// button search.
#pragma once

#include "ui/window.h"

#include <map>
#include <memory>
#include <set>

class TModalWindow : public TWindow
{
public:
    TModalWindow();
    ~TModalWindow() override;

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TModalWindow"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // Starts the clock.
    bool OnAttach() override;
    void PostInit(TWindowStyle& style) override;
    bool OnMessage(TMessage* message) override;
    // Enter and Escape: the default or cancel button, else kDefaultAction.
    bool OnChar(char c) override;
    // Hot keys.
    bool OnKeyDown(char key, int32_t modifiers) override;
    void OnSetFocus(TWindow* previous) override;
    // An empty button name removes the binding.
    virtual void RegisterHotKey(const TString& key, const TString& buttonName);

    void AddTask(TTask* task);
    void RunTasks(int kind);
    void ClearTasks();
    TTaskList& GetTasks() { return *mTasks; }
    TClock& GetClock() { return mClock; }

    TWindow* GetFocusWindow() const { return mFocusWindow; }
    void SetFocusWindow(TWindow* window);

    // Joins (covers) or leaves the cover set; the modal carries 0x800 while the set is not empty.
    void UpdateCover(TWindow* window, bool covers);
    bool IsInCoverSet(const TWindow* window) const
    {
        return mCoverSet.count(const_cast<TWindow*>(window)) != 0;
    }
    // Clicks the button of that name below this modal; logs when there is none.
    void PressHotKeyButton(const TString& name);
    const std::map<TString, TString>& GetHotKeys() const { return mHotKeys; }

private:
    bool FireHotKey(const TString& key);

    std::unique_ptr<TTaskList> mTasks;
    TWindow* mFocusWindow = nullptr;
    std::set<TWindow*> mCoverSet;
    TClock mClock;
    std::map<TString, TString> mHotKeys;
};

class TScreen : public TModalWindow
{
public:
    TScreen();

    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "TScreen"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TModalWindow::IsKindOf(id);
    }
    // Clears the viewport when it is the top modal (or always) unless told never to.
    void Draw() override;

    bool mAlwaysClear = false;
    // The game's main function sets it on the root screen.
    bool mNeverClear = false;
    TVec4 mClearColor;
};

// The canonical hot-key text: "shift-", "ctrl-", "alt-" in that order, then one upper-case
// character; or "@" and one upper-case character, which ignores the modifiers.
TString ParseHotKey(const TString& text);

// Searches every level below a modal for its shown default (option 0x8) and cancel (option 0x10)
// buttons; stops once both are known.
class FindDefault : public TWindowSpider
{
public:
    bool Visit(TWindow* window) override;

    TWindow* mDefault = nullptr;
    TWindow* mCancel = nullptr;
};

// What the modal asks of a button; the toolkit's button type answers it.
class TButtonControl
{
public:
    virtual ~TButtonControl() = default;
    // The button's options (0x8 default, 0x10 cancel).
    virtual uint32_t GetButtonOptions() const = 0;
    virtual void Click() = 0;
    // True when the press was carried out.
    virtual bool Fire() = 0;
};
// The button behind a window, or null when the window is not a button. Until the button type
// exists no window is one.
using TButtonQuery = TButtonControl* (*)(TWindow* window);
void SetButtonQuery(TButtonQuery query);
TButtonControl* AsButton(TWindow* window);
