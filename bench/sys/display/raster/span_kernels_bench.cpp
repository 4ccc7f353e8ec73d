// The row kernels on their own: one 800-pixel row (resident in the nearest cache) per call, for
// each instruction set and blend, beside memcpy of the same row.
#include "sys/display/raster/span_kernels.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace sys::display;

namespace
{

constexpr int64_t ROW = 800;

// Arguments: art (0 every texel partly transparent, 1 sprite art with runs of clear and opaque
// texels), so the branches on whole vectors are measured both ways.
std::vector<uint32_t> MakeRow(int64_t art)
{
    std::vector<uint32_t> row(ROW);
    uint32_t seed = 99;
    for (int64_t x = 0; x < ROW; ++x)
    {
        seed = seed * 1664525u + 1013904223u;
        uint32_t a =
            art == 0 ? 1 + (seed >> 24) % 254 : ((x / 8) % 3 == 0 ? 0 : (x % 5 == 0 ? 128 : 255));
        row[static_cast<size_t>(x)] = a << 24 | (seed & 0x00FFFFFFu);
    }
    return row;
}

void BM_RowMemcpy(benchmark::State& state)
{
    std::vector<uint32_t> src = MakeRow(0), dst(ROW);
    for (auto _ : state)
    {
        std::memcpy(dst.data(), src.data(), ROW * 4);
        benchmark::ClobberMemory();
    }
    state.counters["pix/s"] = benchmark::Counter(static_cast<double>(ROW) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RowMemcpy);

// Arguments: instruction set, blend, art.
void BM_RowKernel(benchmark::State& state)
{
    const auto isa = static_cast<SpanIsa>(state.range(0));
    if (!SpanIsaSupported(isa))
    {
        state.SkipWithError("not on this processor");
        return;
    }
    SpanKernel kernel = GetSpanKernel(isa, static_cast<SpanBlend>(state.range(1)));
    std::vector<uint32_t> src = MakeRow(state.range(2)), dst(ROW, 0x80402010u);
    SpanOp op;
    op.mAlphaTest = true;
    op.mAlphaFunc = CMP_GREATEREQUAL;
    op.mAlphaRef = 1;
    for (auto _ : state)
    {
        benchmark::DoNotOptimize(kernel(op, dst.data(), src.data(), ROW));
        benchmark::ClobberMemory();
    }
    state.counters["pix/s"] = benchmark::Counter(static_cast<double>(ROW) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RowKernel)->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}, {0, 1}});

} // namespace
