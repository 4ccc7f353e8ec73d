// The test screen: one whole 800 x 600 frame (clear, sprite tree, text sprites; not presented)
// through the renderer on the display stand-in. Its ratio to the stand-in's synthetic frame
// (bench_sys_display's BM_SyntheticFrame) is in the benchmarks README.
#include "render/display_bench_support.h"
#include "test_screen.h"
#include "render/text/text_layout.h"
#include "render/text/vector_draw_renderer.h"
#include "render/text/vector_rasteriser.h"

#include <benchmark/benchmark.h>

namespace
{

void BM_TestScreenFrame(benchmark::State& state)
{
    TRenderer* renderer = MakeBenchRenderer();
    if (!renderer)
    {
        state.SkipWithError("no display");
        return;
    }
    TRendererVecDrawDevice device;
    TQmMiniVecDraw rasteriser(&device);
    SetTextRasteriser(&rasteriser);
    {
        TTestScreen screen;
        uint32_t frame = 0;
        for (auto _ : state)
            screen.DrawFrame(frame++, false);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    SetTextRasteriser(nullptr);
    TRenderer::DestroyInstance();
}
BENCHMARK(BM_TestScreenFrame);

} // namespace
