// The window script: its bound window functions, window creation from description tables, the
// wait for messages and the hand-over of messages to the waiting screen script; message values.
#include "ui/window_script.h"

#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/log.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "script/lauxlib.h"
#include "script/lua_bind.h"
#include "ui/button.h"
#include "ui/image.h"
#include "ui/modal_window.h"
#include "ui/slider.h"
#include "ui/text_edit.h"
#include "ui/text_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

#include <algorithm>
#include <cctype>
#include <string>

extern const unsigned char kWindowLibrary[];
extern const unsigned long kWindowLibrarySize;

namespace
{

constexpr const char* kMessageMetatableKey = "qmMessageMetatable";
constexpr uint32_t kAnyDepth = 0xFFFFFFFFu;

TMoviePlayerFactory gMoviePlayerFactory = nullptr;
TWindowCreator gCrossSellCreator = nullptr;

using TRawMember = int (TWindowScript::*)(lua_State*);
using TRawRecord = luabind_detail::MemberRecord<TWindowScript, TRawMember>;

int RawMemberThunk(lua_State* L)
{
    auto* record = static_cast<TRawRecord*>(lua_touserdata(L, lua_upvalueindex(1)));
    if (record == nullptr || record->mHead.mObject == nullptr)
        return luabind_detail::RaiseDestroyedObject(L);
    auto* object = static_cast<TWindowScript*>(record->mHead.mObject);
    return (object->*record->mMember)(L);
}

// Pushes a closure over a member record of the script (the shape every bound function has).
void PushRawClosure(lua_State* L, TWindowScript* object, TRawMember member, lua_CFunction thunk)
{
    void* block = lua_newuserdata(L, sizeof(TRawRecord));
    new (block) TRawRecord{{luabind_detail::MemberRecordHead::kMagic, object, object}, member};
    luabind_detail::MarkMemberRecord(L);
    lua_pushcclosure(L, thunk, 1);
}

void BindRaw(lua_State* L, const char* name, TWindowScript* object, TRawMember member)
{
    lua_pushstring(L, name);
    PushRawClosure(L, object, member, &RawMemberThunk);
    lua_settable(L, LUA_GLOBALSINDEX);
}

// The collector's call must work even after the bindings were cut, so it does not go through
// the object.
int CollectThunk(lua_State* L)
{
    // The collector calls this once per value.
    delete ToMessageValue(L, 1);
    return 0;
}

int MessageIndex(lua_State* L)
{
    TMessage* message = ToMessageValue(L, 1);
    if (message == nullptr)
        return 0;
    const char* key = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : "";
    if (std::string(key) == "type")
        lua_pushnumber(L, message->mType);
    else if (std::string(key) == "name")
        LuaPushString(L, message->mName);
    else
        lua_pushnil(L);
    return 1;
}

// The names bound by the constructor, in their order; unbinding walks the same list.
const char* const kBoundNames[] = {"PostCreate",
                                   "GetLabel",
                                   "_RegisterHotkey",
                                   "SetLabel",
                                   "TagHotKey",
                                   "_SetBitmap",
                                   "SetPosition",
                                   "SetCommand",
                                   "StripKeyFromLabel",
                                   "SetWindowName",
                                   "FillRect",
                                   "GetTimer",
                                   "GetConfig",
                                   "IsEnabled",
                                   "DoSelectLayer",
                                   "EnableWindow",
                                   "GetButtonToggleState",
                                   "SetButtonToggleState",
                                   "PopWindow",
                                   "RealSetFocus",
                                   "StringToClipboard",
                                   "UpdateWindow",
                                   "PushModal",
                                   "ClearModalChildren",
                                   "GetWindowDepth",
                                   "DoPopModal",
                                   "HandleGetMessage",
                                   "GenericCreate",
                                   "CreateNamedMessage",
                                   "CreateCloseMessage",
                                   "PostMessage",
                                   "PostMessageToParent",
                                   "_GetString",
                                   "StartMovie",
                                   "IsMoviePlaying",
                                   "StopMovie",
                                   "ImageLoaded",
                                   "DestroyWindow",
                                   "DoFitToChildren"};
static_assert(sizeof(kBoundNames) / sizeof(kBoundNames[0]) == 39);

bool IsTable(TLuaTable* table)
{
    if (table == nullptr)
        return false;
    table->Push();
    bool result = lua_istable(table->GetState(), -1);
    lua_pop(table->GetState(), 1);
    return result;
}

} // namespace

