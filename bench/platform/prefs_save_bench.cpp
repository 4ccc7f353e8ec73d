// What a save of the preferences costs the frame that asks for it: a frame that stores the
// player's location record and asks for a save, against the same frame without the save (this
// thread's processor time: the saver's work is on its own thread), for the game's usual file
// (three players, each with their record and location record). The asked cost is at most 1 ms of
// the 16.7 ms frame (the time per frame, processor time). Then a play of 100 frames, a save asked for at
// every tenth, with every flush slowed 200 ms as a slow disk's are: the longest frame by the
// clock ("longest_frame_ms"), with the saves beside the frame loop and, as the peer, on it.
#include "platform/config/config.h"
#include "platform/config/prefs.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "sys/files/paths.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

// A data folder of its own for the run, removed afterwards.
class DataFolder
{
public:
    DataFolder()
    {
        std::random_device device;
        mRoot = fs::temp_directory_path() / ("mw_prefs_bench_" + std::to_string(device()));
        fs::create_directories(mRoot / "user");
        SetLogFolder(mRoot.c_str());
        ClearPathMap();
        SetDataFolders(TString((mRoot / "user").c_str()), TString((mRoot / "common").c_str()),
                       TString());
        SetConfig("encryptionkey", "RumblyOakZZQ");
    }
    ~DataFolder()
    {
        sys::SetSlowFlushMs(0);
        ClearPathMap();
        SetLogFolder(nullptr);
        std::error_code ignored;
        fs::remove_all(mRoot, ignored);
    }

private:
    fs::path mRoot;
};

std::unique_ptr<TPrefs> GameFile(bool background)
{
    auto prefs = std::make_unique<TPrefs>(true);
    prefs->SetProfileKeys("name", "curuser");
    const std::vector<uint8_t> record(2048, 7);
    const std::vector<uint8_t> location(4096, 9);
    for (int user = 0; user < 3; ++user)
    {
        prefs->SetString("name", ("Player" + std::to_string(user)).c_str(), user, false);
        prefs->SetInt("gamemode", 1, user, false);
        prefs->SetData("playerdata", record.data(), static_cast<int>(record.size()), user, false);
        prefs->SetData("location", location.data(), static_cast<int>(location.size()), user,
                       false);
    }
    prefs->SetInt("curuser", 0, -1, false);
    prefs->SetInt("fullscreen", 0, -1, false);
    prefs->Save();
    prefs->SetBackgroundSaves(background);
    return prefs;
}

void Frame(TPrefs& prefs, std::vector<uint8_t>& location, bool save)
{
    ++location[location.size() / 2];
    prefs.SetData("location", location.data(), static_cast<int>(location.size()), 0, save);
    prefs.PollSaves();
}

} // namespace

static void BM_FrameWithoutSave(benchmark::State& state)
{
    DataFolder folder;
    auto prefs = GameFile(true);
    std::vector<uint8_t> location(4096, 9);
    for (auto _ : state)
        Frame(*prefs, location, false);
    prefs->WaitForSaves();
}
BENCHMARK(BM_FrameWithoutSave);

// The save asked for at every frame: most join the one on its way, so the measure is the frame's
// own share of a save (the version it hands over), which every asked save costs at most.
static void BM_FrameWithSave(benchmark::State& state)
{
    DataFolder folder;
    auto prefs = GameFile(true);
    std::vector<uint8_t> location(4096, 9);
    for (auto _ : state)
    {
        Frame(*prefs, location, true);
        // Each frame hands a version over: the one on its way is done first (not counted).
        state.PauseTiming();
        prefs->WaitForSaves();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FrameWithSave)->Unit(benchmark::kMicrosecond);

// A play with every flush slowed 200 ms: the longest frame by the clock.
static void BM_PlayWithSlowFlushes(benchmark::State& state)
{
    const bool background = state.range(0) != 0;
    DataFolder folder;
    auto prefs = GameFile(background);
    std::vector<uint8_t> location(4096, 9);
    sys::SetSlowFlushMs(200);
    double longest = 0;
    for (auto _ : state)
    {
        for (int frame = 0; frame < 100; ++frame)
        {
            const auto start = std::chrono::steady_clock::now();
            Frame(*prefs, location, frame % 10 == 0);
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - start;
            longest = std::max(longest, took.count());
        }
        state.PauseTiming();
        sys::SetSlowFlushMs(0);
        prefs->WaitForSaves();
        sys::SetSlowFlushMs(200);
        state.ResumeTiming();
    }
    sys::SetSlowFlushMs(0);
    prefs->WaitForSaves();
    state.counters["longest_frame_ms"] = longest;
}
BENCHMARK(BM_PlayWithSlowFlushes)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
