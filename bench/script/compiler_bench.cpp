// Compiler front-end costs: lexing and compiling a generated script of many small functions,
// the shape of a game's object scripts.
#include "script/compiler/lexer.h"
#include "script/compiler/parser.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{

std::string MakeScript(int functions)
{
    std::string text;
    for (int i = 0; i < functions; ++i)
    {
        std::string n = std::to_string(i);
        text += "function Object" + n +
                ":OnClick(x, y)\n"
                "  local t = { &4 name = \"object" +
                n + "\", flags = 0x" + n +
                " | 1 }\n"
                "  for i = 1, 10 do\n"
                "    if i == 3 then continue end\n"
                "    t.flags = t.flags + (x << 2) * y & 255\n"
                "  end\n"
                "  return self:Say(L\"clicked\", t.name .. \" \" .. x)\n"
                "end\n";
    }
    return text;
}

} // namespace

static void BM_LexScript(benchmark::State& state)
{
    std::string text = MakeScript(static_cast<int>(state.range(0)));
    for (auto _ : state)
    {
        script::Lexer lexer(text.data(), text.size(), false, "=bench");
        int count = 0;
        do
        {
            lexer.Next();
            ++count;
        } while (lexer.Current().code != script::kTokEos);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_LexScript)->Arg(100)->Arg(1000);

static void BM_CompileScript(benchmark::State& state)
{
    std::string text = MakeScript(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(script::CompileChunk(text.data(), text.size(), false, "=bench"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_CompileScript)->Arg(100)->Arg(1000);

// A chain of "or" joins each operator's jump to one growing list: the cost of a join must not
// grow with the list, or a long generated condition compiles in quadratic time. The figure for
// 40,000 operators stays near four times the figure for 10,000.
static void BM_CompileOrChain(benchmark::State& state)
{
    std::string text = "local a, b = false, nil\nreturn a";
    for (int64_t i = 0; i < state.range(0); ++i)
        text += (i % 2 == 0) ? " or b" : " or a";
    text += "\n";
    for (auto _ : state)
    {
        try
        {
            benchmark::DoNotOptimize(
                script::CompileChunk(text.data(), text.size(), false, "=bench"));
        }
        catch (const script::SyntaxError& error)
        {
            state.SkipWithError(error.message.c_str());
            break;
        }
    }
}
BENCHMARK(BM_CompileOrChain)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
