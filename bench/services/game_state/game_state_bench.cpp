// The game-state script functions: a script loop setting then reading a state through the store's
// bound functions, beside the same loop over two bound members that do nothing.
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "services/game_state/game_state.h"

#include <benchmark/benchmark.h>

namespace
{

constexpr const char* kLoop = "for i = 1, 100000 do _SetState('count', '7') "
                              "local v = GetState('count') end";

TScript* gScript = nullptr;

TScript* BenchScript()
{
    return gScript;
}

// The signatures of the store's bindings, with nothing behind them.
struct NoOpStore
{
    void Set(const TLuaRequiredString&, const TLuaRequiredString&) {}
    TString Get(const TLuaRequiredString&) { return TString(); }
};

} // namespace

static void SetAndGetThroughTheStore(benchmark::State& state)
{
    TScript script;
    gScript = &script;
    SetWindowScriptSource(&BenchScript);
    SetGameStateApplicationProbe([] { return true; });
    SetGameStateScriptRegistrar(&TGameState::BindScriptFunctions);
    TGameState::Instance();
    for (auto _ : state)
        script.DoLuaString(kLoop);
    TGameState::Destroy();
    SetGameStateScriptRegistrar(nullptr);
    SetGameStateApplicationProbe(nullptr);
    SetWindowScriptSource(nullptr);
    gScript = nullptr;
}
BENCHMARK(SetAndGetThroughTheStore)->Unit(benchmark::kMillisecond);

static void SetAndGetThroughNoOpMembers(benchmark::State& state)
{
    TScript script;
    NoOpStore store;
    LuaBindMember(script.GetState(), "_SetState", &store, &NoOpStore::Set);
    LuaBindMember(script.GetState(), "GetState", &store, &NoOpStore::Get);
    for (auto _ : state)
        script.DoLuaString(kLoop);
    LuaUnbindMember(script.GetState(), "_SetState", &store);
    LuaUnbindMember(script.GetState(), "GetState", &store);
}
BENCHMARK(SetAndGetThroughNoOpMembers)->Unit(benchmark::kMillisecond);
