// The game's dialog streaks on the headless display: a frame holding 32 streaks, each part
// revealed with a soft edge of 6 rows, revealed and drawn, against the same frame without them.
#include "cutscene_bench_support.h"
#include "framework/transforms/transform_manager.h"
#include "game/dialogs/blood_streak.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{

using cutscenebench::Bench;

constexpr int kStreaks = 32;

void Frame(benchmark::State& state, Bench& bench,
           const std::vector<std::shared_ptr<BloodStreak>>& streaks)
{
    for (auto _ : state)
    {
        if (!bench.BeginFrame())
        {
            state.SkipWithError("no frame");
            return;
        }
        for (const auto& streak : streaks)
            streak->Reveal();
        for (const auto& streak : streaks)
            streak->Draw(TDrawSpec());
        bench.EndFrame();
    }
}

void BM_DialogStreaks_32(benchmark::State& state)
{
    Bench bench;
    TransformManager transforms;
    bench.Image("bench/streak", 8, 64, 0xFFC09060u);
    bench.Image("bench/drop", 12, 16, 0xFFE0C090u);
    std::unique_ptr<TLuaTable> blood = bench.Table(
        "{ imagestreak = 'bench/streak', imagedrop = 'bench/drop', widthmin = 0, widthmax = 360, "
        "widthbuffer = 12, widthallowance = 40, heightmin = 10, heightallowance = 30, "
        "streakfadelength = 6, dropcentery = 4, timefadein = 200, timeslide = 600, "
        "timedropdelay = 150, timedrop = 400, distancedrop = 120, timefadeout = 500 }");
    std::vector<std::shared_ptr<BloodStreak>> streaks;
    for (int i = 0; i < kStreaks; ++i)
    {
        // A frame clock of its own per streak: streaks spread over both bands.
        bench.mClock.SetFrameTime(1000u + 37u * static_cast<uint32_t>(i));
        std::shared_ptr<BloodStreak> streak = BloodStreak::Create(*blood);
        if (streak == nullptr)
        {
            state.SkipWithError("no streak");
            return;
        }
        // Half way down: the revealed rows and the soft edge above them are drawn.
        streak->GetDropTransform().SetY(streak->GetStreakTransform().GetY() + 32);
        streak->GetDropTransform().SetAlpha(1);
        streaks.push_back(streak);
    }
    Frame(state, bench, streaks);
    state.counters["streaks"] = static_cast<double>(streaks.size());
}
BENCHMARK(BM_DialogStreaks_32)->Unit(benchmark::kMicrosecond);

// The peer: the same frame, empty.
void BM_DialogStreaks_None(benchmark::State& state)
{
    Bench bench;
    Frame(state, bench, {});
}
BENCHMARK(BM_DialogStreaks_None)->Unit(benchmark::kMicrosecond);

} // namespace
