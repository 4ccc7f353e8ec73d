// Portal bridge costs: 10,000 "score" states while in a game, nearly all dropped by the broadcast
// gap, against the same states with no bridge (asked: at most 2x); one GameReady event cut into
// pieces and posted through the whole-program test host, which writes a line per piece to its file
// (asked: at most a hundredth of a 16.7 ms frame).
#include "services/game_state/game_state.h"
#include "services/host/portal_bridge.h"
#include "sys/window/host.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

constexpr int kScores = 10000;
constexpr sys::WindowHandle kHost = 0x4ab0;

std::vector<TString> ScoreValues()
{
    std::vector<TString> values;
    for (int i = 0; i < 64; ++i)
        values.push_back(TString::Format("%d", 1000 + i));
    return values;
}

// A bridge under the first portal, in a game (the host's new-game command), posting to `host`.
void InstallBridge(sys::HostChannel& host)
{
    ResetPortalBridge();
    sys::SetHostChannel(&host);
    SetPortalPlatformLink({[] { return kHost; }, [] { return false; }, [](bool) {}});
    InstallMsnHandler();
    HandleHostCommand(7);
}

void RemoveBridge()
{
    TGameState::Destroy();
    ResetPortalBridge();
    sys::SetHostChannel(nullptr);
}

void SetScores(benchmark::State& state, bool withBridge)
{
    SetGameStateApplicationProbe([] { return true; });
    const std::vector<TString> values = ScoreValues();
    sys::RecordingHost host;
    host.AddWindow(kHost, 800, 600);
    for (auto _ : state)
    {
        state.PauseTiming();
        if (withBridge)
            InstallBridge(host);
        TGameState* store = TGameState::Instance();
        host.mMessages.clear();
        state.ResumeTiming();
        for (int i = 0; i < kScores; ++i)
            store->SetState("score", values[static_cast<size_t>(i) & 63]);
        state.PauseTiming();
        RemoveBridge();
        state.ResumeTiming();
    }
    SetGameStateApplicationProbe(nullptr);
}

} // namespace

static void BM_Portal_ScoreStatesWithBridge(benchmark::State& state)
{
    SetScores(state, true);
}
BENCHMARK(BM_Portal_ScoreStatesWithBridge)->Unit(benchmark::kMillisecond);

static void BM_Portal_ScoreStatesWithoutBridge(benchmark::State& state)
{
    SetScores(state, false);
}
BENCHMARK(BM_Portal_ScoreStatesWithoutBridge)->Unit(benchmark::kMillisecond);

static void BM_Portal_GameReadyThroughTestHost(benchmark::State& state)
{
    char pattern[] = "/tmp/mw_bench_host_XXXXXX";
    const std::string folder = mkdtemp(pattern);
    const std::string file = folder + "/host.log";
    SetGameStateApplicationProbe([] { return true; });
    sys::LogHost host;
    if (!host.Open(file))
    {
        state.SkipWithError("the host log cannot be opened");
        return;
    }
    InstallBridge(host);
    TGameState* store = TGameState::Instance();
    const TString modes[] = {"adventure", "adventure2"};
    int64_t posted = 0;
    for (auto _ : state)
    {
        // A changed mode each time, as a new game would give; the event's pause is the host's.
        store->SetState("gamemode", modes[posted & 1]);
        LeaveHostPause();
        if (++posted % 4096 == 0)
        {
            state.PauseTiming();
            std::filesystem::resize_file(file, 0);
            state.ResumeTiming();
        }
    }
    RemoveBridge();
    SetGameStateApplicationProbe(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_Portal_GameReadyThroughTestHost)->Unit(benchmark::kMicrosecond);
