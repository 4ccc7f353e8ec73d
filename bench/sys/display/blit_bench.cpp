// Blit rates of the display stand-in (aligned 1:1 copy, stretch, colour fill) on 800x600 and
// 1024x768 32-bit surfaces, beside memcpy/memset of the same bytes as the physical limit.
#include "sys/display/surface.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace sys::display;

namespace
{
std::shared_ptr<Surface> Make(int64_t w, int64_t h)
{
    auto s = Surface::Create(static_cast<uint32_t>(w), static_cast<uint32_t>(h),
                             MakePixelFormat(FormatId::X8R8G8B8));
    for (uint32_t y = 0; y < s->GetHeight(); ++y)
        for (uint32_t x = 0; x < s->GetWidth(); ++x)
            s->WriteRaw(x, y, x * 7 + y * 13);
    return s;
}

void SetPixels(benchmark::State& state)
{
    state.counters["pixels/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * state.range(0) * state.range(1)),
        benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0) * state.range(1) * 4);
    std::vector<uint8_t> a(bytes, 1), b(bytes);
    for (auto _ : state)
    {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

void BM_Memset(benchmark::State& state)
{
    const size_t bytes = static_cast<size_t>(state.range(0) * state.range(1) * 4);
    std::vector<uint8_t> a(bytes);
    for (auto _ : state)
    {
        std::memset(a.data(), 0x5A, bytes);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

void BM_BltCopy(benchmark::State& state)
{
    auto src = Make(state.range(0), state.range(1));
    auto dst = Make(state.range(0), state.range(1));
    for (auto _ : state)
    {
        dst->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

void BM_BltFastCopy(benchmark::State& state)
{
    auto src = Make(state.range(0), state.range(1));
    auto dst = Make(state.range(0), state.range(1));
    for (auto _ : state)
    {
        dst->BltFast(0, 0, src.get(), nullptr, BLTFAST_WAIT);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

void BM_BltFill(benchmark::State& state)
{
    auto dst = Make(state.range(0), state.range(1));
    BltFx fx;
    fx.mFillColor = 0x00336699;
    for (auto _ : state)
    {
        dst->Blt(nullptr, nullptr, nullptr, BLT_COLORFILL | BLT_WAIT, &fx);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

// Stretch from half size to the full surface (the viewport-scaled copy).
void BM_BltStretch(benchmark::State& state)
{
    auto src = Make(state.range(0) / 2, state.range(1) / 2);
    auto dst = Make(state.range(0), state.range(1));
    for (auto _ : state)
    {
        dst->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

// Copy into a 16-bit surface: the converting path.
void BM_BltConvertTo565(benchmark::State& state)
{
    auto src = Make(state.range(0), state.range(1));
    auto dst =
        Surface::Create(static_cast<uint32_t>(state.range(0)),
                        static_cast<uint32_t>(state.range(1)), MakePixelFormat(FormatId::R5G6B5));
    for (auto _ : state)
    {
        dst->Blt(nullptr, src.get(), nullptr, BLT_WAIT, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state);
}

#define SIZES Args({800, 600})->Args({1024, 768})
BENCHMARK(BM_Memcpy)->SIZES;
BENCHMARK(BM_BltCopy)->SIZES;
BENCHMARK(BM_BltFastCopy)->SIZES;
BENCHMARK(BM_Memset)->SIZES;
BENCHMARK(BM_BltFill)->SIZES;
BENCHMARK(BM_BltStretch)->SIZES;
BENCHMARK(BM_BltConvertTo565)->SIZES;
} // namespace
