// A windowed presentation of an 800 x 600 32-bit frame through the display's objects (the back
// buffer copied into the window's place on the primary and handed to the presenter), beside
// memcpy of the frame's bytes in the same run.
#include "render/dx_context.h"
#include "sys/display/device_caps.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t kWidth = 800;
constexpr uint32_t kHeight = 600;

void BM_MemcpyFrame(benchmark::State& state)
{
    const size_t bytes = size_t{kWidth} * kHeight * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpyFrame);

void BM_WindowedPresent(benchmark::State& state)
{
    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDesktopWidth = 1024;
    config.mDesktopHeight = 768;
    sys::display::SetDisplayConfig(config);
    TDXContext context;
    if (!context.Create(0, false, kWidth, kHeight, 32, 1))
    {
        state.SkipWithError("no windowed display");
        return;
    }
    sys::display::Surface& back = *context.GetBackBuffer();
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            back.WriteRaw(x, y, x * 7 + y * 13);
    for (auto _ : state)
        benchmark::DoNotOptimize(context.Present());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kWidth * kHeight * 4));
}
BENCHMARK(BM_WindowedPresent);

} // namespace
