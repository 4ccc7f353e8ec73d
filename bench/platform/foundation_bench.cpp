// Costs of the foundation types: string copies and formatting, cipher blocks, random draws.
#include "platform/config/cipher.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"

#include <benchmark/benchmark.h>

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
