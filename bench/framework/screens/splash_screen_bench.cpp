// The splash screen's canvas work on the headless display: one intro frame (lock the 800 x 600
// canvas, fade the trail, place a 320 x 160 logo's pixels, unlock) against the 16.7 ms of a
// frame, and the trail fade alone beside a memcpy of the canvas bytes.
#include "framework/core/frame_services.h"
#include "framework/screens/splash_screen.h"
#include "render/textures/texture.h"
#include "ui/window_bench_support.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace
{
constexpr int32_t kWidth = SplashScreen::kCanvasWidth;
constexpr int32_t kHeight = SplashScreen::kCanvasHeight;

// The application of this program; another benchmark file may have made it first.
void EnsureApplication()
{
    if (TApplication::Get() == nullptr)
        MakeWindowBenchApplication();
}

// The records of a fully opaque 320 x 160 logo, made as the studio set-up makes them.
std::vector<SplashScreen::PixelRecord> LogoRecords()
{
    constexpr int32_t w = 320;
    constexpr int32_t h = 160;
    std::mt19937 random(7);
    std::vector<SplashScreen::PixelRecord> records;
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c)
        {
            int32_t v = std::clamp(r + h / 10 - static_cast<int32_t>(random() % (h / 5)), 0, h - 1);
            SplashScreen::PixelRecord record;
            record.mColour =
                0xFF000000u | (static_cast<uint32_t>(c) << 8) | static_cast<uint32_t>(r);
            record.mStart = static_cast<float>(v) / h *
                            (static_cast<float>(random() & 0x7FFF) / 32768.0f / 3.0f + 0.25f);
            record.mX0 = static_cast<float>(c) - w * 0.5f;
            record.mSpin = (record.mStart + 6.0f) * std::numbers::pi_v<float>;
            record.mY0 = static_cast<float>(r) - h / 2;
            records.push_back(record);
        }
    return records;
}

// The screen's intro frame; reported also as its share of a 16.7 ms frame (target: 0.15).
void BM_SplashIntroFrame(benchmark::State& state)
{
    EnsureApplication();
    ProbeColorShifts();
    std::shared_ptr<TTexture> canvas = TTexture::Create(kWidth, kHeight, true);
    const std::vector<SplashScreen::PixelRecord> records = LogoRecords();
    float t = 0;
    for (auto _ : state)
    {
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (!canvas || !canvas->Lock(pixels, pitch))
        {
            state.SkipWithError("the canvas does not lock");
            break;
        }
        SplashScreen::FadeTrail(pixels, pitch);
        SplashScreen::DrawIntro(records, t, pixels, pitch);
        canvas->Unlock();
        t = t >= 1.0f ? 0.0f : t + 0.01f;
    }
    state.counters["share_of_16.7ms"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 0.0167,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SplashIntroFrame)->Unit(benchmark::kMicrosecond);

// The trail fade alone over a canvas in memory (target: at most 4x the memcpy below).
void BM_SplashTrailFade(benchmark::State& state)
{
    ProbeColorShifts();
    std::vector<uint32_t> canvas(static_cast<size_t>(kWidth) * kHeight, 0x80FF8040u);
    for (auto _ : state)
    {
        SplashScreen::FadeTrail(canvas.data(), kWidth);
        benchmark::DoNotOptimize(canvas.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SplashTrailFade)->Unit(benchmark::kMicrosecond);

// The peer: a memcpy of the canvas bytes.
void BM_SplashCanvasMemcpy(benchmark::State& state)
{
    std::vector<uint32_t> from(static_cast<size_t>(kWidth) * kHeight, 0x80FF8040u);
    std::vector<uint32_t> to(from.size());
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SplashCanvasMemcpy)->Unit(benchmark::kMicrosecond);

} // namespace