void SetMoviePlayerFactory(TMoviePlayerFactory factory)
{
    gMoviePlayerFactory = factory;
}

void SetCrossSellCreator(TWindowCreator creator)
{
    gCrossSellCreator = creator;
}

TWindowCreator GetCrossSellCreator()
{
    return gCrossSellCreator;
}

// ---- message values ----

void PushMessageValue(lua_State* L, TMessage* message)
{
    lua_pushuserdataref(L, message);
    lua_pushstring(L, kMessageMetatableKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_setmetatable(L, -2);
}

TMessage* ToMessageValue(lua_State* L, int idx)
{
    if (lua_type(L, idx) != LUA_TUSERDATA || !lua_getmetatable(L, idx))
        return nullptr;
    lua_pushstring(L, kMessageMetatableKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    bool ours = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    // A boxed pointer reads back as the pointer itself.
    return ours ? static_cast<TMessage*>(lua_touserdata(L, idx)) : nullptr;
}

TLuaMessageWrapper::TLuaMessageWrapper(lua_State* L, int idx, TMessage* held)
    : TMessage(held->mType, held->mName, held->mTarget), mAnchor((lua_pushvalue(L, idx), L)),
      mHeld(held)
{
}

TClassId TLuaMessageWrapper::GetClassId()
{
    static const char id = 0;
    return &id;
}

// ---- the script ----

TWindowScript::TWindowScript(lua_State* L) : TScript(L)
{
    BindFunctions();
    RegisterCreator("Slider", &TSlider::Create);
    RegisterCreator("Bitmap", &TImage::Create);
    RegisterCreator("Button", &TButton::Create);
    RegisterCreator("Text", &TText::Create);
    RegisterCreator("TextEdit", &TTextEdit::Create);
    RegisterCreator("Window", &TWindow::Create);
    BuildMessageMetatable();
    RunLibrary();
}

TWindowScript::~TWindowScript()
{
    StopMovie();
    lua_State* L = GetState();
    for (const char* name : kBoundNames)
        LuaUnbindMember(L, name, this);
}

void TWindowScript::BindFunctions()
{
    lua_State* L = GetState();
    LuaBindMember(L, "PostCreate", this, &TWindowScript::PostCreate);
    LuaBindMember(L, "GetLabel", this, &TWindowScript::GetLabel);
    LuaBindMember(L, "_RegisterHotkey", this, &TWindowScript::RegisterHotkey);
    LuaBindMember(L, "SetLabel", this, &TWindowScript::SetLabel);
    LuaBindMember(L, "TagHotKey", this, &TWindowScript::TagHotKey);
    LuaBindMember(L, "_SetBitmap", this, &TWindowScript::SetBitmap);
    LuaBindMember(L, "SetPosition", this, &TWindowScript::SetPosition);
    BindRaw(L, "SetCommand", this, &TWindowScript::SetCommand);
    BindRaw(L, "StripKeyFromLabel", this, &TWindowScript::StripKeyFromLabel);
    LuaBindMember(L, "SetWindowName", this, &TWindowScript::SetWindowName);
    LuaBindMember(L, "FillRect", this, &TWindowScript::FillRect);
    LuaBindMember(L, "GetTimer", this, &TWindowScript::GetTimer);
    LuaBindMember(L, "GetConfig", this, &TWindowScript::GetConfig);
    LuaBindMember(L, "IsEnabled", this, &TWindowScript::IsEnabled);
    LuaBindMember(L, "DoSelectLayer", this, &TWindowScript::DoSelectLayer);
    LuaBindMember(L, "EnableWindow", this, &TWindowScript::EnableWindow);
    LuaBindMember(L, "GetButtonToggleState", this, &TWindowScript::GetButtonToggleState);
    LuaBindMember(L, "SetButtonToggleState", this, &TWindowScript::SetButtonToggleState);
    LuaBindMember(L, "PopWindow", this, &TWindowScript::PopWindow);
    LuaBindMember(L, "RealSetFocus", this, &TWindowScript::RealSetFocus);
    LuaBindMember(L, "StringToClipboard", this, &TWindowScript::StringToClipboard);
    LuaBindMember(L, "UpdateWindow", this, &TWindowScript::UpdateWindow);
    LuaBindMember(L, "PushModal", this, &TWindowScript::PushModal);
    LuaBindMember(L, "ClearModalChildren", this, &TWindowScript::ClearModalChildren);
    LuaBindMember(L, "GetWindowDepth", this, &TWindowScript::GetWindowDepth);
    LuaBindMember(L, "DoPopModal", this, &TWindowScript::DoPopModal);
    BindRaw(L, "HandleGetMessage", this, &TWindowScript::HandleGetMessage);
    LuaBindMember(L, "GenericCreate", this, &TWindowScript::GenericCreate);
    BindRaw(L, "CreateNamedMessage", this, &TWindowScript::CreateNamedMessage);
    BindRaw(L, "CreateCloseMessage", this, &TWindowScript::CreateCloseMessage);
    BindRaw(L, "PostMessage", this, &TWindowScript::PostMessage);
    BindRaw(L, "PostMessageToParent", this, &TWindowScript::PostMessageToParent);
    LuaBindMember(L, "_GetString", this, &TWindowScript::GetString);
    LuaBindMember(L, "StartMovie", this, &TWindowScript::StartMovie);
    LuaBindMember(L, "IsMoviePlaying", this, &TWindowScript::IsMoviePlaying);
    LuaBindMember(L, "StopMovie", this, &TWindowScript::StopMovie);
    LuaBindMember(L, "ImageLoaded", this, &TWindowScript::ImageLoaded);
    LuaBindMember(L, "DestroyWindow", this, &TWindowScript::DestroyWindow);
    LuaBindMember(L, "DoFitToChildren", this, &TWindowScript::DoFitToChildren);
}

void TWindowScript::BuildMessageMetatable()
{
    lua_State* L = GetState();
    int top = lua_gettop(L);
    lua_pushstring(L, kMessageMetatableKey);
    lua_newtable(L);
    lua_pushstring(L, "__gc");
    PushRawClosure(L, this, &TWindowScript::CollectMessage, &CollectThunk);
    lua_rawset(L, -3);
    lua_pushstring(L, "__index");
    lua_pushcfunction(L, &MessageIndex);
    lua_rawset(L, -3);
    lua_rawset(L, LUA_REGISTRYINDEX);
    lua_settop(L, top);
}

void TWindowScript::RunLibrary()
{
    lua_State* L = GetState();
    int top = lua_gettop(L);
    lua_dobuffer(L, reinterpret_cast<const char*>(kWindowLibrary), kWindowLibrarySize,
                 "gScreenInit");
    lua_settop(L, top);
}

void TWindowScript::RunStatement(const char* text)
{
    lua_State* L = GetState();
    int top = lua_gettop(L);
    lua_dostring(L, text);
    lua_settop(L, top);
}

void TWindowScript::RegisterCreator(const TString& name, TWindowCreator creator)
{
    const char* n = name.c_str();
    TString text = TString::Format(
        "function %s( table )\tCreating( '%s', table );\ttable.typename='%s';\n\treturn "
        "function() DoWindow( table ) end end;",
        n, n, n);
    RunStatement(text.c_str());
    mCreators[name] = creator;
}

void TWindowScript::PushWindow(TWindow* window)
{
    if (window != nullptr)
        mWindowStack.push_back(window);
}

void TWindowScript::ResetWindowStack(TWindow* window)
{
    mWindowStack.clear();
    PushWindow(window);
}

void TWindowScript::WindowGone(TWindow* window)
{
    mWindowStack.erase(std::remove(mWindowStack.begin(), mWindowStack.end(), window),
                       mWindowStack.end());
}

// ---- delivery ----

namespace
{

// Pushes the script value of a message: a posted script value comes back as itself (its carrier
// is no longer needed), any other message becomes a new value owned by the collector.
void PushDelivered(lua_State* L, TMessage* message)
{
    if (message->IsKindOf(TLuaMessageWrapper::GetClassId()))
    {
        auto* wrapper = static_cast<TLuaMessageWrapper*>(message);
        wrapper->PushValue();
        delete wrapper;
        return;
    }
    PushMessageValue(L, message);
}

} // namespace

bool TWindowScript::HandleMessage(TMessage* message, TLuaFunction* command)
{
    lua_State* L = GetState();
    if (!IsYielded())
    {
        if (message != nullptr)
        {
            PushDelivered(L, message);
            lua_setglobal(L, "gMessageToQueue");
            RunStatement("table.insert(gMessageQueue,gMessageToQueue); gMessageToQueue=nil;");
        }
        if (command != nullptr)
        {
            command->Push();
            lua_setglobal(L, "gMessageCommand");
            RunStatement("table.insert(gCommandQueue,gMessageCommand); gMessageCommand=nil;");
        }
        return true;
    }
    if (mWaitState != kWaitWaiting)
    {
        if (command != nullptr)
            RunCommand(command);
        delete message;
        return false;
    }
    if (message == nullptr)
        message = new TMessage(kCommandOnly, "");
    PushDelivered(L, message);
    int count = 1;
    if (command != nullptr)
    {
        command->Push();
        ++count;
    }
    if (Resume(count) != 0)
        mWaitState = kWaitFailed;
    if (!IsYielded())
        Suspend();
    return true;
}

bool TWindowScript::HandleValue()
{
    lua_State* L = GetState();
    lua_pushnil(L);
    lua_insert(L, -2);
    // Taken either way: a statement that failed in the coroutine has run, and its error is logged;
    // run again outside, on a thread that died with it, it would only fail once more.
    Resume(2);
    if (!IsYielded())
        Suspend();
    return true;
}

void TWindowScript::RunCommand(TLuaFunction* function)
{
    lua_State* L = GetState();
    int top = lua_gettop(L);
    function->Push();
    if (lua_isfunction(L, -1))
    {
        lua_getglobal(L, "_ALERT");
        lua_insert(L, -2);
        lua_pcall(L, 0, 1, -2);
    }
    lua_settop(L, top);
}

int TWindowScript::HandleGetMessage(lua_State* L)
{
    if (lua_gettop(L) == 1 && !lua_isnil(L, 1))
    {
        double timeout = lua_tonumber(L, 1);
        uint32_t delay = timeout > 0 && timeout < 4294967295.0 ? static_cast<uint32_t>(timeout) : 0;
        SetTiming(delay, false, true, false);
    }
    else
    {
        Suspend();
    }
    mWaitState = kWaitWaiting;
    lua_getglobal(L, "gYieldResult");
    return lua_yield(L, 1);
}

void TWindowScript::StopMovieLocked()
{
    if (mMovie == nullptr)
        return;
    lua_State* L = GetState();
    int top = lua_gettop(L);
    StopMovie();
    lua_settop(L, top);
}

// ---- lookups ----

TWindow* TWindowScript::FindUnderTopModal(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    return top != nullptr ? top->FindChild(name, kAnyDepth) : nullptr;
}

TWindow* TWindowScript::FindUpChain(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    for (TWindow* w = manager != nullptr ? manager->GetTopModal() : nullptr; w != nullptr;
         w = w->GetParent())
    {
        if (TWindow* found = w->FindChild(name, kAnyDepth))
            return found;
    }
    return nullptr;
}

// ---- bound functions ----

void TWindowScript::PostCreate(TLuaTable* table, const TString& typeName)
{
    (void)typeName;
    TWindow* current = GetCurrentWindow();
    if (current == nullptr || !IsTable(table))
        return;
    // The table is lent for this call only: the script deletes it before its next run, and a
    // window's set-up may run script code (a fatal report's quit request, a nested statement). The
    // style reads through a wrapper of its own that outlives whatever PostInit runs.
    std::unique_ptr<TLuaTable> own = TWindowStyle(table).CopyTable();
    TWindowStyle style(own.get());
    current->PostInit(style);
}

TString TWindowScript::GetLabel(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr || manager->GetTopModal() == nullptr)
        return TString();
    TWindow* window = FindUnderTopModal(name);
    if (window == nullptr)
        return name + "_is_not_found";
    if (window->IsKindOf(TText::GetClassId()))
        return static_cast<TText*>(window)->GetText();
    if (TButton* button = TButton::FromWindow(window))
        return button->GetLabel();
    return name + "_is_not_a_TText_window_or_TButton";
}

void TWindowScript::RegisterHotkey(const TString& key, const TString& button)
{
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (key.Length() > 0 && top != nullptr)
        top->RegisterHotKey(key, button);
}

void TWindowScript::SetLabel(const TString& name, const TString& text)
{
    // Only text windows and buttons take a label; other windows are left alone.
    TWindow* window = FindUnderTopModal(name);
    if (window != nullptr && window->IsKindOf(TText::GetClassId()))
        static_cast<TText*>(window)->SetText(text);
    else if (TButton* button = TButton::FromWindow(window))
        button->SetLabel(text);
}

TString TWindowScript::TagHotKey(const TString& label, const TString& key)
{
    int keyLength = key.Length();
    if (keyLength == 0)
        return label;
    auto wanted = static_cast<unsigned char>(key.c_str()[keyLength - 1]);
    const char* text = label.c_str();
    int length = label.Length();
    for (int i = 0; i < length; ++i)
    {
        auto byte = static_cast<unsigned char>(text[i]);
        if (std::tolower(byte) != std::tolower(wanted))
            continue;
        // A sequence cut short by the end of the label wraps only what is there.
        int run = std::min(std::max(Utf8CharLength(text + i), 1), length - i);
        TString result(text, static_cast<unsigned>(i));
        result += "<u>";
        result += TString(text + i, static_cast<unsigned>(run));
        result += "</u>";
        result += TString(text + i + run);
        return result;
    }
    return label;
}

void TWindowScript::SetBitmap(const TString& name, const TString& image, float scale)
{
    if (TImage* window = TImage::FromWindow(FindUnderTopModal(name)))
        window->SetTexture(TTexture::Get(image, 0), scale);
}

void TWindowScript::SetPosition(const TString& name, int32_t x, int32_t y)
{
    TWindow* window = FindUnderTopModal(name);
    if (window == nullptr)
        return;
    TWindow* parent = window->GetParent();
    bool hasParent = parent != nullptr;
    TAxisPlacement hx = ResolveAxis(x, window->GetWidth(), hasParent ? parent->GetWidth() : 0,
                                    hasParent, false, false, false);
    TAxisPlacement vy = ResolveAxis(y, window->GetHeight(), hasParent ? parent->GetHeight() : 0,
                                    hasParent, false, false, false);
    auto clamp = [](int64_t v)
    { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    window->SetPosition(clamp(hx.c), clamp(vy.c));
}

int TWindowScript::SetCommand(lua_State* L)
{
    TString name = LuaGetString(L, 1);
    lua_pushvalue(L, 2);
    auto* function = new TLuaFunction(L);
    if (TButton* button = TButton::FromWindow(FindUnderTopModal(name)))
        button->SetAction(new TButton::LuaAction(function));
    else
        delete function;
    return 0;
}

int TWindowScript::StripKeyFromLabel(lua_State* L)
{
    int top = lua_gettop(L);
    TString text = top > 0 ? LuaGetString(L, top) : TString();
    int amp = text.FindChar('&');
    if (amp < 0)
    {
        LuaPushString(L, text);
        lua_pushstring(L, "");
        return 2;
    }
    const char* bytes = text.c_str();
    int length = text.Length();
    TString stripped = TString(bytes, static_cast<unsigned>(amp)) + TString(bytes + amp + 1);
    TString key;
    if (amp + 1 < length && static_cast<unsigned char>(bytes[amp + 1]) < 0xC0)
        key = TString("@") + bytes[amp + 1];
    LuaPushString(L, stripped);
    LuaPushString(L, key);
    return 2;
}

void TWindowScript::SetWindowName(const TString& name)
{
    if (TWindow* current = GetCurrentWindow())
        current->SetName(name);
}

void TWindowScript::FillRect(TLuaTable* rect, TLuaTable* color)
{
    TWindowManager* manager = GetWindowManager();
    TWindow* root = manager != nullptr ? manager->GetRoot() : nullptr;
    if (root == nullptr || !IsTable(rect) || !IsTable(color))
        return;
    auto corner = [&](double i)
    { return luabind_detail::ToInteger<int32_t>(rect->GetNumberAt(i, 0)); };
    TRect area(corner(1), corner(2), corner(3), corner(4));
    TRect bounds = root->GetRect();
    area.left = std::max(area.left, bounds.left);
    area.top = std::max(area.top, bounds.top);
    area.right = std::min(area.right, bounds.right);
    area.bottom = std::min(area.bottom, bounds.bottom);
    // A script run before the display exists fills nothing.
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || area.right <= area.left || area.bottom <= area.top)
        return;
    auto channel = [&](double i) { return static_cast<float>(color->GetNumberAt(i, 0)); };
    renderer->PushClipRect(area);
    renderer->FillRect(area, TVec4(channel(1), channel(2), channel(3), channel(4)));
    renderer->PopClipRect();
}

uint32_t TWindowScript::GetTimer()
{
    return ::GetTimer();
}

TString TWindowScript::GetConfig(const TString& key)
{
    return ::GetConfig(key);
}

bool TWindowScript::IsEnabled(const TString& key)
{
    return ::IsEnabled(key);
}

void TWindowScript::DoSelectLayer(int32_t layer)
{
    if (TLayeredWindow* window = TLayeredWindow::FromWindow(GetCurrentWindow()))
    {
        auto index = static_cast<uint32_t>(layer);
        // Layers the window does not have are refused rather than read past its lists.
        if (index < window->GetLayerCount() || index == TLayeredWindow::kAllLayers)
            window->SelectLayer(index);
    }
}

bool TWindowScript::EnableWindow(const TString& name, bool on)
{
    TWindow* window = FindUpChain(name);
    if (window == nullptr)
        return false;
    uint32_t flags = window->GetFlags();
    window->SetFlags(on ? flags | kWindowVisible : flags & ~static_cast<uint32_t>(kWindowVisible));
    if (TButton* button = TButton::FromWindow(window); button != nullptr && !on)
        button->OnMouseLeave();
    GetWindowManager()->SetDirty();
    return true;
}

bool TWindowScript::GetButtonToggleState(const TString& name)
{
    TButton* button = TButton::FromWindow(FindUpChain(name));
    return button != nullptr && button->IsOn();
}

void TWindowScript::SetButtonToggleState(const TString& name, bool on)
{
    TWindowManager* manager = GetWindowManager();
    for (TWindow* w = manager != nullptr ? manager->GetTopModal() : nullptr; w != nullptr;
         w = w->GetParent())
    {
        if (TButton* button = TButton::FromWindow(w->FindChild(name, kAnyDepth)))
            button->SetToggleState(on);
    }
}

void TWindowScript::PopWindow()
{
    if (mWindowStack.size() > 1)
        mWindowStack.pop_back();
}

void TWindowScript::RealSetFocus(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    TWindow* current = GetCurrentWindow();
    if (manager == nullptr || current == nullptr)
        return;
    if (TWindow* window = current->FindChild(name, kAnyDepth))
        manager->SetFocus(window);
}

void TWindowScript::StringToClipboard(const TString& text)
{
    ::StringToClipboard(text);
}

void TWindowScript::UpdateWindow()
{
    if (TWindowManager* manager = GetWindowManager())
        manager->SetDirty();
}

TString TWindowScript::PushModal(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return TString();
    auto* modal = new TModalWindow();
    modal->SetName(name);
    manager->PushModal(modal);
    return modal->GetIdString();
}

void TWindowScript::ClearModalChildren()
{
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top == nullptr)
        return;
    top->ClearTasks();
    top->DeleteChildren();
    top->SetSize(0, 0);
    top->SetPosition(0, 0);
}

