// Metrics handler costs: plain states through the store with the handler installed against the
// store alone (asked: at most 3x), and a 20-value status block opened, filled and written (asked:
// at most a twentieth of a 16.7 ms frame).
#include "platform/files/file_layer.h"
#include "services/game_state/game_state.h"
#include "services/metrics/metrics_handler.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

constexpr int kStates = 100000;

std::vector<TString> StateNames()
{
    std::vector<TString> names;
    for (int i = 0; i < 64; ++i)
        names.push_back(TString::Format("counter%02d", i));
    return names;
}

// Sets 100,000 plain states on a fresh store, with or without the metrics handler.
void SetPlainStates(benchmark::State& state, bool withHandler)
{
    SetGameStateApplicationProbe([] { return true; });
    std::vector<TString> names = StateNames();
    std::vector<TString> values;
    for (int i = 0; i < 16; ++i)
        values.push_back(TString::Format("%d", i));
    for (auto _ : state)
    {
        state.PauseTiming();
        if (withHandler)
            TGameState::AddHandler(TGlintviewHandler::Create());
        TGameState* store = TGameState::Instance();
        state.ResumeTiming();
        for (int i = 0; i < kStates; ++i)
            store->SetState(names[static_cast<size_t>(i) & 63],
                            values[static_cast<size_t>(i) & 15]);
        state.PauseTiming();
        TGameState::Destroy();
        state.ResumeTiming();
    }
    SetGameStateApplicationProbe(nullptr);
}

} // namespace

static void BM_Metrics_PlainStatesWithHandler(benchmark::State& state)
{
    SetPlainStates(state, true);
}
BENCHMARK(BM_Metrics_PlainStatesWithHandler)->Unit(benchmark::kMillisecond);

static void BM_Metrics_PlainStatesWithoutHandler(benchmark::State& state)
{
    SetPlainStates(state, false);
}
BENCHMARK(BM_Metrics_PlainStatesWithoutHandler)->Unit(benchmark::kMillisecond);

static void BM_Metrics_StatusBlockOfTwentyValues(benchmark::State& state)
{
    char pattern[] = "/tmp/mw_bench_block_XXXXXX";
    std::string folder = mkdtemp(pattern);
    SetDataFolders(folder.c_str(), folder.c_str(), folder.c_str());
    SetGameStateApplicationProbe([] { return true; });
    TGameState::AddHandler(TGlintviewHandler::Create());
    TGameState* store = TGameState::Instance();
    store->SetState("userdatadir", folder.c_str());
    for (int i = 0; i < 10; ++i)
        store->SetState(TString::Format("level%d", i), "4");
    int64_t written = 0;
    for (auto _ : state)
    {
        store->SetState("begin-status", "location");
        for (int i = 0; i < 10; ++i)
        {
            store->SetState("add-state", TString::Format("level%d", i));
            store->SetState(i % 2 == 0 ? "add-timer" : "add-value", "playing");
        }
        store->SetState("end-status", "");
        if (++written % 1000 == 0)
        {
            state.PauseTiming();
            std::filesystem::resize_file(folder + "/metrics.txt", 0);
            state.ResumeTiming();
        }
    }
    TGameState::Destroy();
    SetGameStateApplicationProbe(nullptr);
    ClearPathMap();
    SetDataFolders(TString(), TString(), TString());
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_Metrics_StatusBlockOfTwentyValues)->Unit(benchmark::kMicrosecond);
