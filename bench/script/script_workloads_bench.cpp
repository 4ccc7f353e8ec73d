// Classic script workloads run through the engine, each beside the same algorithm in C++, so
// that the report shows the interpreter's cost relative to native code.
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lualib.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace
{

// A state with the libraries open and the chunk run once, so that it defines `run`.
class ScriptWorkload
{
public:
    explicit ScriptWorkload(const char* chunk)
    {
        L = lua_open();
        luaopen_base(L);
        luaopen_string(L);
        luaopen_table(L);
        luaopen_math(L);
        lua_settop(L, 0);
        if (luaL_loadbuffer(L, chunk, std::strlen(chunk), "=bench") != 0 ||
            lua_pcall(L, 0, 0, 0) != 0)
        {
            mError = lua_tostring(L, -1) ? lua_tostring(L, -1) : "load failed";
            lua_settop(L, 0);
        }
    }
    ~ScriptWorkload() { lua_close(L); }

    // Calls `run`; false (with the message kept) when it fails.
    bool Run()
    {
        lua_pushstring(L, "run");
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (lua_pcall(L, 0, 1, 0) != 0)
        {
            mError = lua_tostring(L, -1) ? lua_tostring(L, -1) : "run failed";
            lua_settop(L, 0);
            return false;
        }
        lua_settop(L, 0);
        return true;
    }

    void RunBenchmark(benchmark::State& state)
    {
        if (!mError.empty())
        {
            state.SkipWithError(mError.c_str());
            return;
        }
        for (auto _ : state)
        {
            if (!Run())
            {
                state.SkipWithError(mError.c_str());
                break;
            }
        }
    }

private:
    lua_State* L;
    std::string mError;
};

// --- fib(27) -------------------------------------------------------------------------------

const char* kFibChunk = R"(
local function fib(n)
    if n < 2 then return n end
    return fib(n - 1) + fib(n - 2)
end
function run() return fib(27) end
)";

int NativeFib(int n)
{
    return n < 2 ? n : NativeFib(n - 1) + NativeFib(n - 2);
}

void BM_Script_Fib27(benchmark::State& state)
{
    ScriptWorkload(kFibChunk).RunBenchmark(state);
}

void BM_Native_Fib27(benchmark::State& state)
{
    for (auto _ : state)
    {
        int n = 27;
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(NativeFib(n));
    }
}

// --- a numeric loop of 10^7 additions ----------------------------------------------------------

const char* kLoopChunk = R"(
function run()
    local s = 0
    for i = 1, 10000000 do
        s = s + i
    end
    return s
end
)";

void BM_Script_NumericLoop(benchmark::State& state)
{
    ScriptWorkload(kLoopChunk).RunBenchmark(state);
}

void BM_Native_NumericLoop(benchmark::State& state)
{
    for (auto _ : state)
    {
        double s = 0;
        for (int i = 1; i <= 10000000; i++)
        {
            s = s + i;
            benchmark::DoNotOptimize(s);
        }
    }
}

// --- table insert and read of 10^6 integer keys ---------------------------------------------

const char* kTableChunk = R"(
function run()
    local t = {}
    for i = 1, 1000000 do
        t[i] = i
    end
    local s = 0
    for i = 1, 1000000 do
        s = s + t[i]
    end
    return s
end
)";

void BM_Script_TableIntKeys(benchmark::State& state)
{
    ScriptWorkload(kTableChunk).RunBenchmark(state);
}

void BM_Native_TableIntKeys(benchmark::State& state)
{
    for (auto _ : state)
    {
        std::unordered_map<int, double> t;
        for (int i = 1; i <= 1000000; i++)
        {
            t[i] = i;
        }
        double s = 0;
        for (int i = 1; i <= 1000000; i++)
        {
            s = s + t[i];
        }
        benchmark::DoNotOptimize(s);
    }
}

// --- string concatenation and format -------------------------------------------------------

const char* kStringChunk = R"(
function run()
    local parts = {}
    for i = 1, 200000 do
        local s = "item" .. i
        parts[i] = string.format("%s=%d;%5.2f", s, i, i / 3)
    end
    return string.len(table.concat(parts))