int32_t TWindowScript::GetWindowDepth()
{
    TWindowManager* manager = GetWindowManager();
    int32_t depth = 0;
    for (TWindow* w = manager != nullptr ? manager->GetTopModal() : nullptr; w != nullptr;
         w = w->GetParent())
        ++depth;
    return depth;
}

void TWindowScript::DoPopModal(const TString& nameOrId)
{
    if (TWindowManager* manager = GetWindowManager())
        manager->DoPopModal(nameOrId);
}

void TWindowScript::GenericCreate(TLuaTable* table)
{
    if (!IsTable(table))
    {
        Log("GenericCreate: the description is not a table");
        return;
    }
    TWindowStyle typeStyle(table);
    TString type = typeStyle.GetString("typename", "");
    auto it = mCreators.find(type);
    if (it == mCreators.end() || it->second == nullptr)
        return;
    TWindow* parent = GetCurrentWindow();
    if (parent == nullptr)
        return;
    TWindow* window = it->second();
    if (window == nullptr)
        return;
    if (!parent->AddChild(window, true))
    {
        delete window;
        return;
    }
    TWindowStyle style(table);
    window->Init(style);
    PushWindow(window);
    TString sizes = TString::Format("gDialogWidth = %d; gDialogHeight= %d ;", window->GetWidth(),
                                    window->GetHeight());
    RunStatement(sizes.c_str());
    if (mObserver != nullptr)
        mObserver->OnWindowCreated(window, style);
}

