// Costs of the foundation types: string copies, formatting and appending, cipher blocks, random
// draws.
#include "platform/config/cipher.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

static void StringCopy(benchmark::State& state)
{
    TString source("assets/scripts/mainloop.lua");
    for (auto _ : state)
    {
        TString copy = source;
        benchmark::DoNotOptimize(copy.c_str());
    }
}
BENCHMARK(StringCopy);

static void StringFormat(benchmark::State& state)
{
    for (auto _ : state)
    {
        TString line = TString::Format("%s;%d;%d", "sounds/click.ogg", 0, 3);
        benchmark::DoNotOptimize(line.c_str());
    }
}
BENCHMARK(StringFormat);

static void CipherEncrypt(benchmark::State& state)
{
    TCipher cipher("abcdefghijkl");
    std::vector<char> plain(static_cast<size_t>(state.range(0)), 'x');
    std::vector<char> sealed(plain.size() + 8);
    for (auto _ : state)
    {
        cipher.Encrypt(plain.data(), static_cast<int>(plain.size()), sealed.data(),
                       static_cast<int>(sealed.size()), false);
        benchmark::DoNotOptimize(sealed.data());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(CipherEncrypt)->Arg(64)->Arg(4096);

static void CipherKeySchedule(benchmark::State& state)
{
    for (auto _ : state)
    {
        TCipher cipher("abcdefghijkl");
        benchmark::DoNotOptimize(&cipher);
    }
}
BENCHMARK(CipherKeySchedule);

static void RandomNext(benchmark::State& state)
{
    TRandom random;
    for (auto _ : state)
        benchmark::DoNotOptimize(random.Next());
}
BENCHMARK(RandomNext);

// Text built piece by piece, as the score document and the XML writer build theirs: 20,000 and
// 80,000 short pieces appended to one string, beside the same appends to a std::string. Appending
// is amortised linear, so four times the pieces cost about four times the time (the ratio of the
// two sizes is the figure to watch; it was about sixteen while each append copied and measured the
// whole text).
static void BM_StringAppendPieces(benchmark::State& state)
{
    const auto pieces = static_cast<int>(state.range(0));
    const TString piece("<medal type=\"gold\"/>\n");
    for (auto _ : state)
    {
        TString text;
        for (int i = 0; i < pieces; ++i)
            text += piece;
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetComplexityN(pieces);
}
BENCHMARK(BM_StringAppendPieces)
    ->Arg(20000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

static void BM_Native_StringAppendPieces(benchmark::State& state)
{
    const auto pieces = static_cast<int>(state.range(0));
    const std::string piece("<medal type=\"gold\"/>\n");
    for (auto _ : state)
    {
        std::string text;
        for (int i = 0; i < pieces; ++i)
            text += piece;
        benchmark::DoNotOptimize(text.c_str());
    }
    state.SetComplexityN(pieces);
}
BENCHMARK(BM_Native_StringAppendPieces)
    ->Arg(20000)
    ->Arg(80000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
