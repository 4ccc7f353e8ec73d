// TWindowScript, the one script task that drives the window system (the window library, the window
// functions it offers scripts, window creation from description tables, the message hand-over to
// waiting screen scripts), with the script-side message objects TLuaMessage and TLuaMessageWrapper.
#pragma once

#include "platform/strings/tstring.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "ui/window.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TLuaFunction;
class TLuaTable;
class TWindowStyle;

// A creator makes a new window of one type; its address is the type's class id.
using TWindowCreator = TWindow* (*)();

// Told of every window built from a description table.
class TWindowCreationObserver
{
public:
    virtual ~TWindowCreationObserver() = default;
    virtual void OnWindowCreated(TWindow* window, TWindowStyle& style) = 0;
};

// The movie player the host integration supplies; without one no movie ever starts.
class TMoviePlayer
{
public:
    virtual ~TMoviePlayer() = default;
    virtual bool Play(const TString& file, bool translate, bool allowInput) = 0;
    virtual bool IsPlaying() = 0;
    virtual void Stop() = 0;
};
using TMoviePlayerFactory = std::unique_ptr<TMoviePlayer> (*)();
void SetMoviePlayerFactory(TMoviePlayerFactory factory);
// The cross-sell window's creator the host integration supplies; null registers none.
void SetCrossSellCreator(TWindowCreator creator);
TWindowCreator GetCrossSellCreator();

// Anchors a script message value in the registry while a posted message refers to it.
class TLuaMessage : public TLuaObjectWrapper
{
public:
    explicit TLuaMessage(lua_State* L) : TLuaObjectWrapper(L) {}
};

// A posted copy of a script message value: type, name and target copied, the value kept alive.
class TLuaMessageWrapper : public TMessage
{
public:
    // The message value lies at idx; `held` is the message it boxes.
    TLuaMessageWrapper(lua_State* L, int idx, TMessage* held);
    const char* GetClassName() const override { return "TLuaMessageWrapper"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TMessage::IsKindOf(id);
    }
    ~TLuaMessageWrapper() override = default;

    static TClassId GetClassId();

    // Pushes the anchored value.
    void PushValue() const { mAnchor.Push(); }
    TMessage* GetHeld() const { return mHeld; }

private:
    TLuaMessage mAnchor;
    TMessage* mHeld;
};

// Pushes a new message value owning the message (the collector deletes it).
void PushMessageValue(lua_State* L, TMessage* message);
// The message boxed by the message value at idx, or null for any other value.
TMessage* ToMessageValue(lua_State* L, int idx);

class TWindowScript : public TScript
{
public:
    // Wait states.
    enum : int32_t
    {
        kWaitFailed = 0,
        kWaitNever = 1,
        kWaitWaiting = 3
    };

    explicit TWindowScript(lua_State* L = nullptr);
    ~TWindowScript() override;

    bool HandleValue() override;

    void RegisterCreator(const TString& name, TWindowCreator creator);
    void PushWindow(TWindow* window);
    void ResetWindowStack(TWindow* window);
    // A deleted window leaves the current-window stack.
    void WindowGone(TWindow* window);
    // Takes the message (may be null); true when it was taken.
    bool HandleMessage(TMessage* message, TLuaFunction* command);
    void StopMovieLocked();
    void RunCommand(TLuaFunction* function);

    // Answers the previous value.
    bool SetTextFlag(bool value)
    {
        bool previous = mTextFlag;
        mTextFlag = value;
        return previous;
    }
    bool GetTextFlag() const { return mTextFlag; }
    void SetCreationObserver(TWindowCreationObserver* observer) { mObserver = observer; }
    int32_t GetWaitState() const { return mWaitState; }
    TWindow* GetCurrentWindow() const
    {
        return mWindowStack.empty() ? nullptr : mWindowStack.back();
    }
    size_t GetWindowStackSize() const { return mWindowStack.size(); }

    // The bound functions (adapters convert their arguments).
    void PostCreate(TLuaTable* table, const TString& typeName);
    TString GetLabel(const TString& name);
    void RegisterHotkey(const TString& key, const TString& button);
    void SetLabel(const TString& name, const TString& text);
    TString TagHotKey(const TString& label, const TString& key);
    void SetBitmap(const TString& name, const TString& image, float scale);
    void SetPosition(const TString& name, int32_t x, int32_t y);
    void SetWindowName(const TString& name);
    void FillRect(TLuaTable* rect, TLuaTable* color);
    uint32_t GetTimer();
    TString GetConfig(const TString& key);
    bool IsEnabled(const TString& key);
    void DoSelectLayer(int32_t layer);
    bool EnableWindow(const TString& name, bool on);
    bool GetButtonToggleState(const TString& name);
    void SetButtonToggleState(const TString& name, bool on);
    void PopWindow();
    void RealSetFocus(const TString& name);
    void StringToClipboard(const TString& text);
    void UpdateWindow();
    TString PushModal(const TString& name);
    void ClearModalChildren();
    int32_t GetWindowDepth();
    void DoPopModal(const TString& nameOrId);
    void GenericCreate(TLuaTable* table);
    TString GetString(const TString& label, const TString& a1, const TString& a2, const TString& a3,
                      const TString& a4, const TString& a5);
    bool StartMovie(const TString& file, bool translate, bool allowInput);
    bool IsMoviePlaying();
    void StopMovie();
    bool ImageLoaded(const TString& name);
    void DestroyWindow(const TString& name);
    void DoFitToChildren();

    // Bound as native closures: they read the stack themselves.
    int HandleGetMessage(lua_State* L);
    int SetCommand(lua_State* L);
    int StripKeyFromLabel(lua_State* L);
    int CreateNamedMessage(lua_State* L);
    int CreateCloseMessage(lua_State* L);
    int PostMessage(lua_State* L);
    int PostMessageToParent(lua_State* L);
    int CollectMessage(lua_State* L);

private:
    void BindFunctions();
    void BuildMessageMetatable();
    void RunLibrary();
    // Runs a statement in the script's state, keeping the stack as it was.
    void RunStatement(const char* text);
    // Searches the top modal, then each of its ancestors.
    TWindow* FindUpChain(const TString& name);
    TWindow* FindUnderTopModal(const TString& name);
    int PostMessageValue(lua_State* L, bool toParent);

    std::vector<TWindow*> mWindowStack;
    std::map<TString, TWindowCreator> mCreators;
    int32_t mWaitState = kWaitNever;
    TWindowCreationObserver* mObserver = nullptr;
    bool mTextFlag = false;
    std::unique_ptr<TMoviePlayer> mMovie;
};