int TWindowScript::CreateNamedMessage(lua_State* L)
{
    auto type = luabind_detail::ToInteger<int32_t>(lua_tonumber(L, 1));
    PushMessageValue(L, new TMessage(type, LuaGetString(L, 2)));
    return 1;
}

int TWindowScript::CreateCloseMessage(lua_State* L)
{
    TWindow* current = GetCurrentWindow();
    PushMessageValue(
        L, new TMessage(kCloseWindow, current != nullptr ? current->GetIdString() : TString()));
    return 1;
}

int TWindowScript::PostMessageValue(lua_State* L, bool toParent)
{
    const char* what = toParent ? "PostMessageToParent" : "PostMessage";
    TMessage* held = ToMessageValue(L, 1);
    if (held == nullptr)
    {
        Log("%s: the argument is not a message; nothing posted", what);
        return 0;
    }
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return 0;
    auto* wrapper = new TLuaMessageWrapper(L, 1, held);
    if (toParent)
    {
        TModalWindow* top = manager->GetTopModal();
        wrapper->mTarget = top != nullptr ? top->GetParent() : nullptr;
    }
    manager->PostMessage(wrapper);
    return 0;
}

int TWindowScript::PostMessage(lua_State* L)
{
    return PostMessageValue(L, false);
}

int TWindowScript::PostMessageToParent(lua_State* L)
{
    return PostMessageValue(L, true);
}