end
)";

void BM_Script_StringFormat(benchmark::State& state)
{
    ScriptWorkload(kStringChunk).RunBenchmark(state);
}

void BM_Native_StringFormat(benchmark::State& state)
{
    for (auto _ : state)
    {
        std::vector<std::string> parts;
        parts.reserve(200000);
        char buffer[128];
        for (int i = 1; i <= 200000; i++)
        {
            std::string s = "item" + std::to_string(i);
            std::snprintf(buffer, sizeof buffer, "%s=%d;%5.2f", s.c_str(), i, i / 3.0);
            parts.emplace_back(buffer);
        }
        std::string all;
        for (const std::string& p : parts)
        {
            all += p;
        }
        benchmark::DoNotOptimize(all.size());
    }
}

// --- short-lived strings: interning, number text, the string sweep ---------------------------

const char* kStringChurnChunk = R"(
function run()
    local n = 0
    for i = 1, 200000 do
        local s = "k" .. i .. "_" .. i / 7
        n = n + string.len(s)
    end
    return n
end
)";

void BM_Script_StringChurn(benchmark::State& state)
{
    ScriptWorkload(kStringChurnChunk).RunBenchmark(state);
}

void BM_Native_StringChurn(benchmark::State& state)
{
    for (auto _ : state)
    {
        size_t n = 0;
        char number[32];
        for (int i = 1; i <= 200000; i++)
        {
            std::snprintf(number, sizeof number, "%.14g", i / 7.0);
            std::string s = "k" + std::to_string(i) + "_" + number;
            n += s.size();
        }
        benchmark::DoNotOptimize(n);
    }
}

// --- method calls through a metatable -------------------------------------------------------

const char* kMethodChunk = R"(
local Point = {}
Point.__index = Point
function Point.new(x, y)
    return setmetatable({x = x, y = y}, Point)
end
function Point:add(o)
    self.x = self.x + o.x
    self.y = self.y + o.y
end
function run()
    local p = Point.new(0, 0)
    local d = Point.new(1, 2)
    for i = 1, 3000000 do
        p:add(d)
    end
    return p.x
end
)";

void BM_Script_MethodCalls(benchmark::State& state)
{
    ScriptWorkload(kMethodChunk).RunBenchmark(state);
}

struct NativePoint
{
    NativePoint(double x, double y) : mX(x), mY(y) {}
    double mX;
    double mY;
    virtual ~NativePoint() = default;
    virtual void Add(const NativePoint& o)
    {
        mX += o.mX;
        mY += o.mY;
    }
};

void BM_Native_MethodCalls(benchmark::State& state)
{
    for (auto _ : state)
    {
        NativePoint p{0, 0};
        NativePoint d{1, 2};
        NativePoint* pp = &p;
        benchmark::DoNotOptimize(pp);
        for (int i = 0; i < 3000000; i++)
        {
            pp->Add(d);
        }
        benchmark::DoNotOptimize(p.mX);
    }
}

// --- closure creation ----------------------------------------------------------------------

const char* kClosureChunk = R"(
local function make(n)
    return function() return n end
end
function run()
    local s = 0
    for i = 1, 1000000 do
        local f = make(i)
        s = s + f()
    end
    return s
end
)";

void BM_Script_Closures(benchmark::State& state)
{
    ScriptWorkload(kClosureChunk).RunBenchmark(state);
}

void BM_Native_Closures(benchmark::State& state)
{
    for (auto _ : state)
    {
        double s = 0;
        for (int i = 1; i <= 1000000; i++)
        {
            auto* f = new std::function<double()>([i] { return (double)i; });
            benchmark::DoNotOptimize(f);
            s = s + (*f)();
            delete f;
        }
        benchmark::DoNotOptimize(s);
    }
}

} // namespace

BENCHMARK(BM_Script_Fib27)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_Fib27)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_NumericLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_NumericLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_TableIntKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_TableIntKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_StringFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_StringFormat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_StringChurn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_StringChurn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_MethodCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_MethodCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Script_Closures)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Native_Closures)->Unit(benchmark::kMillisecond);
