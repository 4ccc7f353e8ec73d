// string.rep of long results: the time to build one and the memory it takes at its peak (the
// allocator's live bytes past the state's own, as a counter), which should stay near the result.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"
#include "support/block_usage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

namespace
{

void BM_StringRep(benchmark::State& state)
{
    lua_State* L = lua_open();
    luaopen_string(L);
    luaopen_base(L);
    testsupport::BlockUsage usage;
    lua_setallocator(L, testsupport::CountBlocks, &usage);
    const std::string chunk = "local s = string.rep('x', " + std::to_string(state.range(0)) + ")";
    long long peak = 0;
    for (auto _ : state)
    {
        lua_settop(L, 0);
        usage.peak = usage.live;
        const long long before = usage.live;
        if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "=bench") != 0 ||
            lua_pcall(L, 0, 0, 0) != 0)
        {
            state.SkipWithError(lua_tostring(L, -1));
            break;
        }
        peak = std::max(peak, usage.peak - before);
        lua_setgcthreshold(L, 0);
    }
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1 << 20);
    state.counters["result_MiB"] = static_cast<double>(state.range(0)) / (1 << 20);
    lua_close(L);
}
BENCHMARK(BM_StringRep)
    ->Arg(1 << 20)
    ->Arg(1 << 24)
    ->Arg(1 << 28)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