int TWindowScript::CollectMessage(lua_State* L)
{
    return CollectThunk(L);
}

TString TWindowScript::GetString(const TString& label, const TString& a1, const TString& a2,
                                 const TString& a3, const TString& a4, const TString& a5)
{
    if (label.Length() > 0 && label.c_str()[0] == '#')
        return TString(label.c_str() + 1);
    TApplication* application = TApplication::Get();
    TStringTable* table = application != nullptr ? application->GetStringTable() : nullptr;
    if (table == nullptr)
        return label;
    return table->GetString(label, a1, a2, a3, a4, a5);
}

bool TWindowScript::StartMovie(const TString& file, bool translate, bool allowInput)
{
    if (file.Length() == 0 || gMoviePlayerFactory == nullptr)
        return false;
    StopMovie();
    mMovie = gMoviePlayerFactory();
    if (mMovie == nullptr)
        return false;
    if (!mMovie->Play(file, translate, allowInput))
    {
        mMovie.reset();
        return false;
    }
    return true;
}

bool TWindowScript::IsMoviePlaying()
{
    return mMovie != nullptr && mMovie->IsPlaying();
}

void TWindowScript::StopMovie()
{
    if (mMovie == nullptr)
        return;
    mMovie->Stop();
    mMovie.reset();
}

bool TWindowScript::ImageLoaded(const TString& name)
{
    TImage* image = TImage::FromWindow(FindUnderTopModal(name));
    return image != nullptr && image->GetTexture() != nullptr;
}

void TWindowScript::DestroyWindow(const TString& name)
{
    TWindowManager* manager = GetWindowManager();
    TWindow* current = GetCurrentWindow();
    if (manager == nullptr || current == nullptr)
        return;
    TWindow* window = current->FindChild(name, kAnyDepth);
    // A modal window leaves only through the modal stack.
    if (window == nullptr || window->IsKindOf(TModalWindow::GetClassId()))
        return;
    if (TWindow* parent = window->GetParent())
    {
        parent->RemoveChild(window);
        manager->ScheduleDelete(window);
    }
}

void TWindowScript::DoFitToChildren()
{
    if (TWindow* current = GetCurrentWindow())
        current->FitToChildren();
}
