// The game-state store: states, the handler list, the increment and mute rules.
#include "services/game_state/game_state.h"

#include "script/lua_bind.h"
#include "script/window_script_seam.h"

#include <climits>
#include <cstdint>
#include <utility>

namespace
{

TGameState* sInstance = nullptr;

std::vector<std::unique_ptr<TGameStateHandler>>& Handlers()
{
    static std::vector<std::unique_ptr<TGameStateHandler>> handlers;
    return handlers;
}

struct GameStateLinks
{
    std::function<bool()> mApplicationProbe;
    std::function<void(TGameState&)> mScriptRegistrar;
    TGameStateVolumeLink mVolume;
};

GameStateLinks& Links()
{
    static GameStateLinks links;
    return links;
}

// Made once: every change compares its name with it, and a text buffer per change would cost as
// much as the change itself.
const TString& MuteName()
{
    static const TString name("mute");
    return name;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Walks the handlers by index: a handler may set states (and so walk the list again) while it is
// being asked.
template <typename Ask> bool AskHandlers(Ask ask)
{
    auto& handlers = Handlers();
    for (size_t i = 0; i < handlers.size(); ++i)
    {
        if (ask(*handlers[i]))
            return true;
    }
    return false;
}

} // namespace

const char* const kGameStateScriptFunctions[5] = {"GetState", "_SetState", "QueryMuteGame",
                                                  "QueryRestartMode", "QueryJumpToMenu"};

int ReadStateNumber(const TString& value)
{
    const char* p = value.c_str();
    while (IsBlank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    // Saturates instead of overflowing, so a runaway counter stays at the largest number.
    int64_t number = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
    {
        number = number * 10 + (*p - '0');
        if (number > static_cast<int64_t>(INT_MAX) + 1)
            number = static_cast<int64_t>(INT_MAX) + 1;
    }
    if (negative)
        number = -number;
    if (number > INT_MAX)
        return INT_MAX;
    return static_cast<int>(number);
}

void SetGameStateApplicationProbe(std::function<bool()> probe)
{
    Links().mApplicationProbe = std::move(probe);
}

void SetGameStateScriptRegistrar(std::function<void(TGameState&)> registrar)
{
    Links().mScriptRegistrar = std::move(registrar);
}

void SetGameStateVolumeLink(TGameStateVolumeLink link)
{
    Links().mVolume = std::move(link);
}

const TGameStateVolumeLink& GetGameStateVolumeLink()
{
    return Links().mVolume;
}

void ScriptSetState(const TString& name, const TString& value)
{
    if (TGameState* store = TGameState::Instance())
        store->SetState(name, value);
}

namespace
{
// "_SetState" as scripts reach it: both arguments must be given.
void ScriptSetStateChecked(const TLuaRequiredString& name, const TLuaRequiredString& value)
{
    ScriptSetState(name.mText, value.mText);
}
} // namespace

void TGameState::BindScriptFunctions(TGameState& store)
{
    lua_State* L = GetWindowScriptState();
    if (L == nullptr)
        return;
    LuaBindMember(L, kGameStateScriptFunctions[0], &store, &TGameState::ScriptGetState);
    LuaBindFunction(L, kGameStateScriptFunctions[1], &ScriptSetStateChecked);
    LuaBindMember(L, kGameStateScriptFunctions[2], &store, &TGameState::QueryMuteGame);
    LuaBindMember(L, kGameStateScriptFunctions[3], &store, &TGameState::ScriptQueryRestartMode);
    LuaBindMember(L, kGameStateScriptFunctions[4], &store, &TGameState::ScriptQueryJumpToMenu);
}

TString TGameState::ScriptGetState(const TLuaRequiredString& name)
{
    return GetState(name.mText);
}

bool TGameState::ScriptQueryRestartMode()
{
    return QueryRestartMode();
}

bool TGameState::ScriptQueryJumpToMenu()
{
    return QueryJumpToMenu();
}

TGameState::TGameState()
{
    if (Links().mScriptRegistrar)
        Links().mScriptRegistrar(*this);
}

TGameState::~TGameState()
{
    // Each handler finishes its work in Disable before the next one is touched. It leaves the list
    // before it is deleted, so states set by later handlers never reach a deleted one.
    auto& handlers = Handlers();
    while (!handlers.empty())
    {
        handlers.front()->Disable();
        std::unique_ptr<TGameStateHandler> handler = std::move(handlers.front());
        handlers.erase(handlers.begin());
        handler.reset();
    }
    mStates.clear();
    // "_SetState" stays: it goes through Instance() and holds no store.
    if (lua_State* L = GetWindowScriptState())
    {
        for (const char* name : kGameStateScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
    }
    if (sInstance == this)
        sInstance = nullptr;
}

TGameState* TGameState::Instance()
{
    // A registrar that asks for the store while it is being built gets null, not a second one.
    static bool creating = false;
    if (sInstance == nullptr && !creating && Links().mApplicationProbe &&
        Links().mApplicationProbe())
    {
        creating = true;
        sInstance = new TGameState();
        creating = false;
    }
    return sInstance;
}

void TGameState::Destroy()
{
    delete sInstance;
    sInstance = nullptr;
}

void TGameState::AddHandler(TGameStateHandler* handler)
{
    if (handler != nullptr)
        Handlers().emplace_back(handler);
}

const TGameStateHandler* TGameState::GetHandler(size_t index)
{
    return index < Handlers().size() ? Handlers()[index].get() : nullptr;
}

void TGameState::SetState(TString name, TString value)
{
    if (name.Length() >= 2 && name.CharAt(0) == '+' && name.CharAt(1) == '+')
    {
        name = name.Substr(2);
        int64_t next = static_cast<int64_t>(ReadStateNumber(GetState(name))) + 1;
        value = TString::Format("%d", static_cast<int>(next > INT_MAX ? INT_MAX : next));
    }

    TString previousMute;
    auto mute = mStates.find(MuteName());
    if (mute != mStates.end())
        previousMute = mute->second;
    mStates[name] = value;

    // Copies, because a handler may set this very state again while it is being offered.
    TString offeredName = name;
    TString offeredValue = value;
    bool taken =
        AskHandlers([&](TGameStateHandler& handler)
                    { return handler.OnSetState(offeredName.c_str(), offeredValue.c_str()); });
    if (taken || name != MuteName())
        return;

    bool wasOn = ReadStateNumber(previousMute) != 0;
    bool isOn = ReadStateNumber(value) != 0;
    const TGameStateVolumeLink& volume = Links().mVolume;
    if (!wasOn && isOn)
    {
        mSavedMasterVolume = volume.mGetMasterVolume ? volume.mGetMasterVolume() : 0.0f;
        if (volume.mSetMasterVolume)
            volume.mSetMasterVolume(0.0f);
    }
    else if (wasOn && !isOn)
    {
        if (volume.mSetMasterVolume)
            volume.mSetMasterVolume(mSavedMasterVolume);
        mSavedMasterVolume = 0.0f;
    }
}

void TGameState::SetStateInt(TString name, int value)
{
    SetState(name, TString::Format("%d", value));
}

TString TGameState::GetState(TString name)
{
    TString result = mStates[name];
    auto& handlers = Handlers();
    for (size_t i = 0; i < handlers.size(); ++i)
    {
        const char* filtered = handlers[i]->FilterGetState(name.c_str(), result.c_str());
        // Copied at once: the handler's text need not outlive this call.
        result = TString(filtered != nullptr ? filtered : "");
    }
    return result;
}

bool TGameState::QueryMuteGame()
{
    if (AskHandlers([](TGameStateHandler& handler) { return handler.QueryMute(); }))
        return true;
    return ReadStateNumber(GetState(MuteName())) != 0;
}

bool TGameState::QueryRestartMode()
{
    return AskHandlers([](TGameStateHandler& handler) { return handler.QueryRestartMode(); });
}

bool TGameState::QueryJumpToMenu()
{
    return AskHandlers([](TGameStateHandler& handler) { return handler.QueryJumpToMenu(); });
}

bool TGameState::QueryHostPause()
{
    return AskHandlers([](TGameStateHandler& handler) { return handler.QueryHostPause(); });
}
